#include "ui/InstF1.h"

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "app/Startup.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "ui/InstF2.h"
#include "ui/InstF3.h"
#include "ui/InstF4.h"

namespace corvina {

TInstF1* InstF1 = nullptr;
std::unique_ptr<std::vector<std::string>> ExcludedCodes;

namespace {

void ShowMessage(const std::string& text, MsgDlgType type) {
  AppServices().MessageDlg(text, type, {MsgDlgBtn::mbOK});
}

std::string ChooseOtherFolderText() {
  return Utf8ToAnsi("Выберите другой каталог для установки ") + ProductNounGenitive + ".";
}

}  // namespace

std::string ExpandBasePackageMessage(const std::string& message, const std::string& install_dir) {
  // Searching on after each inserted folder (not from the start again) is what lets a folder whose
  // own name holds "%InstallDir%" end the replacement.
  return StringReplaceAll(message, "%InstallDir%", install_dir, true);
}

TInstF1::TInstF1(IFrontEnd& front_end) : front_end_(front_end), view_(front_end.CreateMainWindowView(*this)) {}

void TInstF1::FormCreate() { RunStartup(*this); }

void TInstF1::FormShow() {
  if (SetupOptions.AutoRun) view_->Timer1().SetEnabled(true);
}

void TInstF1::Timer1Timer() {
  view_->Timer1().SetEnabled(false);
  Button4Click();
}

void TInstF1::Button1Click() {
  IFileSystem& fs = FileSystem();
  std::string folder = Control(MainControl::Edit1).Caption();
  if (!fs.DirectoryExists(folder)) folder = ProgramFilesDir;
  if (AppServices().SelectDirectory(folder)) Control(MainControl::Edit1).SetCaption(folder);
}

void TInstF1::Button2Click(int32_t tag) {
  if (InstF2 != nullptr) InstF2->ShowTextFile(tag);
}

void TInstF1::Button4Click() { InstallCommand(); }

void TInstF1::FormKeyDown(uint16_t key, uint8_t /*shift*/) {
  if (key != VK_F1) return;
  if (Control(MainControl::Button2).Visible()) Button2Click(1);
  else if (Control(MainControl::Button3).Visible()) Button2Click(2);
}

void TInstF1::FormKeyPress(char& key) {
  if (key == 27) Close();
}

void TInstF1::FormCloseQuery(bool& can_close) {
  const std::string question = Utf8ToAnsi("Вы хотите выйти из программы,\r\nне выполнив установку ") +
                               ProductNounGenitive + "?";
  can_close = AppServices().MessageDlg(question, MsgDlgType::mtConfirmation, {MsgDlgBtn::mbYes, MsgDlgBtn::mbNo}) ==
              mrYes;
}

void TInstF1::FormClose() { ExcludedCodes.reset(); }

bool TInstF1::Close() {
  if (closed_) return true;
  bool can_close = true;
  FormCloseQuery(can_close);
  if (!can_close) return false;
  FormClose();
  closed_ = true;
  view_->Hide();
  // The main window's close ends the program, and it closes only before an installation.
  AppServices().Terminate(2);
  return true;
}

void TInstF1::InstallCommand() {
  IFileSystem& fs = FileSystem();
  const std::string typed = Control(MainControl::Edit1).Caption();

  // An empty folder field (or a lone backslash) names no folder: refuse before anything is looked
  // up or created.
  if (typed.empty() || typed == "\\") {
    ShowMessage(Utf8ToAnsi("Не указан каталог для установки.\r\n") + Utf8ToAnsi("Укажите каталог для установки ") +
                    ProductNounGenitive + ".",
                MsgDlgType::mtError);
    return;
  }

  // 1. Previous version.
  if (!PreviousVersionDir.empty() && fs.DirectoryExists(PreviousVersionDir)) {
    ShowMessage(PreviousVersionMessage, MsgDlgType::mtWarning);
    return;
  }

  // 2. The folder as typed, without one trailing backslash.
  InstallDir = typed;
  if (InstallDir.back() == '\\') InstallDir.pop_back();

  // 3. The base package must be there; the first missing file ends the check.
  for (int32_t i = 0; i < BasePackageFileCount; ++i) {
    if (!fs.FileExists(InstallDir + "\\" + BasePackageFiles[i])) {
      ShowMessage(ExpandBasePackageMessage(BasePackageMessage, InstallDir), MsgDlgType::mtError);
      return;
    }
  }

  // 4, 5. Create the folder with its parents; only the outcome counts.
  if (!fs.DirectoryExists(InstallDir)) ForceDirectories(InstallDir);
  if (!fs.DirectoryExists(InstallDir)) {
    ShowMessage(Utf8ToAnsi("Невозможно создать каталог \"") + InstallDir + "\".\r\n" + ChooseOtherFolderText(),
                MsgDlgType::mtError);
    return;
  }

  // 6. A file must be creatable there; closing and deleting it again may fail unnoticed.
  {
    const std::string test_file = InstallDir + "\\$$tfile$.tmp";
    std::string error;
    std::unique_ptr<FileHandle> handle = fs.Open(test_file, OpenMode::Create, error);
    if (!handle) {
      ShowMessage(Utf8ToAnsi("Каталог \"") + InstallDir + Utf8ToAnsi("\" закрыт на запись.\r\n") +
                      ChooseOtherFolderText(),
                  MsgDlgType::mtError);
      return;
    }
    handle.reset();
    fs.DeleteFile(test_file);
  }

  // Start-up makes the other windows; without them there is nothing to hand over to.
  if (InstF3 == nullptr || InstF4 == nullptr) return;
  ICheckListView& list = InstF4->CheckListBox1();
  // 7. Detection: an environment is marked when the base package has its folder.
  if (DetectEnvironments) {
    for (int32_t i = 0; i < list.Count() && i < EnvironmentCount; ++i)
      list.SetChecked(i, fs.DirectoryExists(InstallDir + "\\" + EnvironmentCodes[i]));
  }

  // 8. The user's choice.
  if (EnvironmentCount > 0 && SetupOptions.SelectDialog) {
    if (InstF4->ShowModal() != mrOk) return;
  }

  // 9, 10. Unchecked environments, then ExcludeDir entries that name no environment.
  auto excluded = std::make_unique<std::vector<std::string>>();
  for (int32_t i = 0; i < list.Count() && i < EnvironmentCount; ++i)
    if (!list.Checked(i)) excluded->push_back(AnsiUpperCase(EnvironmentCodes[i]));
  for (int32_t j = 0; j < SetupOptions.ExcludeDirCount; ++j) {
    const std::string entry = AnsiUpperCase(SetupOptions.ExcludeDir[j]);
    bool names_environment = false;
    for (int32_t i = 0; i < EnvironmentCount && !names_environment; ++i)
      names_environment = entry == AnsiUpperCase(EnvironmentCodes[i]);
    if (!names_environment) excluded->push_back(entry);
  }
  ExcludedCodes = std::move(excluded);

  // 11. The progress window goes directly below this one, as wide.
  const TBounds main = view_->Bounds();
  TBounds progress = InstF3->View().Bounds();
  progress.Left = main.Left;
  progress.Top = main.Top + main.Height;
  progress.Width = main.Width;
  InstF3->View().SetBounds(progress);
  TBounds bar = InstF3->ProgressBar1().Bounds();
  bar.Width = progress.Width - 10;
  bar.Left = 5;
  InstF3->ProgressBar1().SetBounds(bar);
  InstF3->Label1().SetCaption(InstallTitle + Utf8ToAnsi(": чтение данных..."));

  // 12. The progress window's activation runs the installation, which ends the program itself;
  // this window stays visible but takes no input meanwhile.
  view_->SetEnabled(false);
  InstF3->ShowModal();
  view_->SetEnabled(true);
}

}  // namespace corvina
