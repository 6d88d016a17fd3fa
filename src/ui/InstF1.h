// The main window's logic class: the handlers of the welcome window (browse, description, licence,
// install, exit, F1, Esc, the close question, the unattended start through Timer1) and the install
// command with its checks in order. Every failed check shows one modal message and ends the
// command with the window still usable; a passed command places the progress window below this one
// and shows it modally. The window owns ExcludedCodes, the upper-case names of the top-level archive
// folders the engine leaves out, made by the install command and freed when the window closes.
//
// Two gaps are closed soundly: an empty folder field is refused with a message before any check
// touches the disk, and the base-package message's "%InstallDir%" replacement searches on after the
// inserted folder, so a folder whose name holds the macro text cannot make it loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/Views.h"

namespace corvina {

// Virtual key codes and shift states the key handler sees.
enum : uint16_t { VK_RETURN = 0x0D, VK_ESCAPE = 0x1B, VK_F1 = 0x70 };
enum TShiftState : uint8_t { ssNone = 0, ssShift = 1, ssAlt = 2, ssCtrl = 4 };

// The upper-case names of the top-level archive folders the engine leaves out; null until the
// install command makes it, and again after the main window closed.
extern std::unique_ptr<std::vector<std::string>> ExcludedCodes;

// The base-package message with every "%InstallDir%" (ASCII case ignored) replaced by the folder.
std::string ExpandBasePackageMessage(const std::string& message, const std::string& install_dir);

class TInstF1 {
public:
  explicit TInstF1(IFrontEnd& front_end);
  TInstF1(const TInstF1&) = delete;
  TInstF1& operator=(const TInstF1&) = delete;

  IFrontEnd& FrontEnd() { return front_end_; }
  IMainWindowView& View() { return *view_; }
  IControl& Control(MainControl id) { return view_->Control(id); }

  // Window created: the start-up sequence.
  void FormCreate();
  // Window shown: with AutoRun the timer starts, to give the install command once.
  void FormShow();
  void Timer1Timer();
  void Button1Click();              // Browse
  void Button2Click(int32_t tag);   // description (tag 1) and licence (tag 2)
  void Button3Click() { Button2Click(2); }
  void Button4Click();              // Install
  void Button5Click() { Close(); }  // Exit
  void FormKeyDown(uint16_t key, uint8_t shift);
  void FormKeyPress(char& key);
  void FormCloseQuery(bool& can_close);
  void FormClose();

  // Asks to close the window (Exit, Esc, the title bar): the close question decides; a close ends
  // the program without installing (exit status 2). True when the window closed.
  bool Close();

private:
  void InstallCommand();
  bool Closed() const { return closed_; }

  IFrontEnd& front_end_;
  std::unique_ptr<IMainWindowView> view_;
  bool closed_ = false;
};

extern TInstF1* InstF1;

}  // namespace corvina
