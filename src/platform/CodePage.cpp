// Code page tables and conversions. Each code page is given by the Unicode character of its upper
// 128 bytes; everything else is derived from these two tables at first use: the reverse maps, and the
// 1251 case pairs from the Unicode letters. Byte 0x98, which 1251 leaves without a character, stands
// for the control character U+0098 (as Windows maps it), so that every 1251 byte survives a trip
// through UTF-8 or UTF-16 and two different names never become one. UTF-8 is decoded strictly: an
// overlong form, a surrogate or a value past U+10FFFF is invalid, so that no disguised "/" or "\"
// of a host name can turn into a separator of a Windows name.
#include "platform/CodePage.h"

#include <array>
#include <cstdint>
#include <unordered_map>

namespace corvina {
namespace {

constexpr std::array<char16_t, 128> kAnsiHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr std::array<char16_t, 128> kOemHigh = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

char16_t AnsiToUnicode(unsigned char c) { return c < 0x80 ? c : kAnsiHigh[c - 0x80]; }

// Unicode -> 1251 byte, -1 when 1251 has no such character.
int UnicodeToAnsi(char32_t u) {
  if (u < 0x80) return static_cast<int>(u);
  static const std::unordered_map<char32_t, unsigned char> reverse = [] {
    std::unordered_map<char32_t, unsigned char> m;
    for (int i = 0; i < 128; ++i)
      if (kAnsiHigh[i] != 0) m.emplace(kAnsiHigh[i], static_cast<unsigned char>(0x80 + i));
    return m;
  }();
  auto it = reverse.find(u);
  return it == reverse.end() ? -1 : it->second;
}

// Box-drawing and other OEM characters that 1251 lacks become their nearest 1251 look-alike.
int NearestAnsi(char32_t u) {
  int direct = UnicodeToAnsi(u);
  if (direct >= 0) return direct;
  if (u >= 0x2500 && u <= 0x257F) {
    // Lines: horizontal ones as '-', vertical ones as '|', corners and crossings as '+'.
    if (u == 0x2500 || u == 0x2550) return '-';
    if (u == 0x2502 || u == 0x2551) return '|';
    return '+';
  }
  if (u >= 0x2580 && u <= 0x259F) return '#';  // blocks and shades
  if (u == 0x221A) return 'v';                 // square root
  if (u == 0x2219) return 0xB7;                // bullet operator -> middle dot
  if (u == 0x00F7) return ':';
  return '?';
}

struct CaseTables {
  std::array<unsigned char, 256> upper{}, lower{};
};

// Upper and lower case of the 1251 letters: the Cyrillic block pairs U+0400-U+040F with
// U+0450-U+045F and U+0410-U+042F with U+0430-U+044F; Ґ/ґ are U+0490/U+0491.
const CaseTables& AnsiCase() {
  static const CaseTables tables = [] {
    CaseTables t;
    for (int i = 0; i < 256; ++i) t.upper[i] = t.lower[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) {
      t.upper[c] = static_cast<unsigned char>(c - 32);
      t.lower[c - 32] = static_cast<unsigned char>(c);
    }
    for (int b = 0x80; b < 0x100; ++b) {
      char32_t u = AnsiToUnicode(static_cast<unsigned char>(b));
      char32_t up = 0;
      if (u >= 0x0430 && u <= 0x044F) up = u - 0x20;
      else if (u >= 0x0450 && u <= 0x045F) up = u - 0x50;
      else if (u == 0x0491) up = 0x0490;
      if (up == 0) continue;
      int ub = UnicodeToAnsi(up);
      if (ub < 0) continue;
      t.upper[b] = static_cast<unsigned char>(ub);
      t.lower[ub] = static_cast<unsigned char>(b);
    }
    return t;
  }();
  return tables;
}

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

}  // namespace

std::string OemToChar(const std::string& oem) {
  std::string out;
  out.reserve(oem.size());
  for (unsigned char c : oem) {
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    out += static_cast<char>(NearestAnsi(kOemHigh[c - 0x80]));
  }
  return out;
}

std::string CharToOem(const std::string& ansi) {
  static const std::unordered_map<char32_t, unsigned char> reverse = [] {
    std::unordered_map<char32_t, unsigned char> m;
    for (int i = 0; i < 128; ++i) m.emplace(kOemHigh[i], static_cast<unsigned char>(0x80 + i));
    return m;
  }();
  std::string out;
  out.reserve(ansi.size());
  for (unsigned char c : ansi) {
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    auto it = reverse.find(AnsiToUnicode(c));
    out += it == reverse.end() ? '?' : static_cast<char>(it->second);
  }
  return out;
}

std::string AnsiToUtf8(const std::string& ansi) {
  std::string out;
  out.reserve(ansi.size() * 2);
  for (unsigned char c : ansi) AppendUtf8(out, AnsiToUnicode(c));
  return out;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // Lead byte: the number of continuation bytes and the smallest value that needs this length.
    int extra = 0;
    char32_t smallest = 0;
    if (c >= 0xC2 && c <= 0xDF) extra = 1, smallest = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) extra = 2, smallest = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) extra = 3, smallest = 0x10000;
    char32_t u = c & (0x3F >> extra);
    bool valid = extra > 0;
    for (int k = 1; valid && k <= extra; ++k) {
      if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      u = (u << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    if (valid && (u < smallest || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF))) valid = false;
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    i += extra + 1;
    int b = UnicodeToAnsi(u);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

std::u16string AnsiToUtf16(const std::string& ansi) {
  std::u16string out;
  out.reserve(ansi.size());
  for (unsigned char c : ansi) out += AnsiToUnicode(c);
  return out;
}

std::string Utf16ToAnsi(const std::u16string& utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char16_t u = utf16[i];
    // A surrogate pair is one character beyond U+FFFF, which 1251 lacks: one '?'. A lone surrogate
    // is a '?' of its own and leaves the unit after it alone.
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) ++i;
    int b = u >= 0xD800 && u < 0xE000 ? -1 : UnicodeToAnsi(u);
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

char UpCaseAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char LowCaseAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

std::string UpperCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = UpCaseAscii(c);
  return out;
}

std::string LowerCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = LowCaseAscii(c);
  return out;
}

char AnsiUpChar(char c) { return static_cast<char>(AnsiCase().upper[static_cast<unsigned char>(c)]); }
char AnsiLowChar(char c) { return static_cast<char>(AnsiCase().lower[static_cast<unsigned char>(c)]); }

std::string AnsiUpperCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = AnsiUpChar(c);
  return out;
}

std::string AnsiLowerCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = AnsiLowChar(c);
  return out;
}

namespace {
// Compares folded bytes; the first difference decides, else the difference of the lengths (so a text
// sorts after every prefix of it).
template <typename Fold>
int CompareFolded(const std::string& a, const std::string& b, Fold fold) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int x = fold(static_cast<unsigned char>(a[i]));
    int y = fold(static_cast<unsigned char>(b[i]));
    if (x != y) return x - y;
  }
  int64_t difference = static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size());
  return difference > INT32_MAX ? INT32_MAX : difference < -INT32_MAX ? -INT32_MAX : static_cast<int>(difference);
}

// Sort weight of a 1251 byte for AnsiCompareText: the Unicode character of its upper-case form,
// doubled so that Ё fits between Е and Ж as the Russian alphabet has it.
int AnsiSortWeight(unsigned char c) {
  char16_t u = AnsiToUnicode(AnsiCase().upper[c]);
  if (u == 0x0401) return 0x0415 * 2 + 1;
  return u * 2;
}
}  // namespace

int CompareStr(const std::string& a, const std::string& b) {
  return CompareFolded(a, b, [](unsigned char c) { return static_cast<int>(c); });
}

int CompareText(const std::string& a, const std::string& b) {
  return CompareFolded(a, b, [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : static_cast<int>(c); });
}

// Case-insensitive by the 1251 rules; letters then compare in alphabetical order whatever their
// byte values (the Cyrillic letters outside А-я by their Unicode order).
int AnsiCompareText(const std::string& a, const std::string& b) { return CompareFolded(a, b, AnsiSortWeight); }

bool SameText(const std::string& a, const std::string& b) { return a.size() == b.size() && CompareText(a, b) == 0; }
bool AnsiSameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AnsiUpChar(a[i]) != AnsiUpChar(b[i])) return false;
  return true;
}

}  // namespace corvina
