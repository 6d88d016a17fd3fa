// The Windows machine as Wine shows it. The environment root is WINEPREFIX, else ~/.wine; each
// symlink <root>/dosdevices/<letter>: names the host folder of a drive. Where dosdevices names
// none, C: is <root>/drive_c and Z: is "/", so every host path has a Windows name.
#pragma once

#include <map>
#include <string>

namespace corvina {

class WineEnvironment {
public:
  // Reads the environment from WINEPREFIX / HOME.
  WineEnvironment();
  explicit WineEnvironment(std::string root);

  const std::string& Root() const { return root_; }
  // Host folder (UTF-8, no trailing "/" except for "/" itself) of each mapped drive letter ('A'..'Z').
  const std::map<char, std::string>& Drives() const { return drives_; }
  // Re-reads dosdevices (after a test changed it).
  void Refresh();

  // Windows path (1251) -> host path (UTF-8), each component looked up without regard to case by
  // the 1251 rules; components that do not exist keep the case they were given. "" when the
  // drive is not mapped or the path is not absolute.
  std::string HostPath(const std::string& windows_path) const;
  // Host path -> Windows name through the drive whose folder is the longest prefix.
  std::string WindowsPath(const std::string& host_path) const;

  // User name for the profile folders (C:\users\<login>\...).
  std::string Login() const;

private:
  std::string root_;
  std::map<char, std::string> drives_;
};

// The process-wide environment; tests replace it after changing WINEPREFIX.
WineEnvironment& Environment();
void ResetEnvironment();

}  // namespace corvina
