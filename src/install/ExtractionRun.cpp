#include "install/ExtractionRun.h"

#include <exception>

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "app/Startup.h"
#include "install/PathMacros.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "ui/Views.h"
#include "zip/UnZipper.h"

namespace corvina {

int32_t CurrentVolume = 0;

namespace {

// Raised by the component's failure events to end the volume loop; never shown.
class EEntryFailed : public Exception {
public:
  EEntryFailed() : Exception("entry failed its check") {}
};

std::string Ru(const char* utf8) { return Utf8ToAnsi(utf8); }

}  // namespace

std::string StagingDir() { return InstallDir + "\\TEMP"; }
std::string UninstallDir() { return InstallDir + "\\UNINST"; }
std::string KeptFilesDir() { return UninstallDir() + "\\KEPT"; }

void ClearReadOnly(const std::string& path) {
  IFileSystem& fs = FileSystem();
  const int32_t attributes = fs.GetFileAttributes(path);
  if (attributes != -1 && (attributes & faReadOnly) != 0) fs.SetFileAttributes(path, attributes & ~faReadOnly);
}

void DeleteTree(const std::string& folder) {
  IFileSystem& fs = FileSystem();
  for (const DirEntry& entry : fs.ListDirectory(folder)) {
    if (entry.Name == "." || entry.Name == "..") continue;
    const std::string path = folder + "\\" + entry.Name;
    if ((entry.Attributes & faDirectory) != 0) DeleteTree(path);
    else fs.DeleteFile(path);
  }
  fs.RemoveDirectory(folder);
}

std::string ReadFailureMessage(int32_t volume) {
  return Ru("Ошибка при чтении данных. Вероятно, испорчен файл ") + DataName + VolumeSuffix(volume) + ".\r\n" +
         Ru("Продолжение установки невозможно.");
}

TInstallationRun::TInstallationRun(IProgressWindowView& view) : view_(view) {}

TInstallationRun::~TInstallationRun() = default;

void TInstallationRun::SetProgress(int32_t position) {
  progress_ = position;
  view_.SetProgress(position);
}

void TInstallationRun::FormShow() {
  IFileSystem& fs = FileSystem();
  // 1, 2. Let the window paint, then expand the configured paths.
  AppServices().ProcessMessages();
  ExpandConfiguredPaths();

  // 3. The component: every entry, folders recreated below the staging folder, overwritten.
  UnZipper1 = std::make_unique<TUnZipper>(nullptr);
  UnZipper1->RecreateDirs = true;
  UnZipper1->OverwriteMode = TUZOverwriteMode::Always;
  UnZipper1->DoAll = true;
  UnZipper1->OnTotalPercentDone = [this](TComponent* sender, int32_t percent) {
    UnZipper1TotalPercentDone(sender, percent);
  };
  UnZipper1->OnEndUnZip = [this](TComponent* sender, int32_t index, const std::string& name) {
    UnZipper1EndUnZip(sender, index, name);
  };
  UnZipper1->OnBadCRC = [this](TComponent*, int32_t, int32_t, int32_t index) { EntryFailed(index); };
  UnZipper1->OnSkippingFile = [this](TComponent*, TSkipReason, const std::string&, int32_t index) {
    EntryFailed(index);
  };
  UnZipper1->Password = kArchivePassword;
  UnZipper1->SetDestDir(StagingDir());

  // 4, 5.
  progress_max_ = VolumeCount * 100 + ShortcutCount * 5;
  view_.SetProgressMax(progress_max_);
  SetProgress(0);
  UpdateFailures.clear();
  CreateFailures.clear();
  LinkFailures.clear();
  GroupFailure.clear();
  PlacedFiles.clear();
  KeptFiles.clear();
  entry_failed_ = false;

  // 6. The configured folders; a failure is passed over.
  for (int32_t i = 0; i < CreatedDirCount; ++i)
    if (!fs.DirectoryExists(CreatedDirs[i])) ForceDirectories(CreatedDirs[i]);

  // 7. Without the uninstall and staging folders nothing can be installed: end as a read failure.
  CurrentVolume = 1;
  Finished = false;
  bool folders_ready = true;
  if (!fs.DirectoryExists(UninstallDir())) folders_ready = fs.CreateDirectory(UninstallDir());
  if (folders_ready && !fs.DirectoryExists(StagingDir())) folders_ready = fs.CreateDirectory(StagingDir());
  if (!folders_ready) {
    AbortInstallation();
    return;
  }

  // 8. The copy of the setup program, placed by the finishing step.
  if (!SelfCopyName.empty()) {
    const std::string copy = StagingDir() + "\\" + SelfCopyName;
    if (fs.CopyFile(ProgramFile(), copy, false)) ClearReadOnly(copy);
  }

  // 9. The uninstall list: header, then the extra entries.
  UninstallList = std::make_unique<std::vector<std::string>>();
  UninstallList->push_back(UninstallTexts[0] + "|" + UninstallTexts[1] + "|" + UninstallTexts[2] + "|" +
                           UninstallTexts[3] + "|");
  for (int32_t i = 0; i < ExtraUninstallCount; ++i)
    UninstallList->push_back(ExpandInstallDir(ExtraUninstallEntries[i]));

  // 10, 11. The volumes; any exception ends the loop silently.
  Finished = false;
  for (int32_t volume = 1; volume <= VolumeCount; ++volume) {
    try {
      UnZipper1->SetZipName(DataVolumeFile(volume));
      CurrentVolume = volume;
      UnZipper1->UnZip();
      // A last volume whose last entry raised no end-of-entry event (a folder entry) is finished
      // here, when it had entries and none of them failed.
      if (volume == VolumeCount && !Finished && !entry_failed_ && UnZipper1->Count() > 0) FinishInstallation();
    } catch (...) {
      break;
    }
  }

  // 12.
  if (!Finished) AbortInstallation();
}

void TInstallationRun::UnZipper1TotalPercentDone(TComponent*, int32_t Percent) {
  SetProgress((CurrentVolume - 1) * 100 + Percent);
}

void TInstallationRun::UnZipper1EndUnZip(TComponent*, int32_t FileIndex, const std::string&) {
  view_.Label1().SetCaption(InstallTitle + Ru(": копирование файлов..."));
  PlaceFile(UnZipper1->FullName(FileIndex));
  if (FileIndex == UnZipper1->Count() - 1 && CurrentVolume == VolumeCount) FinishInstallation();
}

void TInstallationRun::EntryFailed(int32_t) {
  entry_failed_ = true;
  throw EEntryFailed();
}

void TInstallationRun::AbortInstallation() {
  IFileSystem& fs = FileSystem();
  // What this run placed goes; the extra uninstall entries and preserved files that were already
  // there are named in the list but were not placed, so they stay.
  for (const std::string& file : PlacedFiles) {
    ClearReadOnly(file);
    fs.DeleteFile(file);
  }
  if (UninstallList && links_from_ > 0) {
    for (size_t i = static_cast<size_t>(links_from_); i < UninstallList->size(); ++i) {
      ClearReadOnly((*UninstallList)[i]);
      fs.DeleteFile((*UninstallList)[i]);
    }
  }
  UninstallList.reset();
  const std::vector<std::string> not_restored = RestoreKeptFiles();

  DeleteTree(StagingDir());
  if (not_restored.empty()) fs.RemoveDirectory(KeptFilesDir());
  fs.RemoveDirectory(UninstallDir());
  fs.RemoveDirectory(InstallDir);
  for (int pass = 0; pass < 4; ++pass)
    for (int32_t i = 0; i < CreatedDirCount; ++i) fs.RemoveDirectory(CreatedDirs[i]);

  std::string message = ReadFailureMessage(CurrentVolume);
  if (!not_restored.empty()) {
    message += Ru("\r\nНе удалось восстановить прежние версии следующих файлов: \r\n");
    for (size_t i = 0; i < not_restored.size(); ++i) message += (i > 0 ? ", " : "") + not_restored[i];
    message += ".\r\n";
  }
  AppServices().MessageDlg(message, MsgDlgType::mtError, {MsgDlgBtn::mbOK});
  AppServices().Terminate(1);
}

bool TInstallationRun::WasPlaced(const std::string& destination) const {
  for (const std::string& file : PlacedFiles)
    if (AnsiSameText(file, destination)) return true;
  return false;
}

bool TInstallationRun::KeepEarlierFile(const std::string& destination) {
  IFileSystem& fs = FileSystem();
  for (const TKeptFile& kept : KeptFiles)
    if (AnsiSameText(kept.Destination, destination)) return true;
  if (!fs.DirectoryExists(KeptFilesDir()) && !fs.CreateDirectory(KeptFilesDir())) return false;
  TKeptFile kept;
  kept.Destination = destination;
  kept.Attributes = fs.GetFileAttributes(destination);
  kept.DosDateTime = fs.FileAge(destination);
  do {
    kept.Copy = KeptFilesDir() + "\\" + IntToStr(++kept_serial_);
  } while (fs.FileExists(kept.Copy) || fs.DirectoryExists(kept.Copy));
  if (kept.Attributes == -1 || !fs.CopyFile(destination, kept.Copy, true)) {
    fs.DeleteFile(kept.Copy);
    return false;
  }
  KeptFiles.push_back(kept);
  return true;
}

void TInstallationRun::DropKeptFile(const std::string& destination) {
  IFileSystem& fs = FileSystem();
  for (size_t i = 0; i < KeptFiles.size(); ++i) {
    if (!AnsiSameText(KeptFiles[i].Destination, destination)) continue;
    ClearReadOnly(KeptFiles[i].Copy);
    fs.DeleteFile(KeptFiles[i].Copy);
    KeptFiles.erase(KeptFiles.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

void TInstallationRun::RestoreKeptFile(const std::string& destination) {
  IFileSystem& fs = FileSystem();
  for (size_t i = 0; i < KeptFiles.size(); ++i) {
    const TKeptFile kept = KeptFiles[i];
    if (!AnsiSameText(kept.Destination, destination)) continue;
    if (!fs.MoveFile(kept.Copy, kept.Destination)) return;  // stays kept for the rollback
    if (fs.FileAge(kept.Destination) != kept.DosDateTime) fs.SetFileDate(kept.Destination, kept.DosDateTime);
    fs.SetFileAttributes(kept.Destination, kept.Attributes);
    KeptFiles.erase(KeptFiles.begin() + static_cast<std::ptrdiff_t>(i));
    for (size_t j = 0; j < PlacedFiles.size(); ++j)
      if (AnsiSameText(PlacedFiles[j], destination)) {
        PlacedFiles.erase(PlacedFiles.begin() + static_cast<std::ptrdiff_t>(j));
        break;
      }
    return;
  }
}

std::vector<std::string> TInstallationRun::RestoreKeptFiles() {
  IFileSystem& fs = FileSystem();
  std::vector<std::string> failed;
  std::vector<TKeptFile> left;
  for (const TKeptFile& kept : KeptFiles) {
    if (fs.FileExists(kept.Destination)) {
      ClearReadOnly(kept.Destination);
      fs.DeleteFile(kept.Destination);
    }
    if (!fs.MoveFile(kept.Copy, kept.Destination)) {
      failed.push_back("\"" + kept.Destination + "\" (" + Ru("сохранён как ") + "\"" + kept.Copy + "\")");
      left.push_back(kept);
      continue;
    }
    if (fs.FileAge(kept.Destination) != kept.DosDateTime) fs.SetFileDate(kept.Destination, kept.DosDateTime);
    fs.SetFileAttributes(kept.Destination, kept.Attributes);
  }
  KeptFiles = left;
  return failed;
}

void TInstallationRun::RemoveKeptFiles() {
  IFileSystem& fs = FileSystem();
  // A copy whose destination is missing (it could not be put back) is the only one left.
  std::vector<TKeptFile> left;
  for (const TKeptFile& kept : KeptFiles) {
    if (!fs.FileExists(kept.Destination)) {
      left.push_back(kept);
      continue;
    }
    ClearReadOnly(kept.Copy);
    fs.DeleteFile(kept.Copy);
  }
  KeptFiles = left;
  fs.RemoveDirectory(KeptFilesDir());
}

}  // namespace corvina
