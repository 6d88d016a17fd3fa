// Code pages 1251 (the ANSI code page: every string of the program) and 866 (the OEM code page
// of names stored in ZIP archives), and the two case rules the program uses: ASCII letters only,
// and the ANSI code page's own rules, which include the Cyrillic letters.
#pragma once

#include <string>

namespace corvina {

// OEM 866 bytes to ANSI 1251 bytes; a character 1251 lacks becomes the nearest one, else '?'.
std::string OemToChar(const std::string& oem);
std::string CharToOem(const std::string& ansi);

// Code page 1251 <-> UTF-8 and UTF-16. Every 1251 byte has a character (0x98 is U+0098), so the
// trip there and back is exact. A UTF-8 or UTF-16 character that 1251 lacks becomes '?'; an invalid
// UTF-8 sequence (overlong forms and encoded surrogates included) takes one byte and becomes '?'.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
std::u16string AnsiToUtf16(const std::string& ansi);
std::string Utf16ToAnsi(const std::u16string& utf16);

// Case by the ASCII rule: only A-Z and a-z change.
char UpCaseAscii(char c);
char LowCaseAscii(char c);
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);

// Case by the rules of code page 1251: Latin and Cyrillic letters (and the other letters 1251 has).
char AnsiUpChar(char c);
char AnsiLowChar(char c);
std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);

// Comparisons: CompareStr by byte value; CompareText ignores ASCII case (a-z fold to A-Z), else
// byte values; AnsiCompareText ignores case by the 1251 rules and orders letters alphabetically.
// The result is the difference at the first mismatch, or the difference of the lengths when one
// text is a prefix of the other (< 0, 0 or > 0).
int CompareStr(const std::string& a, const std::string& b);
int CompareText(const std::string& a, const std::string& b);
int AnsiCompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);

}  // namespace corvina
