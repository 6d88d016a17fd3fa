// The fault-injecting file system. Its counters, rules and history live in a State shared with the
// handles it opens, so a handle that outlives the file system still counts and fails its writes.
#include "platform/FaultInjectingFileSystem.h"

#include <cstdio>
#include <cstdlib>
#include <set>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace corvina {

const char* FaultKindName(FaultKind kind) {
  switch (kind) {
    case FaultKind::Open: return "Open";
    case FaultKind::CreateDirectory: return "CreateDirectory";
    case FaultKind::RemoveDirectory: return "RemoveDirectory";
    case FaultKind::DeleteFile: return "DeleteFile";
    case FaultKind::MoveFile: return "MoveFile";
    case FaultKind::CopyFile: return "CopyFile";
    case FaultKind::SetFileAttributes: return "SetFileAttributes";
    case FaultKind::SetFileDate: return "SetFileDate";
    case FaultKind::Write: return "Write";
    case FaultKind::Any: return "Any";
  }
  return "?";
}

namespace {

std::string MatchForm(const std::string& s) {
  std::string out = AnsiUpperCase(s);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// Classic wildcard matching with back-tracking to the last "*": linear in practice, never recursive.
bool WildcardMatch(const std::string& pattern, const std::string& text) {
  size_t p = 0, t = 0, star = std::string::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

struct Rule {
  FaultKind Kind;
  std::string Pattern;  // in match form
};

bool ParseNumber(const std::string& text, int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value > 0;
}

std::string Trimmed(const std::string& s) {
  size_t first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

bool KindFromName(const std::string& name, FaultKind& kind) {
  static const struct {
    const char* Name;
    FaultKind Kind;
  } kNames[] = {
      {"open", FaultKind::Open},           {"mkdir", FaultKind::CreateDirectory},
      {"rmdir", FaultKind::RemoveDirectory}, {"delete", FaultKind::DeleteFile},
      {"move", FaultKind::MoveFile},       {"copy", FaultKind::CopyFile},
      {"attributes", FaultKind::SetFileAttributes}, {"date", FaultKind::SetFileDate},
      {"write", FaultKind::Write},         {"any", FaultKind::Any},
  };
  for (const auto& entry : kNames)
    if (LowerCase(name) == entry.Name) {
      kind = entry.Kind;
      return true;
    }
  return false;
}

}  // namespace

struct FaultInjectingFileSystem::State {
  std::set<int64_t> failing_numbers;
  int64_t fail_from = 0;  // 0: no such rule
  std::vector<Rule> rules;
  std::string log_file;
  int64_t operations = 0;
  int64_t queries = 0;
  int64_t failures = 0;
  std::vector<FaultRecord> history;

  // Numbers a change and decides whether it fails; logs it.
  bool Fails(FaultKind kind, const std::string& path, const std::string& target = "") {
    int64_t number = ++operations;
    bool fail = failing_numbers.count(number) != 0 || (fail_from > 0 && number >= fail_from);
    if (!fail) {
      std::string path_form = MatchForm(path);
      std::string target_form = MatchForm(target);
      for (const Rule& rule : rules) {
        if (rule.Kind != FaultKind::Any && rule.Kind != kind) continue;
        std::string wildcard = "*" + rule.Pattern + "*";
        if (WildcardMatch(wildcard, path_form) || (!target.empty() && WildcardMatch(wildcard, target_form))) {
          fail = true;
          break;
        }
      }
    }
    if (fail) ++failures;
    history.push_back(FaultRecord{number, kind, path, target, fail});
    if (!log_file.empty()) {
      if (FILE* log = std::fopen(log_file.c_str(), "a")) {
        std::string line = std::to_string(number) + " " + FaultKindName(kind) + " " + AnsiToUtf8(path);
        if (!target.empty()) line += " -> " + AnsiToUtf8(target);
        line += fail ? " FAILED\n" : " ok\n";
        std::fputs(line.c_str(), log);
        std::fclose(log);
      }
    }
    return fail;
  }
};

namespace {

class FaultInjectingHandle : public FileHandle {
public:
  FaultInjectingHandle(std::unique_ptr<FileHandle> inner, std::shared_ptr<FaultInjectingFileSystem::State> state,
                       std::string path)
      : inner_(std::move(inner)), state_(std::move(state)), path_(std::move(path)) {}

  int64_t Read(void* buffer, int64_t count) override { return inner_->Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (state_->Fails(FaultKind::Write, path_)) return -1;
    return inner_->Write(buffer, count);
  }
  int64_t Seek(int64_t offset, int origin) override { return inner_->Seek(offset, origin); }
  int64_t Size() override { return inner_->Size(); }
  bool Truncate(int64_t size) override {
    if (state_->Fails(FaultKind::Write, path_)) return false;
    return inner_->Truncate(size);
  }
  int32_t GetDate() override { return inner_->GetDate(); }
  bool SetDate(int32_t dos_date_time) override {
    if (state_->Fails(FaultKind::Write, path_)) return false;
    return inner_->SetDate(dos_date_time);
  }

private:
  std::unique_ptr<FileHandle> inner_;
  std::shared_ptr<FaultInjectingFileSystem::State> state_;
  std::string path_;
};

}  // namespace

bool FaultPatternMatches(const std::string& pattern, const std::string& text) {
  return WildcardMatch("*" + MatchForm(pattern) + "*", MatchForm(text));
}

FaultInjectingFileSystem::FaultInjectingFileSystem(std::shared_ptr<IFileSystem> inner)
    : inner_(std::move(inner)), state_(std::make_shared<State>()) {}

FaultInjectingFileSystem::~FaultInjectingFileSystem() = default;

void FaultInjectingFileSystem::FailOperation(int64_t number) { state_->failing_numbers.insert(number); }
void FaultInjectingFileSystem::FailFrom(int64_t number) {
  if (state_->fail_from == 0 || number < state_->fail_from) state_->fail_from = number;
}
void FaultInjectingFileSystem::FailMatching(FaultKind kind, const std::string& pattern) {
  state_->rules.push_back(Rule{kind, MatchForm(pattern)});
}
void FaultInjectingFileSystem::ClearRules() {
  state_->failing_numbers.clear();
  state_->fail_from = 0;
  state_->rules.clear();
}

bool FaultInjectingFileSystem::AddRules(const std::string& text, std::string& error) {
  std::vector<int64_t> numbers;
  std::vector<int64_t> froms;
  std::vector<Rule> rules;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string item = Trimmed(text.substr(start, end - start));
    start = end + 1;
    if (item.empty()) continue;
    size_t equals = item.find('=');
    if (equals == std::string::npos) {
      error = "fault rule \"" + item + "\" has no \"=\"";
      return false;
    }
    std::string key = LowerCase(Trimmed(item.substr(0, equals)));
    std::string value = Trimmed(item.substr(equals + 1));
    FaultKind kind;
    if (key == "nth") {
      size_t from = 0;
      while (from <= value.size()) {
        size_t comma = value.find(',', from);
        if (comma == std::string::npos) comma = value.size();
        int64_t number;
        if (!ParseNumber(Trimmed(value.substr(from, comma - from)), number)) {
          error = "fault rule \"" + item + "\" needs operation numbers from 1 on";
          return false;
        }
        numbers.push_back(number);
        from = comma + 1;
      }
    } else if (key == "from") {
      int64_t number;
      if (!ParseNumber(value, number)) {
        error = "fault rule \"" + item + "\" needs an operation number from 1 on";
        return false;
      }
      froms.push_back(number);
    } else if (KindFromName(key, kind)) {
      if (value.empty()) {
        error = "fault rule \"" + item + "\" needs a path pattern";
        return false;
      }
      rules.push_back(Rule{kind, MatchForm(value)});
    } else {
      error = "unknown fault rule \"" + item + "\"";
      return false;
    }
  }
  for (int64_t number : numbers) FailOperation(number);
  for (int64_t number : froms) FailFrom(number);
  for (Rule& rule : rules) state_->rules.push_back(std::move(rule));
  return true;
}

void FaultInjectingFileSystem::SetLogFile(const std::string& host_path) { state_->log_file = host_path; }

int64_t FaultInjectingFileSystem::OperationCount() const { return state_->operations; }
int64_t FaultInjectingFileSystem::QueryCount() const { return state_->queries; }
int64_t FaultInjectingFileSystem::FailureCount() const { return state_->failures; }
const std::vector<FaultRecord>& FaultInjectingFileSystem::History() const { return state_->history; }

std::unique_ptr<FileHandle> FaultInjectingFileSystem::Open(const std::string& path, OpenMode mode,
                                                           std::string& error) {
  if (state_->Fails(FaultKind::Open, path)) {
    error = "Access is denied (injected fault)";
    return nullptr;
  }
  std::unique_ptr<FileHandle> handle = inner_->Open(path, mode, error);
  if (!handle) return nullptr;
  return std::make_unique<FaultInjectingHandle>(std::move(handle), state_, path);
}

bool FaultInjectingFileSystem::CreateDirectory(const std::string& path) {
  return !state_->Fails(FaultKind::CreateDirectory, path) && inner_->CreateDirectory(path);
}
bool FaultInjectingFileSystem::RemoveDirectory(const std::string& path) {
  return !state_->Fails(FaultKind::RemoveDirectory, path) && inner_->RemoveDirectory(path);
}
bool FaultInjectingFileSystem::DeleteFile(const std::string& path) {
  return !state_->Fails(FaultKind::DeleteFile, path) && inner_->DeleteFile(path);
}
bool FaultInjectingFileSystem::MoveFile(const std::string& from, const std::string& to) {
  return !state_->Fails(FaultKind::MoveFile, from, to) && inner_->MoveFile(from, to);
}
bool FaultInjectingFileSystem::CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) {
  return !state_->Fails(FaultKind::CopyFile, from, to) && inner_->CopyFile(from, to, fail_if_exists);
}
bool FaultInjectingFileSystem::SetFileAttributes(const std::string& path, int32_t attributes) {
  return !state_->Fails(FaultKind::SetFileAttributes, path) && inner_->SetFileAttributes(path, attributes);
}
bool FaultInjectingFileSystem::SetFileDate(const std::string& path, int32_t dos_date_time) {
  return !state_->Fails(FaultKind::SetFileDate, path) && inner_->SetFileDate(path, dos_date_time);
}

bool FaultInjectingFileSystem::FileExists(const std::string& path) {
  ++state_->queries;
  return inner_->FileExists(path);
}
bool FaultInjectingFileSystem::DirectoryExists(const std::string& path) {
  ++state_->queries;
  return inner_->DirectoryExists(path);
}
int32_t FaultInjectingFileSystem::GetFileAttributes(const std::string& path) {
  ++state_->queries;
  return inner_->GetFileAttributes(path);
}
int32_t FaultInjectingFileSystem::FileAge(const std::string& path) {
  ++state_->queries;
  return inner_->FileAge(path);
}
std::vector<DirEntry> FaultInjectingFileSystem::ListDirectory(const std::string& path) {
  ++state_->queries;
  return inner_->ListDirectory(path);
}
DriveType FaultInjectingFileSystem::GetDriveType(const std::string& root) {
  ++state_->queries;
  return inner_->GetDriveType(root);
}
bool FaultInjectingFileSystem::GetVolumeLabel(const std::string& root, std::string& label) {
  ++state_->queries;
  return inner_->GetVolumeLabel(root, label);
}
std::string FaultInjectingFileSystem::DriveCurrentDir(int drive) {
  ++state_->queries;
  return inner_->DriveCurrentDir(drive);
}
std::string FaultInjectingFileSystem::GetCurrentDir() {
  ++state_->queries;
  return inner_->GetCurrentDir();
}
bool FaultInjectingFileSystem::SetCurrentDir(const std::string& path) {
  ++state_->queries;
  return inner_->SetCurrentDir(path);
}
std::string FaultInjectingFileSystem::HostPath(const std::string& windows_path) {
  return inner_->HostPath(windows_path);
}
std::string FaultInjectingFileSystem::WindowsPath(const std::string& host_path) {
  return inner_->WindowsPath(host_path);
}

void InstallFaultsFromEnvironment() {
  const char* rules = std::getenv("CORVINA_FAULTS");
  const char* log = std::getenv("CORVINA_FAULT_LOG");
  bool has_rules = rules != nullptr && *rules != '\0';
  bool has_log = log != nullptr && *log != '\0';
  if (!has_rules && !has_log) return;
  auto faults = std::make_shared<FaultInjectingFileSystem>(CurrentFileSystem());
  if (has_rules) {
    std::string error;
    // Patterns are written in the terminal's UTF-8; paths are compared in 1251.
    if (!faults->AddRules(Utf8ToAnsi(rules), error)) throw Exception("CORVINA_FAULTS: " + error);
  }
  if (has_log) faults->SetLogFile(log);
  SetFileSystem(faults);
}

}  // namespace corvina
