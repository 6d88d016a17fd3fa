#include "install/Placement.h"

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "install/ExtractionRun.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "ui/InstF1.h"

namespace corvina {
namespace {

std::string Ru(const char* utf8) { return Utf8ToAnsi(utf8); }

std::string Item(const std::string& path) { return "\"" + path + "\", "; }

// Everything before the last backslash; "" when there is none.
std::string FolderPart(const std::string& path) {
  const size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// Deletes a staged file, read-only or not.
void DeleteStaged(const std::string& path) {
  ClearReadOnly(path);
  FileSystem().DeleteFile(path);
}

}  // namespace

bool IsExcludedDir(const std::string& D, const std::vector<std::string>& codes) {
  std::string top = D;
  const size_t cut = top.find('\\');
  if (cut != std::string::npos) top.erase(cut);
  top = Trim(AnsiUpperCase(top));
  if (top.empty()) return false;
  for (const std::string& code : codes)
    if (AnsiSameText(code, top)) return true;
  return false;
}

bool IsExcludedDir(const std::string& D) { return ExcludedCodes && IsExcludedDir(D, *ExcludedCodes); }

bool IsSystemEntry(const std::string& N) { return UpperCase(N.substr(0, 7)) == "SYSTEM\\"; }

bool IsReplaceable(const std::string& N) {
  const std::string name = AnsiUpperCase(N);
  for (int32_t i = 0; i < PreservedFileCount; ++i)
    if (AnsiUpperCase(PreservedFiles[i]) == name) return false;
  return true;
}

bool IsLaterDosTime(int32_t staged, int32_t existing) {
  if (staged == -1) return false;
  return static_cast<uint32_t>(staged) > static_cast<uint32_t>(existing);
}

void RecordCreatedDir(const std::string& folder) {
  const std::string upper = UpperCase(folder);
  for (int32_t i = 0; i < CreatedDirCount; ++i)
    if (UpperCase(CreatedDirs[i]) == upper) return;
  if (CreatedDirCount >= CreatedDirs.Capacity) return;
  CreatedDirs[CreatedDirCount] = upper;
  ++CreatedDirCount;
}

bool IsSafeEntryName(const std::string& N) {
  if (N.empty() || N.find(':') != std::string::npos || N.find('/') != std::string::npos ||
      N.find('\0') != std::string::npos)
    return false;
  size_t start = 0;
  for (;;) {
    const size_t end = N.find('\\', start);
    const std::string part = Trim(N.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

std::string RetryQuestionText(const std::string& destination) {
  return Ru("Ошибка при обновлении файла \"") + destination +
         Ru("\". Возможно, прежняя версия файла используется в одном из работающих приложений. "
            "Закройте все приложения, кроме программы установки ") +
         ProductName +
         Ru(", и повторите попытку обновления, нажав кнопку \"Повтор\".\r\n"
            "При повторном возникновении ошибки нажмите кнопку \"Далее\".");
}

void TInstallationRun::PlaceFile(const std::string& N) {
  IFileSystem& fs = FileSystem();
  // 1. Entries of environments the user left out stay in the staging folder.
  if (IsExcludedDir(FolderPart(N))) return;
  const std::string S = StagingDir() + "\\" + N;
  const bool system = IsSystemEntry(N);
  if (!IsSafeEntryName(N) || (system && (SystemDir.empty() || !IsSafeEntryName(N.substr(7, 200))))) {
    CreateFailures += Item(N);
    return;
  }

  // 3. The destination; a system file is replaced only by a later one.
  std::string T;
  if (system) {
    T = SystemDir + "\\" + N.substr(7, 200);
    if (fs.FileExists(T) && !IsLaterDosTime(fs.FileAge(S), fs.FileAge(T))) return;
  } else {
    T = InstallDir + "\\" + N;
  }

  // 4. Its folder; only the deepest one made here is remembered. Failures show in the move.
  try {
    const std::string P = FolderPart(T);
    if (!fs.DirectoryExists(P) && ForceDirectories(P)) RecordCreatedDir(P);
  } catch (...) {
  }

  if (IsReplaceable(N)) {
    // 5. Replace: the earlier file is kept aside first, so that a failed run can put it back.
    bool ok = true;
    bool existed = false;
    int32_t attributes_before = -1;
    if (fs.FileExists(T)) {
      existed = true;
      attributes_before = fs.GetFileAttributes(T);
      if (!WasPlaced(T) && !KeepEarlierFile(T)) {
        UpdateFailures += Item(T);
        DeleteStaged(S);
        return;
      }
      ClearReadOnly(T);
      ok = fs.DeleteFile(T);
    }
    while (!ok) {
      if (AppServices().MessageDlg(RetryQuestionText(T), MsgDlgType::mtWarning,
                                   {MsgDlgBtn::mbRetry, MsgDlgBtn::mbIgnore}) == mrIgnore)
        break;
      ok = fs.DeleteFile(T);
    }
    const bool moved = ok && fs.MoveFile(S, T);
    if (!moved) {
      UpdateFailures += Item(T);
      DeleteStaged(S);
      if (existed && fs.FileExists(T)) {
        // Not replaced: the file keeps its content and gets its attributes back.
        if (attributes_before != -1) fs.SetFileAttributes(T, attributes_before);
        if (!WasPlaced(T)) DropKeptFile(T);
      } else if (existed) {
        // Deleted but not replaced: the earlier file comes back at once.
        RestoreKeptFile(T);
      }
      return;
    }
    if (!WasPlaced(T)) PlacedFiles.push_back(T);
  } else {
    // 6. A preserved file is never overwritten.
    if (fs.FileExists(T)) {
      DeleteStaged(S);
    } else {
      if (!fs.MoveFile(S, T)) {
        CreateFailures += Item(T);
        DeleteStaged(S);
        return;
      }
      if (!WasPlaced(T)) PlacedFiles.push_back(T);
    }
  }

  // 7.
  if (!system && UninstallList) UninstallList->push_back(T);
}

}  // namespace corvina
