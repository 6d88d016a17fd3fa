#include "platform/Strings.h"

#include <cstdlib>

#include "platform/CodePage.h"

namespace corvina {
namespace {
// Index just after the last "\" or ":", 0 when there is none.
size_t NameStart(const std::string& path) {
  size_t p = path.find_last_of("\\:");
  return p == std::string::npos ? 0 : p + 1;
}
}  // namespace

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

std::string ExtractFileDir(const std::string& path) {
  size_t start = NameStart(path);
  // Keep the "\" of a root ("C:\", "\") and a bare "C:".
  if (start > 0 && path[start - 1] == '\\' && start > 1 && path[start - 2] != ':' && path[start - 2] != '\\')
    return path.substr(0, start - 1);
  return path.substr(0, start);
}

std::string ExtractFileExt(const std::string& path) {
  size_t start = NameStart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return "";
  return path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  size_t start = NameStart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return path + extension;
  return path.substr(0, dot) + extension;
}

std::string IncludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path;
  return path + "\\";
}

std::string ExcludeTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path.substr(0, path.size() - 1);
  return path;
}

std::string TrimLeft(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  return s.substr(i);
}

std::string TrimRight(const std::string& s) {
  size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  return s.substr(0, n);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(const std::string& s, int32_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  int64_t result = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    result = result * base + digit;
    // Hexadecimal literals may name the full unsigned 32-bit range (0xFFFFFFFF is -1).
    if (result > (base == 16 ? int64_t{0xFFFFFFFF} : int64_t{0x80000000})) return false;
  }
  if (base == 10 && !negative && result > 0x7FFFFFFF) return false;
  if (negative) result = -result;
  value = static_cast<int32_t>(static_cast<uint32_t>(result));
  return true;
}

size_t Pos(const std::string& needle, const std::string& s) {
  if (needle.empty()) return 0;
  size_t p = s.find(needle);
  return p == std::string::npos ? 0 : p + 1;
}

std::string StringReplaceAll(const std::string& s, const std::string& from, const std::string& to,
                             bool ignore_case) {
  if (from.empty()) return s;
  // ASCII folding keeps every byte in place, so a match in the folded copy is a match in s.
  const std::string haystack = ignore_case ? UpperCase(s) : s;
  const std::string needle = ignore_case ? UpperCase(from) : from;
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t p = haystack.find(needle, start);
    if (p == std::string::npos) break;
    out.append(s, start, p - start);
    out += to;
    start = p + from.size();  // the search goes on after the replaced text, so it always ends
  }
  out.append(s, start, std::string::npos);
  return out;
}

}  // namespace corvina
