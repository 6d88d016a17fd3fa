// Start-up: what turns a bare process into a ready main window, run once from the main window's
// FormCreate before it is first shown. RunStartup does it in order: the folders (StartDir,
// ProgramFilesDir from the registry or by probing the drives), the options file, the system,
// Programs and desktop folders, the setup definition, the main window's texts and layout, the data
// volume check (a missing volume ends the program after one message, exit status 2, before any
// later step), the version line, the description and licence buttons, the other three windows and
// the environment dialog's list with its default marks, and the options file's target folder.
//
// The machine is the one the environment shows: the system folder is C:\windows\system32, the
// Start-menu Programs and desktop folders are those of the login's profile and are reported only
// when they exist, and the program's own file is /proc/self/exe named through the drive map
// (tests put another path in its place with SetProgramFile).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvina {

class IFrontEnd;
class TInstF1;
class TInstF3;

// The running program's full Windows path; "" when it has no Windows name.
std::string ProgramFile();
// Puts another path in place of the program's own file; "" goes back to /proc/self/exe.
void SetProgramFile(const std::string& windows_path);

// "" for data volume 1, the decimal volume number otherwise.
std::string VolumeSuffix(int32_t volume);
// The file of data volume n: StartDir + "\" + DataName + VolumeSuffix(n).
std::string DataVolumeFile(int32_t volume);

// When dir is empty, the first of the drives C to Z that has a "Program Files" folder sets it to
// that folder ("D:\Program Files"); otherwise, or when no drive has one, dir is left as it is.
void FindProgramFilesDir(std::string& dir);

// The string "ProgramFilesDir" of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion, without a
// trailing backslash; "" when the key or the value is missing or not a string.
std::string RegistryProgramFilesDir();
// The first of the drives C to Z whose root exists, as letter and colon; "" when none does.
std::string FirstDriveRoot();

// StartDir, then ProgramFilesDir: registry, Program Files probe, bare drive.
void DiscoverStartAndProgramFiles();
// SystemDir, ProgramsDir, DesktopDir.
void DiscoverSystemFolders();

// The error text for a missing data volume.
std::string MissingVolumeMessage(int32_t volume);
// A DOS date-time as "dd.mm.yyyy"; "" when it holds no valid date.
std::string FormatDataDate(int32_t dos_date_time);
// "Версия <Version> от <date of the first data volume>", or "" when the date cannot be had.
std::string VersionLine();

// The text of the credit line.
std::string CreditLine();

// Makes the progress window when start-up creates the other windows; by default the plain one.
using ProgressWindowFactory = std::function<std::unique_ptr<TInstF3>(IFrontEnd&)>;
void SetProgressWindowFactory(ProgressWindowFactory factory);

// The whole start-up sequence for the main window form (the application object must exist for the
// title and the other windows). Ends early, with the application terminated with status 2, when a
// data volume is missing.
void RunStartup(TInstF1& form);

}  // namespace corvina
