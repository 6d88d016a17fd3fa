// String and path helpers with the semantics the program relies on. Paths are Windows paths in
// code page 1251: "\" separates folders, "X:" names a drive.
#pragma once

#include <cstdint>
#include <string>

namespace corvina {

// "C:\a\b.txt" -> "b.txt"; the part after the last "\" or ":".
std::string ExtractFileName(const std::string& path);
// "C:\a\b.txt" -> "C:\a\"; everything up to and including the last "\" or ":".
std::string ExtractFilePath(const std::string& path);
// "C:\a\b.txt" -> "C:\a"; ExtractFilePath without its trailing "\" (kept after a drive: "C:\").
std::string ExtractFileDir(const std::string& path);
// "b.tar.gz" -> ".gz"; from the last "." after the last "\" or ":", or "".
std::string ExtractFileExt(const std::string& path);
// Replaces (or appends) the extension; an empty extension removes it.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
std::string IncludeTrailingBackslash(const std::string& path);
std::string ExcludeTrailingBackslash(const std::string& path);

// Trim drops control characters and blanks (bytes <= ' ') at both ends; TrimLeft/TrimRight at one.
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);

std::string IntToStr(int64_t value);
// Decimal, or hexadecimal after "$" or "0x"/"0X", with an optional sign; false when it is not one.
bool TryStrToInt(const std::string& s, int32_t& value);

// Position (from 1) of the first occurrence of needle in s, 0 when absent.
size_t Pos(const std::string& needle, const std::string& s);
// Replaces every occurrence, searching on after each inserted text; ignoring ASCII case if asked.
std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to,
                             bool ignore_case);

}  // namespace corvina
