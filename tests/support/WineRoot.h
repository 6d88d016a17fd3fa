// A throw-away Wine-style environment root for tests: a fresh folder under the system's temporary
// folder with drive_c and dosdevices/c: -> ../drive_c, made the process-wide environment
// (WINEPREFIX) for the fixture's lifetime. The destructor restores WINEPREFIX, the current folder,
// the environment and the real file system, and removes everything it made.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/Environment.h"
#include "platform/FileSystem.h"

namespace corvina::testing {

// A new empty folder under $TMPDIR (else /tmp), or under base when given.
inline std::string MakeTempFolder(const std::string& base = "") {
  std::string parent = base;
  if (parent.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  }
  std::string pattern = parent + "/corvina-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed under " + parent);
  return pattern;
}

inline void RemoveTree(const std::string& path) {
  nftw(
      path.c_str(),
      [](const char* name, const struct stat*, int type, struct FTW*) {
        if (type == FTW_DP) rmdir(name);
        else unlink(name);
        return 0;  // go on removing the rest
      },
      16, FTW_DEPTH | FTW_PHYS);
}

inline void WriteHostFile(const std::string& path, const std::string& content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::runtime_error("cannot write " + path);
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

inline std::optional<std::string> ReadHostFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::nullopt;
  std::string content;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  std::fclose(file);
  return content;
}

// Every file and folder below a host folder: relative path -> content, folders as "name/" -> "".
inline std::map<std::string, std::string> HostTree(const std::filesystem::path& folder) {
  std::map<std::string, std::string> tree;
  if (!std::filesystem::exists(folder)) return tree;
  for (const std::filesystem::directory_entry& e : std::filesystem::recursive_directory_iterator(folder)) {
    const std::string rel = std::filesystem::relative(e.path(), folder).string();
    if (e.is_directory()) tree[rel + "/"] = "";
    else tree[rel] = ReadHostFile(e.path().string()).value_or("");
  }
  return tree;
}

inline bool HostExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

class WineRoot {
public:
  // with_c_link: create dosdevices/c: -> ../drive_c (else dosdevices stays empty).
  explicit WineRoot(bool with_c_link = true) : folder_(MakeTempFolder()) {
    if (const char* old = std::getenv("WINEPREFIX")) old_prefix_ = old;
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) != nullptr) old_cwd_ = cwd;
    mkdir(DriveC().c_str(), 0777);
    mkdir((folder_ + "/dosdevices").c_str(), 0777);
    setenv("WINEPREFIX", folder_.c_str(), 1);
    ResetEnvironment();
    if (with_c_link) MapDrive('c', "../drive_c");
  }
  ~WineRoot() {
    SetFileSystem(nullptr);
    if (!old_cwd_.empty() && chdir(old_cwd_.c_str()) != 0) std::perror("chdir");
    if (old_prefix_) setenv("WINEPREFIX", old_prefix_->c_str(), 1);
    else unsetenv("WINEPREFIX");
    ResetEnvironment();
    RemoveTree(folder_);
  }
  WineRoot(const WineRoot&) = delete;
  WineRoot& operator=(const WineRoot&) = delete;

  const std::string& Root() const { return folder_; }
  std::string DriveC() const { return folder_ + "/drive_c"; }

  // dosdevices/<letter>: -> target (relative targets are read from dosdevices/), then re-read.
  void MapDrive(char letter, const std::string& target) {
    std::string link = folder_ + "/dosdevices/" + std::string(1, letter) + ":";
    unlink(link.c_str());
    if (symlink(target.c_str(), link.c_str()) != 0) throw std::runtime_error("symlink failed: " + link);
    Environment().Refresh();
  }

private:
  std::string folder_;
  std::optional<std::string> old_prefix_;
  std::string old_cwd_;
};

}  // namespace corvina::testing
