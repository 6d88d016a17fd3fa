// What the program asks of its front end: modal message dialogs and message boxes, the folder and
// file dialogs, the screen cursor, letting pending events run, and ending the application. The Qt
// and console front ends implement it; tests install a double that answers as the test says.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvina {

enum class MsgDlgType : uint8_t { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum class MsgDlgBtn : uint8_t { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll };
// Modal results, numbered as the Windows class library numbers them.
enum ModalResult : int32_t {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7,
};
// Message box styles and results of the Windows API (the reader's English boxes use them).
enum : uint32_t {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
  MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40,
};
enum : int32_t { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

enum class Cursor : uint8_t { Default, HourGlass };

class IAppServices {
public:
  virtual ~IAppServices() = default;
  // A message dialog with the Russian caption of its kind and the given buttons; text in 1251.
  virtual int32_t MessageDlg(const std::string& text, MsgDlgType type, const std::vector<MsgDlgBtn>& buttons) = 0;
  // A Windows-style message box (text and caption in 1251), returning IDOK, IDCANCEL, IDYES or IDNO.
  virtual int32_t MessageBox(const std::string& text, const std::string& caption, uint32_t style) = 0;
  // The folder-selection dialog; on OK, folder holds the choice and the result is true.
  virtual bool SelectDirectory(std::string& folder) = 0;
  // The file-open dialog; on OK, file_name holds the choice.
  virtual bool OpenFileDialog(const std::string& title, const std::string& filter, std::string& file_name) = 0;
  virtual void SetCursor(Cursor cursor) = 0;
  virtual Cursor GetCursor() = 0;
  // Lets pending window events run (the front end's message processing).
  virtual void ProcessMessages() = 0;
  // Ends the application once the current event returns, with the given exit status.
  virtual void Terminate(int exit_status) = 0;
};

// The services in use. Until a front end installs its own, a silent default answers every
// question with the button that ends it (Cancel, No, OK) and ignores the rest.
IAppServices& AppServices();
void SetAppServices(std::shared_ptr<IAppServices> services);

}  // namespace corvina
