// The finishing step's shell work: the file associations under HKEY_CLASSES_ROOT, the package's
// Start-menu group folder, and one shell link per shortcut row whose target exists.
//
// Each piece takes what it works on as parameters (rows, folders, options, the lists it adds to),
// so the progress window wires it to the setup definition and its own failure texts and progress
// bar. Links that were made are added to the uninstall list as Folder\LinkName.lnk; links that
// could not be made are added to the link failures as "\"Folder\LinkName\", " (without ".lnk").
// Rows skipped by the StartMenu or Desktop option take no progress step; every other row does,
// whether or not its target exists.
//
// An association row with an empty extension is passed over: its keys would be the default value
// of HKEY_CLASSES_ROOT itself and the class "." that every file type shares.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/SetupDefinition.h"

namespace corvina {

// Writes the default value of a key under HKEY_CLASSES_ROOT, creating the key when it is missing;
// false on any failure.
using ClassesDefaultWriter = std::function<bool(const std::string& key, const std::string& value)>;

// The writer over the environment's registry (TRegistry).
bool WriteClassesDefault(const std::string& key, const std::string& value);

// One association: ".ext" -> ext, ext -> description, ext\DefaultIcon, ext\Shell, ext\Shell\Open and
// ext\Shell\Open\command, in this order; the first failure ends it silently.
void RegisterFileType(const std::string& Extension, const std::string& ProgramDir, const std::string& ProgramFile,
                      const std::string& Description, int32_t IconIndex,
                      const ClassesDefaultWriter& write = WriteClassesDefault);

// The first `count` rows of an association table.
void RegisterFileTypes(const TFixedList<TFileExt, 21>& rows, int32_t count,
                       const ClassesDefaultWriter& write = WriteClassesDefault);

// With start_menu on, creates programs_dir + menu_group (one level) when it is missing. Returns the
// group failure line ("" when the folder exists or start_menu is off).
std::string CreateProgramGroup(const std::string& programs_dir, const std::string& menu_group, bool start_menu);

// What the link step works with besides the rows.
struct TShortcutPlaces {
  std::string ProgramsDir;
  std::string DesktopDir;
  bool StartMenu = true;
  bool Desktop = true;
};

// The first `count` shortcut rows in order. progress_step runs once per row not skipped by an
// option (the window advances its bar by 5 and lets pending events run).
void CreateShortcuts(const TFixedList<TLink, 51>& rows, int32_t count, const TShortcutPlaces& places,
                     std::vector<std::string>& uninstall_list, std::string& link_failures,
                     const std::function<void()>& progress_step);

}  // namespace corvina
