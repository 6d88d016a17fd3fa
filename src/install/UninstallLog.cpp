#include "install/UninstallLog.h"

#include <memory>
#include <unordered_set>

#include "install/ExtractionRun.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace corvina {
namespace {

bool HoldsLineBreak(const std::string& line) { return line.find_first_of("\r\n") != std::string::npos; }

// The whole content of a file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& content) {
  std::string error;
  std::unique_ptr<FileHandle> file = FileSystem().Open(path, OpenMode::Read, error);
  if (!file) return false;
  content.clear();
  char buffer[8192];
  for (;;) {
    int64_t got = file->Read(buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    content.append(buffer, static_cast<size_t>(got));
  }
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  IFileSystem& fs = FileSystem();
  std::string error;
  std::unique_ptr<FileHandle> file = fs.Open(path, OpenMode::Create, error);
  if (!file) return false;
  const bool written = file->Write(content.data(), static_cast<int64_t>(content.size())) ==
                       static_cast<int64_t>(content.size());
  file.reset();
  if (!written) fs.DeleteFile(path);
  return written;
}

// Deletes a file of ours (a leftover of an earlier save) even when it is read-only.
void DeleteLeftover(const std::string& path) {
  IFileSystem& fs = FileSystem();
  if (!fs.FileExists(path)) return;
  ClearReadOnly(path);
  fs.DeleteFile(path);
}

// Puts the new content at log_path: written beside it first, then moved over the old log, which is
// moved back when the new file cannot take its place.
bool ReplaceLog(const std::string& log_path, const std::string& content) {
  IFileSystem& fs = FileSystem();
  const std::string fresh = log_path + ".new";
  const std::string old = log_path + ".old";
  DeleteLeftover(fresh);
  if (!WriteWholeFile(fresh, content)) return false;
  const bool had_log = fs.FileExists(log_path);
  if (had_log) {
    DeleteLeftover(old);
    if (!fs.MoveFile(log_path, old)) {
      fs.DeleteFile(fresh);
      return false;
    }
  }
  if (!fs.MoveFile(fresh, log_path)) {
    if (had_log) fs.MoveFile(old, log_path);
    fs.DeleteFile(fresh);
    return false;
  }
  if (had_log) fs.DeleteFile(old);  // a copy that cannot be removed is harmless
  return true;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace

std::string UninstallLogHeader(const std::string& caption, const std::string& question,
                               const std::string& removed, const std::string& kept_heading) {
  return caption + "|" + question + "|" + removed + "|" + kept_heading + "|";
}

std::string UninstallLogPath(const std::string& install_dir, const std::string& log_name) {
  return install_dir + "\\UNINST\\" + log_name;
}

std::vector<std::string> SplitLogLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(text.substr(start, i - start));
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool SaveUninstallLog(const std::string& log_path, const std::vector<std::string>& uninstall_list) {
  IFileSystem& fs = FileSystem();
  std::vector<std::string> lines;
  if (fs.FileExists(log_path)) {
    // An earlier installation's log: keep it and append what it lacks.
    ClearReadOnly(log_path);
    std::string earlier;
    if (!ReadWholeFile(log_path, earlier)) return false;
    lines = SplitLogLines(earlier);
    if (lines.empty() && !uninstall_list.empty()) lines.push_back(uninstall_list[0]);
    std::unordered_set<std::string> present;
    for (const std::string& line : lines) present.insert(AnsiUpperCase(line));
    for (size_t i = 1; i < uninstall_list.size(); ++i) {
      const std::string& path = uninstall_list[i];
      if (HoldsLineBreak(path)) continue;
      if (present.insert(AnsiUpperCase(path)).second) lines.push_back(path);
    }
  } else {
    for (size_t i = 0; i < uninstall_list.size(); ++i)
      if (i == 0 || !HoldsLineBreak(uninstall_list[i])) lines.push_back(uninstall_list[i]);
  }
  return ReplaceLog(log_path, JoinLines(lines));
}

}  // namespace corvina
