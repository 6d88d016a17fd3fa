// The Wine-style environment: where the root is, which host folder each drive letter names, and
// the translation between Windows names (1251, "\") and host paths (UTF-8, "/").
//
// Name look-up walks the host folders one component at a time. An exact (byte-equal) entry wins;
// otherwise the folder is listed and the first entry whose name, read as UTF-8 and converted to
// 1251, equals the component in upper case by the 1251 rules is taken. Host names that 1251
// cannot spell never match case-insensitively, so a "?" in a Windows name cannot stand for them.
// "." and ".." are resolved on the text before any look-up and stop at the drive root, so a
// Windows name can never reach a host folder outside its drive.
#include "platform/Environment.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/CodePage.h"

namespace corvina {

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return "/";
}

// Lexically normalises an absolute host path: no "." or empty components, ".." removes the
// previous component (never above "/"), no trailing "/" except for "/" itself.
std::string NormaliseHostPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return "/";
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  return out;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool EntryExists(const std::string& host_path) {
  struct stat st;
  return lstat(host_path.c_str(), &st) == 0;
}

// The entry of folder whose name matches component (1251) without regard to case; "" if none.
std::string FindEntry(const std::string& folder, const std::string& component) {
  std::string exact = AnsiToUtf8(component);
  if (EntryExists(JoinHost(folder, exact))) return exact;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return "";
  const std::string wanted = AnsiUpperCase(component);
  while (const dirent* entry = readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string ansi = Utf8ToAnsi(name);
    if (AnsiToUtf8(ansi) != name) continue;  // not spelled exactly by 1251
    if (AnsiUpperCase(ansi) == wanted) return name;
  }
  return "";
}

}  // namespace

namespace {
// A root given relative to the current folder is taken from there, once.
std::string AbsoluteRoot(const std::string& root) {
  if (!root.empty() && root.front() == '/') return NormaliseHostPath(root);
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return NormaliseHostPath("/" + root);
  return NormaliseHostPath(JoinHost(cwd, root));
}
}  // namespace

WineEnvironment::WineEnvironment() {
  const char* prefix = std::getenv("WINEPREFIX");
  root_ = AbsoluteRoot(prefix != nullptr && *prefix != '\0' ? std::string(prefix) : JoinHost(HomeFolder(), ".wine"));
  Refresh();
}

WineEnvironment::WineEnvironment(std::string root) : root_(AbsoluteRoot(root)) { Refresh(); }

void WineEnvironment::Refresh() {
  drives_.clear();
  const std::string devices = JoinHost(root_, "dosdevices");
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    std::string link = JoinHost(devices, std::string(1, letter) + ":");
    char target[4096];
    ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    if (length < 0) {
      // Wine's links are lower case; accept an upper-case one written by hand.
      link = JoinHost(devices, std::string(1, static_cast<char>(letter - 'a' + 'A')) + ":");
      length = readlink(link.c_str(), target, sizeof target - 1);
    }
    if (length <= 0) continue;
    std::string folder(target, static_cast<size_t>(length));
    if (folder.front() != '/') folder = JoinHost(devices, folder);
    drives_[static_cast<char>(letter - 'a' + 'A')] = NormaliseHostPath(folder);
  }
  if (drives_.empty()) {
    drives_['C'] = JoinHost(root_, "drive_c");
    drives_['Z'] = "/";
  }
}

std::string WineEnvironment::HostPath(const std::string& windows_path) const {
  if (windows_path.size() < 3 || windows_path[1] != ':') return "";
  const char letter = UpCaseAscii(windows_path[0]);
  if (letter < 'A' || letter > 'Z') return "";
  if (windows_path[2] != '\\' && windows_path[2] != '/') return "";
  auto drive = drives_.find(letter);
  if (drive == drives_.end()) return "";

  std::vector<std::string> parts;
  size_t start = 3;
  while (start <= windows_path.size()) {
    size_t end = windows_path.find_first_of("\\/", start);
    if (end == std::string::npos) end = windows_path.size();
    std::string part = windows_path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }

  std::string host = drive->second;
  bool found_so_far = true;
  for (const std::string& part : parts) {
    std::string name;
    if (found_so_far) name = FindEntry(host, part);
    if (name.empty()) {
      found_so_far = false;
      name = AnsiToUtf8(part);
    }
    host = JoinHost(host, name);
  }
  return host;
}

std::string WineEnvironment::WindowsPath(const std::string& host_path) const {
  if (host_path.empty()) return "";
  std::string path = host_path;
  if (path.front() != '/') {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr) return "";
    path = JoinHost(cwd, path);
  }
  path = NormaliseHostPath(path);

  char best_letter = 0;
  size_t best_length = 0;
  for (const auto& [letter, folder] : drives_) {
    bool prefix = folder == "/" ||
                  (path.compare(0, folder.size(), folder) == 0 &&
                   (path.size() == folder.size() || path[folder.size()] == '/'));
    size_t length = folder == "/" ? 0 : folder.size();
    if (prefix && (best_letter == 0 || length > best_length)) {
      best_letter = letter;
      best_length = length;
    }
  }
  if (best_letter == 0) return "";
  std::string rest = path.substr(best_length);
  if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
  for (char& c : rest)
    if (c == '/') c = '\\';
  return std::string(1, best_letter) + ":\\" + Utf8ToAnsi(rest);
}

std::string WineEnvironment::Login() const {
  if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') return Utf8ToAnsi(user);
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr && *entry->pw_name)
    return Utf8ToAnsi(entry->pw_name);
  return "user";
}

namespace {
std::unique_ptr<WineEnvironment>& EnvironmentSlot() {
  static std::unique_ptr<WineEnvironment> environment;
  return environment;
}
}  // namespace

WineEnvironment& Environment() {
  auto& slot = EnvironmentSlot();
  if (!slot) slot = std::make_unique<WineEnvironment>();
  return *slot;
}

void ResetEnvironment() { EnvironmentSlot() = std::make_unique<WineEnvironment>(); }

}  // namespace corvina
