// The compiled description of the Corvina package and of its installation: names and texts, the
// version, the post-install program, the checks made before installing, the lists that steer the
// engine, the shortcut and file-association tables, the programming environments, and the options
// that the options file may override. Everything is process-wide, as the program's other parts
// read it by name.
//
// Lists are fixed-capacity arrays (TFixedList) with a separate count variable: only entries below
// the count are used, entries stored beyond it are inert, and touching an index outside the
// capacity raises ERangeError rather than writing past the array. Texts are code page 1251 bytes;
// the Russian ones are written in UTF-8 in SetupDefinition.cpp and converted once, where the
// definition is filled. Composite values are composed at that moment from the parts already set
// (SystemDir, ProgramsDir, MenuGroup ...) and do not follow later changes of their parts.
//
// The definition is filled once when the program is loaded, so that every value holds from the
// first moment, and filled again by start-up after it has discovered the folders the shortcut rows
// are composed from. InstallTitle and DataName belong to start-up's later steps.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Exception.h"

namespace corvina {

// A fixed-capacity array indexed from 0. Any index outside 0 .. Capacity - 1 raises ERangeError.
template <typename T, int32_t CapacityValue>
class TFixedList {
public:
  static constexpr int32_t Capacity = CapacityValue;

  T& operator[](int32_t index) {
    Check(index);
    return items_[static_cast<size_t>(index)];
  }
  const T& operator[](int32_t index) const {
    Check(index);
    return items_[static_cast<size_t>(index)];
  }
  // Every entry back to its empty value.
  void Clear() { items_.fill(T{}); }

private:
  static void Check(int32_t index) {
    if (index < 0 || index >= Capacity) throw ERangeError(SRangeError);
  }
  std::array<T, static_cast<size_t>(CapacityValue)> items_{};
};

// One shortcut row: five strings; all but LinkName have their macros expanded by the engine.
struct TLink {
  std::string Target;     // file the shortcut points to
  std::string Arguments;  // its command-line arguments
  std::string WorkDir;    // its working folder
  std::string Folder;     // folder in which the shortcut file is made
  std::string LinkName;   // file name of the shortcut, without ".lnk"
};

// One file association: the extension (without its dot, also the registry class name), the
// program that opens such files, the type's description and the icon inside the program file.
struct TFileExt {
  std::string Extension;
  std::string ProgramDir;  // macros expanded by the engine
  std::string ProgramFile;
  std::string Description;
  int32_t IconIndex = 0;
};

// The options the options file may change. Every field holds its default from program start.
struct TSetupOptions {
  std::string InstallDir;    // replaces the proposed target folder when not empty
  bool AutoRun = false;      // give the install command by itself once the window is shown
  bool SelectDialog = true;  // show the environment dialog
  bool FinalMessage = true;  // show the final report also when nothing went wrong
  bool StartMenu = true;     // make the Start-menu group and its shortcuts
  bool Desktop = true;       // make the shortcuts whose folder is the desktop
  bool Run = true;           // start the post-install program
  std::string Params;        // replaces SetupParams when not empty after expansion and trimming
  // Top-level archive folders to leave out, compared without regard to case; at most 20 filled.
  TFixedList<std::string, 21> ExcludeDir;
  int32_t ExcludeDirCount = 0;  // 0 .. 20
};

inline constexpr int32_t MaxExcludeDirCount = 20;

// Package texts.
extern std::string Version;
extern std::string ProductName;
extern std::string ProductNoun;           // the common noun for the package, nominative
extern std::string ProductNounGenitive;   // the same noun, genitive
extern std::string InstallTitle;          // "Установка " + ProductName, composed by start-up
extern std::string MenuGroup;             // Start-menu group, with its leading backslash
extern std::string UninstallLogName;
// 0 uninstaller caption, 1 confirmation question, 2 complete removal, 3 before the files left.
extern TFixedList<std::string, 4> UninstallTexts;

// Post-install program.
extern std::string SetupProgram;
extern std::string SetupParams;
extern std::string SetupWorkDir;
extern std::string SetupNote;  // appended to the final message when the program will be started

// Checks before installing.
extern std::string PreviousVersionDir;  // empty: no previous-version check
extern std::string PreviousVersionMessage;
extern TFixedList<std::string, 101> BasePackageFiles;
extern int32_t BasePackageFileCount;
extern std::string BasePackageMessage;  // holds "%InstallDir%", expanded when shown

// Lists that steer the engine.
extern std::string SelfCopyName;  // empty: the setup program does not copy itself
extern TFixedList<std::string, 101> PreservedFiles;
extern int32_t PreservedFileCount;
extern TFixedList<std::string, 101> CreatedDirs;  // the engine appends each folder it creates
extern int32_t CreatedDirCount;
extern TFixedList<std::string, 51> ExtraUninstallEntries;
extern int32_t ExtraUninstallCount;
extern TFixedList<TLink, 51> Shortcuts;
extern int32_t ShortcutCount;
extern TFixedList<TFileExt, 21> FileAssociations;
extern int32_t FileAssociationCount;
extern int32_t VolumeCount;

// Programming environments: display names and codes (a code is a top-level archive folder).
extern TFixedList<std::string, 21> EnvironmentNames;
extern TFixedList<std::string, 21> EnvironmentCodes;
extern int32_t EnvironmentCount;
extern std::string EnvironmentDialogCaption;
extern std::string EnvironmentDialogHeader;
extern int32_t EnvironmentListHeight;  // pixels of the dialog's client height given to the list
extern bool AllowEmptyEnvironmentChoice;
extern bool DetectEnvironments;

// The options file's settings (see SetupOptions.cpp).
extern TSetupOptions SetupOptions;

// Fills the definition in its fixed order: VolumeCount, the package texts, the post-install
// program, the checks, the steering lists, the shortcut rows (from SystemDir, ProgramsDir,
// MenuGroup and UninstallLogName as they are now) and the environment table. Start-up calls it
// once the folders are known; SetupOptions is left alone.
void FillSetupDefinition();

// "Установка " + ProductName.
std::string ComposeInstallTitle();

}  // namespace corvina
