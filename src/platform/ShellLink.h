// Shell links: ".lnk" files in the Shell Link Binary File Format that Windows and Wine read, made
// without any shell object, as the program's stand-in for the shell link's SetPath /
// SetArguments / SetWorkingDirectory and its save to a named file.
//
// The file holds the 76-byte header (the shell link class id, the flags, the target's attributes,
// times and size, the normal show command), a LinkInfo block with the target's volume (drive type,
// label) and its local base path in both the ANSI code page and UTF-16, and the string data for
// the working folder and the arguments, always as UTF-16 so that Cyrillic names survive on any
// reader, then the terminal block. No item-ID list is written: a reader finds the target through
// the LinkInfo's local base path, which is how links to files on fixed drives resolve anyway.
// Description, relative path, icon and hotkey are left out, as the program sets none of them.
//
// The link's own file name goes through a fixed buffer of 200 UTF-16 units (199 characters and a
// terminating zero); a longer name converts to nothing and the save fails, so a link path of 200
// characters or more is refused. The file is written through FileSystem(), replacing a link of
// the same name; a write that fails part-way removes what it wrote.
#pragma once

#include <cstdint>
#include <string>

namespace corvina {

// What one link says; every text is code page 1251.
struct ShellLinkData {
  std::string Target;            // absolute Windows path "X:\..." of the file the link starts
  std::string Arguments;         // "" for none
  std::string WorkingDirectory;  // "" for none
  // Facts about the target recorded in the header (the shell fills them from the file).
  int32_t TargetAttributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE when nothing else is known
  int64_t TargetWriteTime = 0;      // FILETIME (100 ns since 1601, UTC); 0 when unknown
  uint32_t TargetSize = 0;
  uint32_t DriveType = 3;  // Windows drive type numbers: 2 removable, 3 fixed, 4 remote, 5 CD-ROM ...
  std::string VolumeLabel;
};

// The longest link file name, in characters, that the save accepts.
inline constexpr size_t MaxShellLinkPathLength = 199;

// The bytes of a link file; false when a text cannot be held (a target that is not "X:\...", or a
// string longer than 65535 UTF-16 units).
bool BuildShellLink(const ShellLinkData& link, std::string& bytes);

// Makes the link file `path` that starts `target` with `arguments` in `directory`, filling the
// target facts from the file system. True when the file was saved.
bool CreateShellLink(const std::string& target, const std::string& arguments, const std::string& directory,
                     const std::string& path);

}  // namespace corvina
