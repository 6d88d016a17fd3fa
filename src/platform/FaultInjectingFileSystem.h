// A file system that passes every call to another one and makes chosen changes fail, so that tests
// (and end-to-end runs of the built programs) can provoke the failures the program must survive.
//
// Every change is numbered from 1 in the order it is asked for: Open, CreateDirectory,
// RemoveDirectory, DeleteFile, MoveFile, CopyFile, SetFileAttributes, SetFileDate, and each Write,
// Truncate or SetDate through a handle this file system opened. Queries (existence, attributes,
// dates, listings, drives, current folder, names) are counted apart and never fail. A change fails
// when a rule names its number, when it is at or past a "from" number, or when a rule names its kind
// and a path of the change matches the rule's pattern. A pattern matches anywhere in the path,
// without regard to case by the 1251 rules; "*" stands for any run of characters, "?" for one, and
// "/" and "\" are the same. A failed change does nothing and reports failure as the real call
// would (false, -1, or no handle with an error text).
//
// From the environment: CORVINA_FAULTS holds rules separated by ";", each "nth=N" (or several
// numbers separated by ","), "from=N", or "<kind>=<pattern>" with kind one of open, mkdir, rmdir,
// delete, move, copy, attributes, date, write, any. CORVINA_FAULT_LOG names a host file to which
// each numbered change is appended as one UTF-8 line: "<number> <Kind> <path>[ -> <path>] ok|FAILED".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/FileSystem.h"

namespace corvina {

enum class FaultKind : uint8_t {
  Open, CreateDirectory, RemoveDirectory, DeleteFile, MoveFile, CopyFile, SetFileAttributes, SetFileDate,
  Write,  // Write, Truncate and SetDate through an opened handle
  Any,    // in a rule: every kind
};

const char* FaultKindName(FaultKind kind);

// One numbered change as it was asked for.
struct FaultRecord {
  int64_t Number;
  FaultKind Kind;
  std::string Path;    // 1251; for a write, the path the handle was opened with
  std::string Target;  // the second path of MoveFile and CopyFile
  bool Failed;
};

class FaultInjectingFileSystem : public IFileSystem {
public:
  explicit FaultInjectingFileSystem(std::shared_ptr<IFileSystem> inner);
  ~FaultInjectingFileSystem() override;

  // Rules; they add up.
  void FailOperation(int64_t number);
  void FailFrom(int64_t number);
  void FailMatching(FaultKind kind, const std::string& pattern);
  void ClearRules();
  // Reads rules in the CORVINA_FAULTS syntax; false with a reason (and no rule added) when a rule is malformed.
  bool AddRules(const std::string& text, std::string& error);
  // Appends one line per numbered change to a host file ("" stops logging).
  void SetLogFile(const std::string& host_path);

  int64_t OperationCount() const;
  int64_t QueryCount() const;
  int64_t FailureCount() const;
  const std::vector<FaultRecord>& History() const;

  // IFileSystem
  std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, std::string& error) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool MoveFile(const std::string& from, const std::string& to) override;
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override;
  int32_t GetFileAttributes(const std::string& path) override;
  bool SetFileAttributes(const std::string& path, int32_t attributes) override;
  int32_t FileAge(const std::string& path) override;
  bool SetFileDate(const std::string& path, int32_t dos_date_time) override;
  std::vector<DirEntry> ListDirectory(const std::string& path) override;
  DriveType GetDriveType(const std::string& root) override;
  bool GetVolumeLabel(const std::string& root, std::string& label) override;
  std::string DriveCurrentDir(int drive) override;
  std::string GetCurrentDir() override;
  bool SetCurrentDir(const std::string& path) override;
  std::string HostPath(const std::string& windows_path) override;
  std::string WindowsPath(const std::string& host_path) override;

  struct State;  // shared with the handles, which may outlive this object

private:
  std::shared_ptr<IFileSystem> inner_;
  std::shared_ptr<State> state_;
};

// Wildcard match of the rules: pattern anywhere in text, case-insensitive by the 1251 rules,
// "*" any run, "?" one character, "/" equal to "\".
bool FaultPatternMatches(const std::string& pattern, const std::string& text);

// When CORVINA_FAULTS or CORVINA_FAULT_LOG is set, puts a fault-injecting file system configured
// from them in front of the current one. Malformed rules raise Exception with the reason.
void InstallFaultsFromEnvironment();

}  // namespace corvina
