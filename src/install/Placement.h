// Placement of extracted entries: the rules that decide where an entry from the staging folder
// goes and whether it goes at all. Entries under "SYSTEM\" go to the system folder, and only when
// they are newer than the file there (DOS two-second times; equal times keep the old file); all
// others go to the installation folder. Entries of excluded environments stay behind, preserved
// files are never overwritten, and the deepest folder that placement creates is remembered (upper
// case, at most 101 folders) so a rollback can remove it. The placement itself is
// TInstallationRun::PlaceFile; its retry question is a warning with "Повтор" and "Далее".
//
// An entry name that could lead out of its folder (an empty, "." or ".." part, a drive, a leading
// backslash) is never placed: whatever the archive holds, nothing is written outside the
// installation and system folders. Such a name is listed among the files that were not created.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

// True when the entry's top-level folder (the part of D before its first backslash) is one of the
// codes, compared without regard to case; an empty folder part is never excluded.
bool IsExcludedDir(const std::string& D, const std::vector<std::string>& codes);
// The same with the install command's ExcludedCodes (none when it made no list).
bool IsExcludedDir(const std::string& D);

// The name begins with "SYSTEM\" in any ASCII case.
bool IsSystemEntry(const std::string& N);

// False when the whole name, in upper case, is one of the first PreservedFileCount PreservedFiles.
bool IsReplaceable(const std::string& N);

// True when a staged file of DOS date-time `staged` is later than an existing one of `existing`.
// Dates compare as the unsigned DOS values; a staged file without a date is never later.
bool IsLaterDosTime(int32_t staged, int32_t existing);

// Appends folder, in ASCII upper case, to CreatedDirs unless it is there already (ASCII case
// ignored) or the list is full (101 folders).
void RecordCreatedDir(const std::string& folder);

// A relative name made only of ordinary parts: no empty, "." or ".." part, no drive, no leading
// backslash.
bool IsSafeEntryName(const std::string& N);

// The retry question for a destination that cannot be deleted.
std::string RetryQuestionText(const std::string& destination);

}  // namespace corvina
