#include "platform/AppServices.h"

namespace corvina {
namespace {

// Answers every question with the button that ends it and shows nothing: what a program without a
// front end (a test, a command-line tool) gets.
class SilentAppServices : public IAppServices {
public:
  int32_t MessageDlg(const std::string&, MsgDlgType, const std::vector<MsgDlgBtn>& buttons) override {
    for (MsgDlgBtn ending : {MsgDlgBtn::mbCancel, MsgDlgBtn::mbNo, MsgDlgBtn::mbIgnore, MsgDlgBtn::mbOK})
      for (MsgDlgBtn b : buttons)
        if (b == ending) return ResultOf(b);
    return buttons.empty() ? mrOk : ResultOf(buttons.front());
  }
  int32_t MessageBox(const std::string&, const std::string&, uint32_t style) override {
    switch (style & 0x0F) {
      case MB_OKCANCEL: case MB_YESNOCANCEL: return IDCANCEL;
      case MB_YESNO: return IDNO;
      default: return IDOK;
    }
  }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor cursor) override { cursor_ = cursor; }
  Cursor GetCursor() override { return cursor_; }
  void ProcessMessages() override {}
  void Terminate(int) override {}

private:
  static int32_t ResultOf(MsgDlgBtn b) {
    switch (b) {
      case MsgDlgBtn::mbYes: return mrYes;
      case MsgDlgBtn::mbNo: return mrNo;
      case MsgDlgBtn::mbOK: return mrOk;
      case MsgDlgBtn::mbCancel: return mrCancel;
      case MsgDlgBtn::mbAbort: return mrAbort;
      case MsgDlgBtn::mbRetry: return mrRetry;
      case MsgDlgBtn::mbIgnore: return mrIgnore;
      case MsgDlgBtn::mbAll: return mrOk;
    }
    return mrNone;
  }
  Cursor cursor_ = Cursor::Default;
};

std::shared_ptr<IAppServices>& Installed() {
  static std::shared_ptr<IAppServices> services = std::make_shared<SilentAppServices>();
  return services;
}

}  // namespace

IAppServices& AppServices() { return *Installed(); }

void SetAppServices(std::shared_ptr<IAppServices> services) {
  Installed() = services ? std::move(services) : std::make_shared<SilentAppServices>();
}

}  // namespace corvina
