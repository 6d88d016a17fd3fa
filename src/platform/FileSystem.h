// The file system as the program sees it: Windows paths in code page 1251 on the drives of the
// Wine-style environment (see Environment.h). It is an interface so that tests can put a
// fault-injecting file system in front of the real one; everything goes through FileSystem().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvina {

// DOS attributes.
enum : int32_t {
  faReadOnly = 0x01,
  faHidden = 0x02,
  faSysFile = 0x04,
  faVolumeID = 0x08,
  faDirectory = 0x10,
  faArchive = 0x20,
};

enum class DriveType : uint8_t { NoRootDir, Removable, Fixed, Remote, CDRom, RamDisk };

// An open file. Closing is the destructor.
class FileHandle {
public:
  virtual ~FileHandle() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;     // -1 on an error
  virtual int64_t Write(const void* buffer, int64_t count) = 0;  // -1 on an error
  virtual int64_t Seek(int64_t offset, int origin) = 0;      // origin 0/1/2; -1 on an error
  virtual int64_t Size() = 0;
  virtual bool Truncate(int64_t size) = 0;
  // Last-write time as a DOS date-time (date in the high word) in local time; -1 on an error.
  virtual int32_t GetDate() = 0;
  virtual bool SetDate(int32_t dos_date_time) = 0;
};

enum class OpenMode : uint8_t { Read, ReadWrite, Create /* create or truncate, read and write */ };

struct DirEntry {
  std::string Name;    // the name as stored, in code page 1251
  int32_t Attributes;  // DOS attributes, faDirectory for folders
  int64_t Size;
  int32_t DosDateTime;
};

class IFileSystem {
public:
  virtual ~IFileSystem() = default;

  // Opens a file; nullptr on failure, with a reason (the system's message) in error.
  virtual std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, std::string& error) = 0;

  virtual bool FileExists(const std::string& path) = 0;       // an existing file, not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;  // an existing folder (a drive root too)
  virtual bool CreateDirectory(const std::string& path) = 0;  // one level; false if it exists or fails
  virtual bool RemoveDirectory(const std::string& path) = 0;  // an empty folder only
  virtual bool DeleteFile(const std::string& path) = 0;       // fails on a read-only file, as Windows does
  // Renames or moves a file or folder, across folders and devices; fails if the target exists.
  virtual bool MoveFile(const std::string& from, const std::string& to) = 0;
  virtual bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) = 0;
  virtual int32_t GetFileAttributes(const std::string& path) = 0;  // -1 when missing
  virtual bool SetFileAttributes(const std::string& path, int32_t attributes) = 0;
  virtual int32_t FileAge(const std::string& path) = 0;  // DOS local date-time, -1 when missing
  virtual bool SetFileDate(const std::string& path, int32_t dos_date_time) = 0;
  // The entries of a folder, without "." and "..". Empty when the folder is missing.
  virtual std::vector<DirEntry> ListDirectory(const std::string& path) = 0;

  virtual DriveType GetDriveType(const std::string& root) = 0;  // "C:\" or "C:"
  virtual bool GetVolumeLabel(const std::string& root, std::string& label) = 0;
  // Current folder of a drive (1 = A, 2 = B, ...; 0 = the current drive), without trailing "\"
  // except for a root ("C:\").
  virtual std::string DriveCurrentDir(int drive) = 0;
  virtual std::string GetCurrentDir() = 0;
  virtual bool SetCurrentDir(const std::string& path) = 0;

  // Between Windows names and host paths (UTF-8). HostPath is "" for a drive that is not mapped.
  virtual std::string HostPath(const std::string& windows_path) = 0;
  virtual std::string WindowsPath(const std::string& host_path) = 0;
};

// The file system in use: the real one over the environment, unless a test installed another.
IFileSystem& FileSystem();
// Installs a file system (a test double, usually wrapping the previous one); nullptr restores the real one.
void SetFileSystem(std::shared_ptr<IFileSystem> file_system);
std::shared_ptr<IFileSystem> CurrentFileSystem();

// Creates a folder with all missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);

// The real file system over the process-wide environment (the one FileSystem() starts with).
std::shared_ptr<IFileSystem> RealFileSystem();

// Host time (seconds since 1970) <-> DOS date-time in local time. Times before 1980 or after 2107,
// which DOS cannot hold, become the first or last DOS time. A date-time from 2044 on is negative
// as an int32_t; only -1 (never a valid DOS date) means "no date". The reverse conversion is
// false for fields out of range (month 0, second 60 ...).
int32_t UnixTimeToDosDateTime(int64_t unix_time);
bool DosDateTimeToUnixTime(int32_t dos_date_time, int64_t& unix_time);

}  // namespace corvina
