// Starting another program the way the shell's "execute" does it for the installer: the program is
// started and never waited for, and the call tells only whether it could be started.
//
// The program is a Windows path (code page 1251) on the environment's drives. A host executable
// (an ELF file or a "#!" script with execute permission) is started directly; a Windows executable
// (a file beginning with "MZ") is started through `wine` when `wine` is on PATH; anything else is not
// started and the call returns false, without a message. The parameters are one Windows command
// line, split into arguments by the Windows rules (blanks separate, double quotes group, a
// backslash escapes a double quote) and passed as UTF-8; for wine the program's full Windows path
// comes first. The working folder is the given one ("" keeps the current folder); a folder that
// does not exist makes the start fail.
//
// The program is started by a double fork: the intermediate child is reaped at once and the
// program is adopted by the system, so it leaves no zombie behind and outlives the installer. It
// runs in a session of its own with standard input from /dev/null (a shell-started program has no
// console to read), and a pipe closed on exec tells the caller whether the exec succeeded. The
// show modes have no meaning for host windows here and are not applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

// The show command the Windows shell would be given for a mode: 0 SW_SHOW (5), 1 SW_SHOWMAXIMIZED
// (3), 2 SW_SHOWMINIMIZED (2), 3 SW_SHOWMINNOACTIVE (7), any other SW_HIDE (0).
int32_t ShowCommandForMode(int32_t mode);

// A Windows command line split into its arguments (the rules of the C runtime's argv parser).
std::vector<std::string> SplitCommandLine(const std::string& command_line);

// Starts program with parameters in directory; true when it was started.
bool RunProgram(const std::string& program, const std::string& parameters, const std::string& directory,
                int32_t mode);

}  // namespace corvina
