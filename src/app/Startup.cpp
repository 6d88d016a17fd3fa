#include "app/Startup.h"

#include <unistd.h>

#include <cstdio>
#include <utility>

#include "app/Folders.h"
#include "app/OptionsFile.h"
#include "app/SetupDefinition.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Strings.h"
#include "ui/Application.h"
#include "ui/InstF1.h"
#include "ui/InstF3.h"
#include "ui/InstF4.h"
#include "ui/Views.h"

namespace corvina {

namespace {

std::string& ProgramFileOverride() {
  static std::string path;
  return path;
}

ProgressWindowFactory& ProgressFactory() {
  static ProgressWindowFactory factory;
  return factory;
}

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

std::string DropOneTrailingBackslash(std::string path) {
  if (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

// The dark blue of the titles and texts.
constexpr TColor kTitleColor = RGB(0, 0, 192);

}  // namespace

std::string ProgramFile() {
  if (!ProgramFileOverride().empty()) return ProgramFileOverride();
  char host[4096];
  const ssize_t length = readlink("/proc/self/exe", host, sizeof host - 1);
  if (length <= 0) return "";
  return FileSystem().WindowsPath(std::string(host, static_cast<size_t>(length)));
}

void SetProgramFile(const std::string& windows_path) { ProgramFileOverride() = windows_path; }

std::string VolumeSuffix(int32_t volume) { return volume == 1 ? std::string() : IntToStr(volume); }

std::string DataVolumeFile(int32_t volume) { return StartDir + "\\" + DataName + VolumeSuffix(volume); }

void FindProgramFilesDir(std::string& dir) {
  if (!dir.empty()) return;
  IFileSystem& fs = FileSystem();
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const std::string folder = std::string(1, letter) + ":\\Program Files";
    if (fs.DirectoryExists(folder + "\\")) {
      dir = folder;
      return;
    }
  }
}

std::string RegistryProgramFilesDir() {
  static const std::string kKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  std::string value;
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    if (registry.KeyExists(kKey) && registry.OpenKeyReadOnly(kKey)) {
      value = registry.ReadString("ProgramFilesDir");
      registry.CloseKey();
    }
  } catch (const Exception&) {
    // A value of another type, or a hive that cannot be read, is as good as no value: the drives
    // are probed instead of ending the program.
    value.clear();
  }
  // The folder is kept without its trailing backslash, so "\TF4" can be appended to it.
  return DropOneTrailingBackslash(value);
}

std::string FirstDriveRoot() {
  IFileSystem& fs = FileSystem();
  for (char letter = 'C'; letter <= 'Z'; ++letter) {
    const std::string drive = std::string(1, letter) + ":";
    if (fs.DirectoryExists(drive + "\\")) return drive;
  }
  return "";
}

void DiscoverStartAndProgramFiles() {
  // A program in a drive root has "C:\" as its folder part; the folder is then "C:".
  StartDir = DropOneTrailingBackslash(ExtractFilePath(ProgramFile()));

  ProgramFilesDir = RegistryProgramFilesDir();
  FindProgramFilesDir(ProgramFilesDir);
  if (ProgramFilesDir.empty()) ProgramFilesDir = FirstDriveRoot();
}

void DiscoverSystemFolders() {
  SystemDir = "C:\\windows\\system32";
  IFileSystem& fs = FileSystem();
  const std::string profile = "C:\\users\\" + Environment().Login();
  const std::string programs = profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  const std::string desktop = profile + "\\Desktop";
  ProgramsDir = fs.DirectoryExists(programs) ? programs : std::string();
  DesktopDir = fs.DirectoryExists(desktop) ? desktop : std::string();
}

std::string MissingVolumeMessage(int32_t volume) {
  return A("Не найден файл ") + DataName + VolumeSuffix(volume) + ".\r\n" + A("Выполнить установку ") +
         ProductNounGenitive + " " + ProductName + A(" невозможно.");
}

std::string FormatDataDate(int32_t dos_date_time) {
  int64_t unix_time = 0;
  if (dos_date_time == -1 || !DosDateTimeToUnixTime(dos_date_time, unix_time)) return "";
  const uint32_t date = static_cast<uint32_t>(dos_date_time) >> 16;
  char text[16];
  std::snprintf(text, sizeof text, "%02u.%02u.%04u", date & 31u, (date >> 5) & 15u, 1980u + (date >> 9));
  return text;
}

std::string VersionLine() {
  const std::string date = FormatDataDate(FileSystem().FileAge(DataVolumeFile(1)));
  if (date.empty()) return "";
  return A("Версия ") + Version + A(" от ") + date;
}

std::string CreditLine() { return A("Разработка: авторский коллектив задачника Tallyframe"); }

void SetProgressWindowFactory(ProgressWindowFactory factory) { ProgressFactory() = std::move(factory); }

void RunStartup(TInstF1& form) {
  IFileSystem& fs = FileSystem();
  auto control = [&form](MainControl id) -> IControl& { return form.Control(id); };

  DiscoverStartAndProgramFiles();
  // The options file may name "%PROGRAMFILESDIR%", so it is read once that folder is final.
  ReadSetupOptions();
  DiscoverSystemFolders();
  VolumeCount = 1;

  for (MainControl id : {MainControl::Label1, MainControl::Label3, MainControl::Label4, MainControl::Label6})
    control(id).SetFontColor(kTitleColor);

  const std::string title = "Corvina Install";
  if (TApplication* application = Application()) application->SetTitle(title);
  else form.FrontEnd().SetTitle(title);
  form.View().SetCaption(title + A(" - Программа установки"));

  control(MainControl::Label1).SetCaption("Corvina");
  control(MainControl::Label3).SetCaption(A("Электронный задачник по параллельному MPI-программированию"));
  control(MainControl::Label4).SetCaption(CreditLine());
  control(MainControl::Label5).SetCaption(A("Задачник будет установлен в следующем каталоге:"));
  control(MainControl::Edit1).SetCaption(ProgramFilesDir + "\\TF4");

  // The shortcut rows are composed from SystemDir and ProgramsDir, found above.
  FillSetupDefinition();

  // The folder field starts 20 pixels right of its prompt and keeps its right edge.
  const TBounds label5 = control(MainControl::Label5).Bounds();
  TBounds edit1 = control(MainControl::Edit1).Bounds();
  const int32_t new_left = label5.Left + label5.Width + 20;
  edit1.Width += edit1.Left - new_left;
  edit1.Left = new_left;
  control(MainControl::Edit1).SetBounds(edit1);

  DataName = ChangeFileExt(ExtractFileName(ProgramFile()), ".dat");

  for (int32_t volume = 1; volume <= VolumeCount; ++volume) {
    if (fs.FileExists(DataVolumeFile(volume))) continue;
    AppServices().MessageDlg(MissingVolumeMessage(volume), MsgDlgType::mtError, {MsgDlgBtn::mbOK});
    form.View().Minimize();
    AppServices().Terminate(2);
    return;
  }

  control(MainControl::Label2).SetCaption(control(MainControl::Label1).Caption());
  control(MainControl::Label6).SetCaption(VersionLine());
  control(MainControl::Button2).SetCaption(A("Описание ") + ProductNounGenitive);
  InstallTitle = ComposeInstallTitle();

  if (!fs.FileExists(StartDir + "\\readme.txt")) {
    control(MainControl::Button2).SetVisible(false);
    TBounds button3 = control(MainControl::Button3).Bounds();
    button3.Left = control(MainControl::Button2).Bounds().Left;
    control(MainControl::Button3).SetBounds(button3);
  }
  if (!fs.FileExists(StartDir + "\\license.txt")) control(MainControl::Button3).SetVisible(false);

  if (TApplication* application = Application()) {
    const ProgressWindowFactory& factory = ProgressFactory();
    application->CreateForms(factory ? factory(application->FrontEnd()) : nullptr);
  }

  if (InstF4 != nullptr) {
    InstF4->Prepare();
    ICheckListView& list = InstF4->CheckListBox1();
    for (int32_t i = 0; i < EnvironmentCount; ++i) list.Add(EnvironmentNames[i]);
    // Every environment starts checked; an ExcludeDir entry naming its code, in any case,
    // unchecks it.
    for (int32_t i = 0; i < EnvironmentCount; ++i) {
      list.SetChecked(i, true);
      const std::string code = AnsiUpperCase(EnvironmentCodes[i]);
      for (int32_t j = 0; j < SetupOptions.ExcludeDirCount; ++j) {
        if (AnsiUpperCase(SetupOptions.ExcludeDir[j]) == code) {
          list.SetChecked(i, false);
          break;
        }
      }
    }
  }

  if (!SetupOptions.InstallDir.empty()) control(MainControl::Edit1).SetCaption(SetupOptions.InstallDir);
}

}  // namespace corvina
