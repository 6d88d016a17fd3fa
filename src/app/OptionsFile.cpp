#include "app/OptionsFile.h"

#include <memory>

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "app/Startup.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace corvina {

namespace {

// Blanks and tabs, the characters the profile reader drops around names and values.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsBlank(s[begin])) ++begin;
  while (end > begin && IsBlank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// The whole file, or false when it cannot be opened or read to its end.
bool ReadWholeFile(const std::string& path, std::string& content) {
  std::string error;
  std::unique_ptr<FileHandle> file = FileSystem().Open(path, OpenMode::Read, error);
  if (!file) return false;
  content.clear();
  char buffer[8192];
  for (;;) {
    const int64_t got = file->Read(buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    content.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace

TProfileText::TProfileText(const std::string& text) {
  std::string section;
  bool in_section = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    line = TrimBlanks(line);
    if (line.empty()) continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      section = TrimBlanks(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      in_section = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (!in_section || equals == std::string::npos) continue;
    std::string value = Unquote(TrimBlanks(line.substr(equals + 1)));
    if (value.size() > MaxProfileValueLength) value.resize(MaxProfileValueLength);
    entries_.push_back({section, TrimBlanks(line.substr(0, equals)), std::move(value)});
  }
}

std::string TProfileText::ReadString(const std::string& section, const std::string& key,
                                     const std::string& fallback) const {
  for (const Entry& entry : entries_)
    if (AnsiSameText(entry.Section, section) && AnsiSameText(entry.Key, key)) return entry.Value;
  return fallback;
}

int32_t TProfileText::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const {
  const std::string text = ReadString(section, key, "");
  int32_t value = 0;
  return TryStrToInt(text, value) ? value : fallback;
}

bool TProfileText::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::string OptionsFileName() { return ChangeFileExt(ProgramFile(), ".ini"); }

void ReadSetupOptions() {
  TSetupOptions& options = SetupOptions;
  options.InstallDir = "";
  options.AutoRun = false;
  options.SelectDialog = true;
  options.FinalMessage = true;
  options.StartMenu = true;
  options.Desktop = true;
  options.Run = true;
  options.Params = "";
  options.ExcludeDirCount = 0;

  const std::string path = OptionsFileName();
  if (path.empty() || !FileSystem().FileExists(path)) return;
  try {
    std::string content;
    if (!ReadWholeFile(path, content)) return;
    const TProfileText profile(content);

    options.InstallDir = profile.ReadString("Main", "InstallDir", "");
    static const std::string kMacro = "%PROGRAMFILESDIR%";
    const size_t at = AnsiUpperCase(options.InstallDir).find(kMacro);
    if (at != std::string::npos) options.InstallDir.replace(at, kMacro.size(), ProgramFilesDir);

    options.AutoRun = profile.ReadBool("Main", "AutoRun", false);
    options.SelectDialog = profile.ReadBool("Main", "SelectDialog", true);
    options.FinalMessage = profile.ReadBool("Main", "FinalMessage", true);
    options.StartMenu = profile.ReadBool("Links", "StartMenu", true);
    options.Desktop = profile.ReadBool("Links", "Desktop", true);
    options.Run = profile.ReadBool("Setup", "Run", true);
    options.Params = profile.ReadString("Setup", "Params", "");

    for (int32_t k = 1; k <= MaxExcludeDirCount; ++k) {
      const std::string entry = profile.ReadString("ExcludeDir", IntToStr(k), "");
      if (entry.empty()) break;
      options.ExcludeDir[options.ExcludeDirCount] = entry;
      ++options.ExcludeDirCount;
    }
  } catch (const std::exception&) {
    // A damaged or unreadable options file must not stop the setup program: what was read stays,
    // everything else keeps its default.
  }
}

}  // namespace corvina
