// The folders the whole program works with, discovered once by start-up (InstallDir is set by the
// main window's install command). They are Windows paths in code page 1251; none ends in a
// backslash, and a bare drive is written as its letter and colon ("C:"). SystemDir, ProgramsDir
// and DesktopDir are empty when the environment does not report them.
#pragma once

#include <string>

namespace corvina {

inline std::string StartDir;         // folder of the running setup program
inline std::string ProgramFilesDir;  // Program Files folder, or a bare drive when none was found
inline std::string SystemDir;        // the Windows system folder
inline std::string ProgramsDir;      // the user's Start-menu Programs folder
inline std::string DesktopDir;       // the user's desktop folder
inline std::string InstallDir;       // target folder of the installation
inline std::string DataName;         // the setup program's file name with the extension ".dat"

}  // namespace corvina
