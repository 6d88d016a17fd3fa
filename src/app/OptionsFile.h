// The optional options file beside the setup program (its own path with the extension ".ini"), in
// the Windows profile format: "[Section]" lines, each followed by "Key=Value" lines. It is read the
// way the Windows profile functions read it: section and key names match without regard to case
// (code page 1251 rules), blanks around names and values are dropped, a value enclosed in one
// matching pair of double or single quotes loses them, at most the first 2047 characters of a
// value count, and the first occurrence of a key wins. Lines that are neither a section nor hold
// an equals sign (comments, blank lines) are passed over. The file is read once, through
// FileSystem(), and never written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

// A profile file's text, parsed once; look-ups fall back to a default for a missing key.
class TProfileText {
public:
  explicit TProfileText(const std::string& text);

  // The value of key in section, or fallback when either is missing.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
  // The value read as an integer (decimal; hexadecimal after "0x"/"0X" or "$", with a sign
  // allowed); fallback when the key is missing or its value is not an integer.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
  // ReadInteger(...) != 0, with the default given as a boolean.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

private:
  struct Entry {
    std::string Section;
    std::string Key;
    std::string Value;
  };
  std::vector<Entry> entries_;
};

// The longest value the profile reader hands back; longer values are cut to it.
inline constexpr size_t MaxProfileValueLength = 2047;

// The options file of the running program: ChangeFileExt(ProgramFile(), ".ini").
std::string OptionsFileName();

// Fills SetupOptions from the options file: every option back to its default, then, when the file
// exists, InstallDir (with its first "%PROGRAMFILESDIR%", in any case, replaced by ProgramFilesDir),
// the booleans, Params and the ExcludeDir list (keys "1" to "20", up to the first empty or missing
// one). A file that cannot be read leaves the defaults; nothing is reported.
void ReadSetupOptions();

}  // namespace corvina
