#include "app/SetupDefinition.h"

#include "app/Folders.h"
#include "platform/CodePage.h"

namespace corvina {

std::string Version;
std::string ProductName;
std::string ProductNoun;
std::string ProductNounGenitive;
std::string InstallTitle;
std::string MenuGroup;
std::string UninstallLogName;
TFixedList<std::string, 4> UninstallTexts;

std::string SetupProgram;
std::string SetupParams;
std::string SetupWorkDir;
std::string SetupNote;

std::string PreviousVersionDir;
std::string PreviousVersionMessage;
TFixedList<std::string, 101> BasePackageFiles;
int32_t BasePackageFileCount = 0;
std::string BasePackageMessage;

std::string SelfCopyName;
TFixedList<std::string, 101> PreservedFiles;
int32_t PreservedFileCount = 0;
TFixedList<std::string, 101> CreatedDirs;
int32_t CreatedDirCount = 0;
TFixedList<std::string, 51> ExtraUninstallEntries;
int32_t ExtraUninstallCount = 0;
TFixedList<TLink, 51> Shortcuts;
int32_t ShortcutCount = 0;
TFixedList<TFileExt, 21> FileAssociations;
int32_t FileAssociationCount = 0;
int32_t VolumeCount = 0;

TFixedList<std::string, 21> EnvironmentNames;
TFixedList<std::string, 21> EnvironmentCodes;
int32_t EnvironmentCount = 0;
std::string EnvironmentDialogCaption;
std::string EnvironmentDialogHeader;
int32_t EnvironmentListHeight = 0;
bool AllowEmptyEnvironmentChoice = false;
bool DetectEnvironments = false;

TSetupOptions SetupOptions;

namespace {

// The texts below are UTF-8 in this file; A() turns each into code page 1251 as it is stored.
std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

}  // namespace

std::string ComposeInstallTitle() { return A("Установка ") + ProductName; }

void FillSetupDefinition() {
  VolumeCount = 1;

  Version = "1.1";
  ProductName = "Corvina";
  ProductNoun = A("задачник");
  ProductNounGenitive = A("задачника");
  UninstallLogName = "corvina1_0.log";
  MenuGroup = "\\Corvina";

  SetupProgram = "%InstallDir%\\tf4setup.exe";
  SetupParams = "";
  SetupWorkDir = "%InstallDir%";
  SetupNote = A("\r\nДля завершения установки будет запущена программа TF4Setup.\r\n"
                "После запуска этой программы перейдите в раздел со списком установленных сред (нажав [F4]) и "
                "убедитесь, что среда MPICH 1 найдена и настроена для использования. Если в списке доступных "
                "сред отсутствует среда MPICH 1, то обновите базовый вариант задачника до версии не ниже 4.9.");
  SelfCopyName = "";
  PreviousVersionDir = "";

  PreviousVersionMessage = A("Перед установкой данной версии ") + ProductNounGenitive + " " + ProductName +
                           A(" необходимо удалить ранее установленную версию (команда ") +
                           A("\"Пуск | Программы | Tallyframe 4 | Удаление Tallyframe 4\").\r\n");
  UninstallTexts.Clear();
  UninstallTexts[0] = A("Удаление Corvina");
  UninstallTexts[1] = A("Удалить задачник Corvina и связанные с ним компоненты?");
  UninstallTexts[2] = A("Задачник Corvina полностью удален.");
  UninstallTexts[3] = A("Задачник Corvina удален, за исключением следующих файлов:");

  BasePackageFileCount = 5;
  BasePackageFiles.Clear();
  BasePackageFiles[0] = "journal.dat";
  BasePackageFiles[1] = "TF4Setup.exe";
  BasePackageFiles[2] = "TF4Demo.exe";
  BasePackageFiles[3] = "TF4Load.exe";
  BasePackageFiles[4] = "TF4Res.exe";
  BasePackageMessage = A("Для успешной установки ") + ProductNounGenitive + " " + ProductName +
                       A(" необходимо, чтобы в указанном каталоге ") +
                       A("уже был установлен базовый вариант задачника Tallyframe версии не ниже 4.9.\r\n") +
                       A("В каталоге \"%InstallDir%\" базовый вариант задачника не найден.");

  PreservedFileCount = 0;
  PreservedFiles.Clear();
  PreservedFiles[0] = "TF4TEACH.INI";
  PreservedFiles[1] = "FERNHALL.INI";
  PreservedFiles[2] = "WESTMERE.INI";
  CreatedDirCount = 2;
  CreatedDirs.Clear();
  CreatedDirs[0] = "%InstallDir%\\MPICH1";
  CreatedDirs[1] = "%InstallDir%\\LIB";
  ExtraUninstallCount = 0;
  ExtraUninstallEntries.Clear();
  ExtraUninstallEntries[0] = "%InstallDir%\\TEACHER\\a";
  ExtraUninstallEntries[1] = "%InstallDir%\\Fernhall.ini";

  // Rows 0, 1 and 3 go into the Start-menu group, row 2 beside the uninstall log; both uninstall
  // rows start the external uninstaller with the log's full path in double quotes.
  const std::string uninstaller = SystemDir + "\\purgekit.exe";
  const std::string log_argument = "\"%InstallDir%\\UNINST\\" + UninstallLogName + "\"";
  const std::string group_folder = ProgramsDir + MenuGroup;
  ShortcutCount = 4;
  Shortcuts.Clear();
  Shortcuts[0] = {"%InstallDir%\\Corvina\\Corvina.chm", "", "%InstallDir%", group_folder, "Corvina Info"};
  Shortcuts[1] = {"%InstallDir%\\Corvina\\readme.txt", "", "%InstallDir%", group_folder, "Corvina Readme"};
  Shortcuts[2] = {uninstaller, log_argument, SystemDir, "%InstallDir%\\UNINST", "CorvinaUninstall"};
  Shortcuts[3] = {uninstaller, log_argument, SystemDir, group_folder, "Corvina Uninstall"};

  FileAssociationCount = 0;
  FileAssociations.Clear();
  EnvironmentCount = 8;
  EnvironmentListHeight = 185;
  AllowEmptyEnvironmentChoice = false;
  DetectEnvironments = true;
  static constexpr const char* kEnvironments[][2] = {
      {"Borland Delphi 7", "DELPHI7"},
      {"Borland Delphi 2006", "DELPHI10"},
      {"Free Pascal Lazarus 0.9", "LAZARUS1"},
      {"Microsoft Visual C++ 6", "VC6"},
      {"Microsoft Visual C++ 2003", "VCNET1"},
      {"Microsoft Visual C++ 2005", "VCNET2"},
      {"Microsoft Visual C++ 2008", "VCNET3"},
      {"Microsoft Visual C++ 2010", "VCNET4"},
  };
  EnvironmentNames.Clear();
  EnvironmentCodes.Clear();
  int32_t row = 0;
  for (const auto& environment : kEnvironments) {
    EnvironmentNames[row] = environment[0];
    EnvironmentCodes[row] = environment[1];
    ++row;
  }
  EnvironmentDialogCaption = A("Выбор программных сред");
  EnvironmentDialogHeader = A("\r\n          Выберите программные среды в которых будет"
                              "\r\n          использоваться задачник Corvina (по умолчанию"
                              "\r\n          выбраны все среды, обнаруженные в базовом"
                              "\r\n          варианте задачника Tallyframe):\r\n");
}

namespace {

// Defined after every variable above, so they are constructed before it runs.
struct LoadTimeFill {
  LoadTimeFill() {
    FillSetupDefinition();
    InstallTitle = ComposeInstallTitle();
  }
} load_time_fill;

}  // namespace

}  // namespace corvina
