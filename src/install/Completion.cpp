#include "install/Completion.h"

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "install/ExtractionRun.h"
#include "install/Shortcuts.h"
#include "install/UninstallLog.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "ui/Views.h"

namespace corvina {
namespace {

std::string Ru(const char* utf8) { return Utf8ToAnsi(utf8); }

std::string GroupSentence() {
  return Ru("Ярлыки ") + ProductNounGenitive + " " + ProductName + Ru(" помещены в группу \"") + GroupName() +
         Ru("\" раздела \"Программы\" меню \"Пуск\".");
}

}  // namespace

std::string WrapFailureList(const std::string& heading, const std::string& list) {
  if (list.empty()) return list;
  return heading + list.substr(0, list.size() >= 2 ? list.size() - 2 : 0) + ".\r\n";
}

std::string GroupName() { return MenuGroup.size() > 1 ? MenuGroup.substr(1, 100) : std::string(); }

bool PostInstallProgramReady() {
  return !SetupProgram.empty() && FileSystem().FileExists(SetupProgram) && SetupOptions.Run;
}

std::string ComposeFinalMessage(const TFailureTexts& failures, bool will_run) {
  const bool shortcuts_in_group = ShortcutCount > 0 && SetupOptions.StartMenu;
  std::string message;
  if (!failures.Any()) {
    message = Ru("Установка ") + ProductNounGenitive + " " + ProductName + Ru(" успешно завершена.");
    if (shortcuts_in_group) message += "\r\n" + GroupSentence();
    if (will_run) message += SetupNote;
    return message;
  }
  const std::string updates = WrapFailureList(Ru("Не удалось обновить следующие файлы: \r\n"), failures.UpdateFailures);
  const std::string creates = WrapFailureList(Ru("Не удалось создать следующие файлы: \r\n"), failures.CreateFailures);
  const std::string links = WrapFailureList(Ru("Не удалось создать следующие ярлыки: \r\n"), failures.LinkFailures);
  message = Ru("Установка ") + ProductNounGenitive + " " + ProductName + Ru(" завершена.\r\n");
  if (failures.GroupFailure.empty()) {
    if (shortcuts_in_group) message += GroupSentence() + "\r\n";
    message += updates + creates + links;
  } else {
    message += updates + creates + failures.GroupFailure;
  }
  message += Ru("Из-за указанных проблем ") + ProductNoun + " " + ProductName +
             Ru(" может работать не вполне корректно.\r\n") +
             Ru("Рекомендуется перезагрузить компьютер и повторно выполнить установку ") + ProductNounGenitive + " " +
             ProductName + ".";
  return message;
}

void TInstallationRun::MakeAssociationsAndShortcuts() {
  RegisterFileTypes(FileAssociations, FileAssociationCount);
  GroupFailure = CreateProgramGroup(ProgramsDir, MenuGroup, SetupOptions.StartMenu);
  const TShortcutPlaces places{ProgramsDir, DesktopDir, SetupOptions.StartMenu, SetupOptions.Desktop};
  std::vector<std::string> none;
  CreateShortcuts(Shortcuts, ShortcutCount, places, UninstallList ? *UninstallList : none, LinkFailures, [this] {
    SetProgress(progress_ + 5);
    AppServices().ProcessMessages();
  });
}

void TInstallationRun::WriteUninstallLog() {
  // A log that cannot be written leaves the finishing step before Finished: the run is rolled back.
  if (!UninstallList || !SaveUninstallLog(UninstallLogPath(InstallDir, UninstallLogName), *UninstallList))
    throw EInOutError("the uninstall log could not be written");
}

void TInstallationRun::StartPostInstallProgram() {
  // Started and not awaited; a program that cannot be started is not reported.
  RunProgram(SetupProgram, SetupParams, SetupWorkDir, 0);
}

void TInstallationRun::FinishInstallation() {
  // 1, 2. The copy of the setup program, then the staging folder goes.
  if (!SelfCopyName.empty()) PlaceFile(SelfCopyName);
  DeleteTree(StagingDir());

  // 3, 4. Associations, the group folder and the links.
  view_.Label1().SetCaption(InstallTitle + Ru(": создание ярлыков..."));
  links_from_ = UninstallList ? UninstallList->size() : 0;
  MakeAssociationsAndShortcuts();

  // 5 - 7. The uninstall log; a failure leaves here for the rollback.
  WriteUninstallLog();
  UninstallList.reset();
  Finished = true;
  RemoveKeptFiles();

  // 8 - 11.
  view_.Label1().SetCaption(InstallTitle);
  view_.Hide();
  const TFailureTexts failures{UpdateFailures, CreateFailures, LinkFailures, GroupFailure};
  const bool problems = failures.Any();
  const bool will_run = !problems && PostInstallProgramReady();
  UpdateFailures = WrapFailureList(Ru("Не удалось обновить следующие файлы: \r\n"), UpdateFailures);
  CreateFailures = WrapFailureList(Ru("Не удалось создать следующие файлы: \r\n"), CreateFailures);
  LinkFailures = WrapFailureList(Ru("Не удалось создать следующие ярлыки: \r\n"), LinkFailures);
  if (problems || SetupOptions.FinalMessage)
    AppServices().MessageDlg(ComposeFinalMessage(failures, will_run), MsgDlgType::mtInformation, {MsgDlgBtn::mbOK});

  // 12, 13.
  if (will_run) StartPostInstallProgram();
  AppServices().Terminate(problems ? 3 : 0);
}

}  // namespace corvina
