// The real file system: POSIX calls on the host paths that the environment gives for Windows names,
// with Windows semantics where the program relies on them.
//
// - Relative names ("a\b", "\a", "C:a") are completed from the current folder, as Windows does.
// - Read-only is the absence of the owner's write bit; the check is made on the mode bits, so it
//   holds for root too. DeleteFile refuses a read-only file and CopyFile a read-only target.
// - Hidden, system and archive live in the user.DOSATTRIB extended attribute as "0x" + hex, the
//   way Wine keeps them; a file without the attribute reports archive, as a new Windows file does.
//   Where the file system has no extended attributes only read-only and folder are kept.
// - MoveFile never replaces an existing target (the rename itself is asked not to replace, so no
//   race loses a file); across devices it copies (data, mode, attributes, date) and then deletes
//   the source, and a copy that fails is removed again, leaving the source as it was.
// - Copying a file onto itself fails instead of truncating it.
#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/Registry.h"

namespace corvina {

namespace {

constexpr const char* kDosAttribName = "user.DOSATTRIB";
constexpr int32_t kKeptInAttribute = faHidden | faSysFile | faArchive;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(const std::string& path) {
  char letter = UpCaseAscii(path.size() >= 2 ? path[0] : '\0');
  return path.size() >= 2 && path[1] == ':' && letter >= 'A' && letter <= 'Z';
}

std::string SystemMessage(int error) { return std::strerror(error); }

// ---- DOS attributes in the extended attribute ----

int32_t ReadDosAttrib(const std::string& host) {
  char buffer[64];
  ssize_t length = getxattr(host.c_str(), kDosAttribName, buffer, sizeof buffer - 1);
  if (length <= 2) return -1;
  buffer[length] = '\0';
  if (buffer[0] != '0' || (buffer[1] != 'x' && buffer[1] != 'X')) return -1;
  char* end = nullptr;
  unsigned long value = std::strtoul(buffer + 2, &end, 16);
  if (end == buffer + 2) return -1;
  return static_cast<int32_t>(value & 0xFFFF);
}

void WriteDosAttrib(const std::string& host, int32_t attributes) {
  char buffer[16];
  int length = std::snprintf(buffer, sizeof buffer, "0x%x", static_cast<unsigned>(attributes & kKeptInAttribute));
  setxattr(host.c_str(), kDosAttribName, buffer, static_cast<size_t>(length), 0);
}

void CopyDosAttrib(const std::string& from, const std::string& to) {
  int32_t attributes = ReadDosAttrib(from);
  if (attributes >= 0) WriteDosAttrib(to, attributes);
}

int32_t AttributesOf(const std::string& host, const struct stat& st) {
  int32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= faDirectory;
  if ((st.st_mode & S_IWUSR) == 0) attributes |= faReadOnly;
  int32_t kept = ReadDosAttrib(host);
  if (kept >= 0) attributes |= kept & kKeptInAttribute;
  else if (!S_ISDIR(st.st_mode)) attributes |= faArchive;
  return attributes;
}

// ---- copying and removing host trees ----

bool SetTimes(const std::string& host, const struct stat& st) {
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  return utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
}

// Copies a regular file. When the target must not exist it is created exclusively; otherwise an
// existing target must be a writable regular file other than the source.
bool CopyHostFile(const std::string& from, const std::string& to, bool target_must_be_new) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat source;
  if (fstat(in, &source) != 0 || !S_ISREG(source.st_mode)) {
    close(in);
    return false;
  }
  struct stat target;
  bool existed = stat(to.c_str(), &target) == 0;
  if (existed && (target_must_be_new || !S_ISREG(target.st_mode) || (target.st_mode & S_IWUSR) == 0 ||
                  (target.st_dev == source.st_dev && target.st_ino == source.st_ino))) {
    close(in);
    return false;
  }
  int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (existed ? 0 : O_EXCL);
  int out = open(to.c_str(), flags, 0600);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buffer[65536];
  while (ok) {
    ssize_t got = read(in, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t wrote = write(out, buffer + done, static_cast<size_t>(got - done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) {
        ok = false;
        break;
      }
      done += wrote;
    }
  }
  close(in);
  if (ok) ok = fchmod(out, source.st_mode & 07777) == 0;
  if (close(out) != 0) ok = false;
  if (!ok) {
    unlink(to.c_str());
    return false;
  }
  CopyDosAttrib(from, to);
  SetTimes(to, source);
  return true;
}

bool RemoveHostTree(const std::string& host) {
  struct stat st;
  if (lstat(host.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return unlink(host.c_str()) == 0;
  bool ok = true;
  if (DIR* dir = opendir(host.c_str())) {
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : names) ok = RemoveHostTree(host + "/" + name) && ok;
  }
  return rmdir(host.c_str()) == 0 && ok;
}

// Copies a file, link or folder tree to a target that does not exist yet.
bool CopyHostTree(const std::string& from, const std::string& to) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) {
    std::string target(4096, '\0');
    ssize_t length = readlink(from.c_str(), target.data(), target.size());
    if (length < 0) return false;
    target.resize(static_cast<size_t>(length));
    return symlink(target.c_str(), to.c_str()) == 0;
  }
  if (S_ISREG(st.st_mode)) return CopyHostFile(from, to, true);
  if (!S_ISDIR(st.st_mode)) return false;
  if (mkdir(to.c_str(), 0700) != 0) return false;
  DIR* dir = opendir(from.c_str());
  if (dir == nullptr) return false;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names)
    if (!CopyHostTree(from + "/" + name, to + "/" + name)) return false;
  chmod(to.c_str(), st.st_mode & 07777);
  CopyDosAttrib(from, to);
  SetTimes(to, st);
  return true;
}

// rename() that never replaces an existing target.
int RenameNoReplace(const std::string& from, const std::string& to) {
  int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
    struct stat st;
    if (lstat(to.c_str(), &st) == 0) {
      errno = EEXIST;
      return -1;
    }
    result = rename(from.c_str(), to.c_str());
  }
  return result;
}

// ---- the open file ----

class PosixFileHandle : public FileHandle {
public:
  explicit PosixFileHandle(int fd) : fd_(fd) {}
  ~PosixFileHandle() override { close(fd_); }
  PosixFileHandle(const PosixFileHandle&) = delete;
  PosixFileHandle& operator=(const PosixFileHandle&) = delete;

  int64_t Read(void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    int64_t done = 0;
    while (done < count) {
      ssize_t got = read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return done > 0 ? done : -1;
      if (got == 0) break;
      done += got;
    }
    return done;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    int64_t done = 0;
    while (done < count) {
      ssize_t wrote = write(fd_, static_cast<const char*>(buffer) + done, static_cast<size_t>(count - done));
      if (wrote < 0 && errno == EINTR) continue;
      if (wrote <= 0) return done > 0 ? done : -1;
      done += wrote;
    }
    return done;
  }
  int64_t Seek(int64_t offset, int origin) override {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) return -1;
    off_t result = lseek(fd_, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<int64_t>(result);
  }
  int64_t Size() override {
    struct stat st;
    return fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
  }
  bool Truncate(int64_t size) override { return size >= 0 && ftruncate(fd_, static_cast<off_t>(size)) == 0; }
  int32_t GetDate() override {
    struct stat st;
    return fstat(fd_, &st) == 0 ? UnixTimeToDosDateTime(st.st_mtim.tv_sec) : -1;
  }
  bool SetDate(int32_t dos_date_time) override {
    int64_t unix_time;
    if (!DosDateTimeToUnixTime(dos_date_time, unix_time)) return false;
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unix_time), 0}};
    return futimens(fd_, times) == 0;
  }

private:
  int fd_;
};

// ---- the file system ----

class PosixFileSystem : public IFileSystem {
public:
  std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, std::string& error) override {
    std::string host = HostPath(path);
    if (host.empty()) {
      error = SystemMessage(ENOENT);
      return nullptr;
    }
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::Read: flags |= O_RDONLY; break;
      case OpenMode::ReadWrite: flags |= O_RDWR; break;
      case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    struct stat st;
    if (stat(host.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) {
        error = SystemMessage(EISDIR);
        return nullptr;
      }
      // Read-only files refuse writing whoever asks, as on Windows.
      if (mode != OpenMode::Read && (st.st_mode & S_IWUSR) == 0) {
        error = SystemMessage(EACCES);
        return nullptr;
      }
    }
    int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) {
      error = SystemMessage(errno);
      return nullptr;
    }
    return std::make_unique<PosixFileHandle>(fd);
  }

  bool FileExists(const std::string& path) override {
    struct stat st;
    std::string host = HostPath(path);
    return !host.empty() && stat(host.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }
  bool DirectoryExists(const std::string& path) override {
    struct stat st;
    std::string host = HostPath(path);
    return !host.empty() && stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  bool CreateDirectory(const std::string& path) override {
    std::string host = HostPath(path);
    return !host.empty() && mkdir(host.c_str(), 0777) == 0;
  }
  bool RemoveDirectory(const std::string& path) override {
    std::string host = HostPath(path);
    return !host.empty() && rmdir(host.c_str()) == 0;
  }
  bool DeleteFile(const std::string& path) override {
    std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return false;
    return unlink(host.c_str()) == 0;
  }

  bool MoveFile(const std::string& from, const std::string& to) override {
    std::string source = HostPath(from);
    std::string target = HostPath(to);
    struct stat source_st;
    if (source.empty() || target.empty() || lstat(source.c_str(), &source_st) != 0) return false;
    struct stat target_st;
    if (lstat(target.c_str(), &target_st) == 0) {
      if (target_st.st_dev != source_st.st_dev || target_st.st_ino != source_st.st_ino) return false;
      // The same file under another spelling: a change of letter case only.
      std::string name = to;
      while (!name.empty() && IsSeparator(name.back())) name.pop_back();
      size_t cut = name.find_last_of("\\/:");
      name = AnsiToUtf8(cut == std::string::npos ? name : name.substr(cut + 1));
      std::string renamed = target.substr(0, target.rfind('/') + 1) + name;
      if (renamed == source) return true;
      return rename(source.c_str(), renamed.c_str()) == 0;
    }
    // A folder cannot move into itself.
    if (target.compare(0, source.size() + 1, source + "/") == 0) return false;
    if (RenameNoReplace(source, target) == 0) return true;
    if (errno != EXDEV) return false;
    if (!CopyHostTree(source, target)) {
      RemoveHostTree(target);
      return false;
    }
    if (S_ISDIR(source_st.st_mode)) return RemoveHostTree(source);
    if (unlink(source.c_str()) != 0) {
      RemoveHostTree(target);
      return false;
    }
    return true;
  }

  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override {
    std::string source = HostPath(from);
    std::string target = HostPath(to);
    return !source.empty() && !target.empty() && CopyHostFile(source, target, fail_if_exists);
  }

  int32_t GetFileAttributes(const std::string& path) override {
    std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return -1;
    return AttributesOf(host, st);
  }
  bool SetFileAttributes(const std::string& path, int32_t attributes) override {
    std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return false;
    // Windows ignores read-only on folders for deleting their contents; leave their mode alone.
    if (!S_ISDIR(st.st_mode)) {
      mode_t mode = st.st_mode & 07777;
      if (attributes & faReadOnly) mode &= ~static_cast<mode_t>(0222);
      else mode |= S_IWUSR;
      if (mode != (st.st_mode & 07777) && chmod(host.c_str(), mode) != 0) return false;
    }
    WriteDosAttrib(host, attributes);
    return true;
  }
  int32_t FileAge(const std::string& path) override {
    std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return UnixTimeToDosDateTime(st.st_mtim.tv_sec);
  }
  bool SetFileDate(const std::string& path, int32_t dos_date_time) override {
    std::string host = HostPath(path);
    int64_t unix_time;
    if (host.empty() || !DosDateTimeToUnixTime(dos_date_time, unix_time)) return false;
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unix_time), 0}};
    return utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
  }

  std::vector<DirEntry> ListDirectory(const std::string& path) override {
    std::vector<DirEntry> entries;
    std::string host = HostPath(path);
    if (host.empty()) return entries;
    DIR* dir = opendir(host.c_str());
    if (dir == nullptr) return entries;
    while (const dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      std::string child = host == "/" ? "/" + name : host + "/" + name;
      struct stat st;
      if (stat(child.c_str(), &st) != 0 && lstat(child.c_str(), &st) != 0) continue;
      DirEntry item;
      item.Name = Utf8ToAnsi(name);
      item.Attributes = AttributesOf(child, st);
      item.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
      item.DosDateTime = UnixTimeToDosDateTime(st.st_mtim.tv_sec);
      entries.push_back(std::move(item));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return AnsiCompareText(a.Name, b.Name) < 0; });
    return entries;
  }

  DriveType GetDriveType(const std::string& root) override {
    char letter = RootLetter(root);
    if (letter == 0) return DriveType::NoRootDir;
    const auto& drives = Environment().Drives();
    auto drive = drives.find(letter);
    struct stat st;
    if (drive == drives.end() || stat(drive->second.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
      return DriveType::NoRootDir;
    std::string kind;
    try {
      TRegistry registry;
      registry.SetRootKey(HKEY_LOCAL_MACHINE);
      if (registry.OpenKeyReadOnly("Software\\Wine\\Drives"))
        kind = LowerCase(registry.ReadString(std::string(1, LowCaseAscii(letter)) + ":"));
    } catch (const Exception&) {
      kind.clear();  // a value of another type says nothing about the drive
    }
    if (kind == "floppy") return DriveType::Removable;
    if (kind == "cdrom") return DriveType::CDRom;
    if (kind == "network") return DriveType::Remote;
    if (kind == "ramdisk") return DriveType::RamDisk;
    return DriveType::Fixed;
  }

  bool GetVolumeLabel(const std::string& root, std::string& label) override {
    char letter = RootLetter(root);
    if (letter == 0) return false;
    const auto& drives = Environment().Drives();
    auto drive = drives.find(letter);
    if (drive == drives.end()) return false;
    std::string file = drive->second == "/" ? "/.windows-label" : drive->second + "/.windows-label";
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[1024];
    ssize_t got = read(fd, buffer, sizeof buffer);
    close(fd);
    if (got < 0) return false;
    std::string text(buffer, static_cast<size_t>(got));
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    label = Utf8ToAnsi(text);
    return true;
  }

  std::string DriveCurrentDir(int drive) override {
    std::string current = GetCurrentDir();
    if (drive == 0) return current;
    if (drive < 0 || drive > 26) return "";
    char letter = static_cast<char>('A' + drive - 1);
    if (!current.empty() && UpCaseAscii(current[0]) == letter) return current;
    return std::string(1, letter) + ":\\";
  }
  std::string GetCurrentDir() override {
    std::string cwd(4096, '\0');
    if (getcwd(cwd.data(), cwd.size()) == nullptr) return "";
    cwd.resize(std::strlen(cwd.c_str()));
    std::string windows = Environment().WindowsPath(cwd);
    if (windows.size() > 3 && windows.back() == '\\') windows.pop_back();
    return windows;
  }
  bool SetCurrentDir(const std::string& path) override {
    std::string host = HostPath(path);
    return !host.empty() && chdir(host.c_str()) == 0;
  }

  std::string HostPath(const std::string& windows_path) override {
    return Environment().HostPath(AbsolutePath(windows_path));
  }
  std::string WindowsPath(const std::string& host_path) override { return Environment().WindowsPath(host_path); }

private:
  // A name completed to "X:\..." from the current folder: "C:a" from C:'s current folder, "\a"
  // from the current drive's root, "a" from the current folder. "" when it cannot be completed.
  std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return "";
    if (HasDrive(path)) {
      if (path.size() >= 3 && IsSeparator(path[2])) return path;
      std::string base = DriveCurrentDir(UpCaseAscii(path[0]) - 'A' + 1);
      if (path.size() == 2) return base;
      return (base.back() == '\\' ? base : base + "\\") + path.substr(2);
    }
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return "";  // network names
    std::string current = GetCurrentDir();
    if (current.size() < 2) return "";
    if (IsSeparator(path[0])) return current.substr(0, 2) + path;
    return (current.back() == '\\' ? current : current + "\\") + path;
  }

  // "C:", "C:\" or "C:/" -> 'C'; "" -> the current drive; anything else -> 0.
  char RootLetter(const std::string& root) {
    std::string name = root;
    if (name.empty()) name = GetCurrentDir().substr(0, 2);
    if (!HasDrive(name)) return 0;
    if (name.size() > 3 || (name.size() == 3 && !IsSeparator(name[2]))) return 0;
    return UpCaseAscii(name[0]);
  }
};

std::shared_ptr<IFileSystem>& InstalledFileSystem() {
  static std::shared_ptr<IFileSystem> installed;
  return installed;
}

}  // namespace

int32_t UnixTimeToDosDateTime(int64_t unix_time) {
  constexpr int32_t kFirst = (1 << 5 | 1) << 16;  // 1980-01-01 00:00:00
  constexpr uint32_t kLast = (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);
  time_t time = static_cast<time_t>(unix_time);
  struct tm local;
  if (localtime_r(&time, &local) == nullptr) return kFirst;
  int year = local.tm_year + 1900;
  if (year < 1980) return kFirst;
  if (year > 2107) return static_cast<int32_t>(kLast);
  uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  uint32_t clock = static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return static_cast<int32_t>(date << 16 | clock);
}

bool DosDateTimeToUnixTime(int32_t dos_date_time, int64_t& unix_time) {
  uint32_t value = static_cast<uint32_t>(dos_date_time);
  uint32_t date = value >> 16;
  uint32_t clock = value & 0xFFFF;
  struct tm local = {};
  local.tm_year = static_cast<int>((date >> 9) + 1980 - 1900);
  local.tm_mon = static_cast<int>((date >> 5) & 15) - 1;
  local.tm_mday = static_cast<int>(date & 31);
  local.tm_hour = static_cast<int>(clock >> 11);
  local.tm_min = static_cast<int>((clock >> 5) & 63);
  local.tm_sec = static_cast<int>((clock & 31) * 2);
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_hour > 23 || local.tm_min > 59 ||
      local.tm_sec > 59)
    return false;
  static const int kDaysInMonth[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = local.tm_year + 1900;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (local.tm_mday > kDaysInMonth[local.tm_mon] || (local.tm_mon == 1 && local.tm_mday == 29 && !leap)) return false;
  local.tm_isdst = -1;
  time_t result = mktime(&local);
  if (result == static_cast<time_t>(-1)) return false;
  unix_time = static_cast<int64_t>(result);
  return true;
}

std::shared_ptr<IFileSystem> RealFileSystem() {
  static std::shared_ptr<IFileSystem> real = std::make_shared<PosixFileSystem>();
  return real;
}

IFileSystem& FileSystem() { return *CurrentFileSystem(); }

void SetFileSystem(std::shared_ptr<IFileSystem> file_system) { InstalledFileSystem() = std::move(file_system); }

std::shared_ptr<IFileSystem> CurrentFileSystem() {
  auto& installed = InstalledFileSystem();
  return installed ? installed : RealFileSystem();
}

bool ForceDirectories(const std::string& path) {
  std::string folder = path;
  // Drop trailing separators, but keep the one of a drive root ("C:\").
  while (folder.size() > 1 && IsSeparator(folder.back()) && !(folder.size() == 3 && HasDrive(folder)))
    folder.pop_back();
  if (folder.empty()) return false;
  IFileSystem& fs = FileSystem();
  if (fs.DirectoryExists(folder)) return true;
  size_t cut = folder.find_last_of("\\/");
  if (cut != std::string::npos && cut > 0) {
    std::string parent = folder.substr(0, cut);
    if (parent.size() == 2 && HasDrive(parent)) parent += '\\';
    if (parent != folder && !ForceDirectories(parent)) return false;
  }
  fs.CreateDirectory(folder);
  return fs.DirectoryExists(folder);
}

}  // namespace corvina
