#include "install/Shortcuts.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/ShellLink.h"
#include "platform/Strings.h"

namespace corvina {

bool WriteClassesDefault(const std::string& key, const std::string& value) {
  try {
    TRegistry registry;
    registry.SetRootKey(HKEY_CLASSES_ROOT);
    if (!registry.OpenKey("\\" + key, true)) return false;
    registry.WriteString("", value);
    registry.CloseKey();
    return true;
  } catch (const Exception&) {
    return false;  // a registry that cannot be read or saved
  }
}

void RegisterFileType(const std::string& Extension, const std::string& ProgramDir, const std::string& ProgramFile,
                      const std::string& Description, int32_t IconIndex, const ClassesDefaultWriter& write) {
  if (Extension.empty()) return;
  const std::string program = ProgramDir + "\\" + ProgramFile;
  const std::pair<std::string, std::string> values[] = {
      {"." + Extension, Extension},
      {Extension, Description},
      {Extension + "\\DefaultIcon", program + "," + IntToStr(IconIndex)},
      {Extension + "\\Shell", "Open"},
      {Extension + "\\Shell\\Open", "Open"},
      {Extension + "\\Shell\\Open\\command", "\"" + program + "\" \"%1\""},
  };
  for (const auto& [key, value] : values)
    if (!write(key, value)) return;
}

void RegisterFileTypes(const TFixedList<TFileExt, 21>& rows, int32_t count, const ClassesDefaultWriter& write) {
  for (int32_t i = 0; i < count && i < rows.Capacity; ++i) {
    const TFileExt& row = rows[i];
    RegisterFileType(row.Extension, row.ProgramDir, row.ProgramFile, row.Description, row.IconIndex, write);
  }
}

std::string CreateProgramGroup(const std::string& programs_dir, const std::string& menu_group, bool start_menu) {
  if (!start_menu) return "";
  IFileSystem& fs = FileSystem();
  const std::string group = programs_dir + menu_group;
  if (fs.DirectoryExists(group) || fs.CreateDirectory(group)) return "";
  const std::string name = menu_group.size() > 1 ? menu_group.substr(1, 100) : std::string();
  return Utf8ToAnsi("Не удалось создать программную группу \"") + name + "\".\r\n";
}

void CreateShortcuts(const TFixedList<TLink, 51>& rows, int32_t count, const TShortcutPlaces& places,
                     std::vector<std::string>& uninstall_list, std::string& link_failures,
                     const std::function<void()>& progress_step) {
  IFileSystem& fs = FileSystem();
  const std::string desktop = AnsiUpperCase(places.DesktopDir);
  const std::string programs = AnsiUpperCase(places.ProgramsDir);
  for (int32_t i = 0; i < count && i < rows.Capacity; ++i) {
    const TLink& row = rows[i];
    const std::string folder = AnsiUpperCase(row.Folder);
    if (folder == desktop && !places.Desktop) continue;
    if (!programs.empty() && folder.find(programs) != std::string::npos && !places.StartMenu) continue;
    if (fs.FileExists(row.Target)) {
      const std::string link = row.Folder + "\\" + row.LinkName + ".lnk";
      if (fs.DirectoryExists(row.Folder) && CreateShellLink(row.Target, row.Arguments, row.WorkDir, link))
        uninstall_list.push_back(link);
      else
        link_failures += "\"" + row.Folder + "\\" + row.LinkName + "\", ";
    }
    if (progress_step) progress_step();
  }
}

}  // namespace corvina
