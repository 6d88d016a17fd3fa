// Code pages 1251 and 866, the two case rules and the comparisons. The code page tables are checked
// byte by byte against the C library's own converters (iconv), an independent source of the same
// tables; what iconv cannot say (1251's byte 0x98, 866 characters that 1251 lacks) is checked
// against the rules the program documents.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodePage.h"

namespace corvina {
namespace {

// Converts with the C library; nullopt when it cannot (unknown code page or unmapped input).
std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string input = in;
  std::string out(in.size() * 4 + 4, '\0');
  char* src = input.data();
  size_t src_left = input.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || src_left != 0) return std::nullopt;
  out.resize(out.size() - dst_left);
  return out;
}

bool IconvKnows(const char* code_page) { return Iconv(code_page, "UTF-8", "A").has_value(); }

std::string Byte(int b) { return std::string(1, static_cast<char>(b)); }

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

TEST(CodePage, AnsiTableAgreesWithTheSystemConverter) {
  if (!IconvKnows("CP1251")) GTEST_SKIP() << "the C library has no CP1251 converter";
  for (int b = 0x80; b < 0x100; ++b) {
    std::optional<std::string> expected = Iconv("CP1251", "UTF-8", Byte(b));
    if (!expected) {
      // The byte 1251 leaves free stands for U+0098, so it is kept, not lost.
      EXPECT_EQ(b, 0x98);
      EXPECT_EQ(AnsiToUtf8(Byte(b)), "\xC2\x98");
      continue;
    }
    EXPECT_EQ(AnsiToUtf8(Byte(b)), *expected) << std::hex << b;
    EXPECT_EQ(Utf8ToAnsi(*expected), Byte(b)) << std::hex << b;
  }
}

TEST(CodePage, EveryAnsiByteSurvivesUtf8AndUtf16) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(all)), all);
  std::u16string utf16 = AnsiToUtf16(all);
  ASSERT_EQ(utf16.size(), 256u);
  EXPECT_EQ(utf16[0xC0], u'\u0410');  // А
  EXPECT_EQ(utf16[0xB9], u'\u2116');  // №
  EXPECT_EQ(utf16[0x88], u'\u20AC');  // €
}

TEST(CodePage, OemTableAgreesWithTheSystemConverter) {
  if (!IconvKnows("CP866") || !IconvKnows("CP1251")) GTEST_SKIP() << "the C library lacks CP866 or CP1251";
  int lacking = 0;
  for (int b = 0x80; b < 0x100; ++b) {
    std::optional<std::string> utf8 = Iconv("CP866", "UTF-8", Byte(b));
    ASSERT_TRUE(utf8.has_value()) << std::hex << b;
    std::optional<std::string> ansi = Iconv("UTF-8", "CP1251", *utf8);
    std::string got = OemToChar(Byte(b));
    ASSERT_EQ(got.size(), 1u);
    if (ansi) {
      EXPECT_EQ(got, *ansi) << std::hex << b;
      EXPECT_EQ(CharToOem(got), Byte(b)) << std::hex << b;
    } else {
      // Box drawing, shades and the like: a look-alike (lines, blocks, the root sign, the dot),
      // never a Cyrillic letter.
      ++lacking;
      EXPECT_NE(std::strchr("-|+#?v\xB7", got[0]), nullptr) << std::hex << b << " -> " << got;
    }
  }
  EXPECT_GT(lacking, 40);  // 0xB0-0xDF are nearly all box drawing
}

TEST(CodePage, OemNamesBecomeAnsiNames) {
  struct Case { const char* oem; const char* ansi; };
  const Case cases[] = {
      {"\x8E", "\xCE"},                              // О
      {"\x8F\xE0\xAE\xA3\xE0\xA0\xAC\xAC\xA0", "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0"},  // Программа
      {"\xF0\xF1", "\xA8\xB8"},                      // Ё ё
      {"DOC\\\x8E\xE2\xE7\xA5\xE2.txt", "DOC\\\xCE\xF2\xF7\xE5\xF2.txt"},  // DOC\Отчет.txt
      {"\xC4\xB3\xDA\xCD\xBA\xC9", "-|+-|+"},        // single and double lines
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(OemToChar(c.oem), c.ansi) << c.oem;
}

TEST(CodePage, BrokenOrForeignUtf8BecomesQuestionMarks) {
  struct Case { const char* utf8; const char* ansi; };
  const Case cases[] = {
      {"\xC0\xAF", "??"},              // overlong "/" (lead bytes C0 and C1 never start a character)
      {"a\xE0\x80\xAF" "b", "a???b"},  // overlong "/" in three bytes: no separator appears
      {"\xE0\x81\x9C", "???"},         // overlong "\"
      {"\xF0\x80\x80\xAF", "????"},    // overlong "/" in four bytes
      {"\xED\xA0\x80", "???"},         // an encoded surrogate
      {"\xF4\x90\x80\x80", "????"},    // past U+10FFFF
      {"\xF5\x80\x80\x80", "????"},
      {"\x80x", "?x"},                 // a continuation byte alone
      {"\xD0", "?"},                   // cut short at the end
      {"\xD0x", "?x"},
      {"\xE6\x97\xA5", "?"},           // 日: a whole character that 1251 lacks
      {"\xF0\x9F\x98\x80", "?"},       // beyond U+FFFF
      {"\xD0\x81\xC2\xA0", "\xA8\xA0"},  // Ё and no-break space
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

TEST(CodePage, Utf16SurrogatesAndForeignCharacters) {
  struct Case { std::u16string utf16; const char* ansi; };
  const Case cases[] = {
      {u"\U0001F600", "?"},                                    // a pair is one character
      {std::u16string{0xD83D, u'A'}, "?A"},                    // a lone high surrogate keeps its neighbour
      {std::u16string{u'A', 0xDE00, u'B'}, "A?B"},             // a lone low surrogate
      {std::u16string{0xD83D}, "?"},                           // high surrogate at the end
      {u"\u65E5\u0416", "?\xC6"},                              // 日 Ж
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16ToAnsi(c.utf16), c.ansi) << c.ansi;
}

// Every letter pair of code page 1251 (upper, lower).
struct LetterPair { unsigned char upper, lower; };
std::vector<LetterPair> AnsiLetterPairs() {
  std::vector<LetterPair> pairs;
  for (int c = 'A'; c <= 'Z'; ++c) pairs.push_back({static_cast<unsigned char>(c), static_cast<unsigned char>(c + 32)});
  for (int c = 0xC0; c <= 0xDF; ++c) pairs.push_back({static_cast<unsigned char>(c), static_cast<unsigned char>(c + 32)});
  const LetterPair others[] = {
      {0xA8, 0xB8},  // Ё ё
      {0x80, 0x90},  // Ђ ђ
      {0x81, 0x83},  // Ѓ ѓ
      {0x8A, 0x9A},  // Љ љ
      {0x8C, 0x9C},  // Њ њ
      {0x8D, 0x9D},  // Ќ ќ
      {0x8E, 0x9E},  // Ћ ћ
      {0x8F, 0x9F},  // Џ џ
      {0xA1, 0xA2},  // Ў ў
      {0xA3, 0xBC},  // Ј ј
      {0xA5, 0xB4},  // Ґ ґ
      {0xAA, 0xBA},  // Є є
      {0xAF, 0xBF},  // Ї ї
      {0xB2, 0xB3},  // І і
      {0xBD, 0xBE},  // Ѕ ѕ
  };
  pairs.insert(pairs.end(), std::begin(others), std::end(others));
  return pairs;
}

TEST(CodePage, AnsiCaseRuleCoversEveryLetterAndNothingElse) {
  unsigned char upper[256], lower[256];
  for (int b = 0; b < 256; ++b) upper[b] = lower[b] = static_cast<unsigned char>(b);
  for (const LetterPair& p : AnsiLetterPairs()) {
    upper[p.lower] = p.upper;
    lower[p.upper] = p.lower;
  }
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    EXPECT_EQ(static_cast<unsigned char>(AnsiUpChar(c)), upper[b]) << std::hex << b;
    EXPECT_EQ(static_cast<unsigned char>(AnsiLowChar(c)), lower[b]) << std::hex << b;
  }
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string up = AnsiUpperCase(all), low = AnsiLowerCase(all);
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(static_cast<unsigned char>(up[b]), upper[b]);
    EXPECT_EQ(static_cast<unsigned char>(low[b]), lower[b]);
  }
}

TEST(CodePage, AsciiCaseRuleLeavesCyrillicAlone) {
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    char up = b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : c;
    char low = b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : c;
    EXPECT_EQ(UpCaseAscii(c), up) << b;
    EXPECT_EQ(LowCaseAscii(c), low) << b;
  }
  EXPECT_EQ(UpperCase("setup\xE0\xB8.dat"), "SETUP\xE0\xB8.DAT");  // а ё stay
  EXPECT_EQ(LowerCase("SETUP\xC0\xA8.DAT"), "setup\xC0\xA8.dat");  // А Ё stay
}

TEST(CodePage, Comparisons) {
  // Signs of CompareStr, CompareText and AnsiCompareText for a against b.
  struct Case { const char* a; const char* b; int str, text, ansi; };
  const Case cases[] = {
      {"abc", "abc", 0, 0, 0},
      {"ABC", "abc", -1, 0, 0},
      {"readme.TXT", "README.txt", 1, 0, 0},
      {"\xE0", "\xC0", 1, 1, 0},            // а / А: only the 1251 rule folds them
      {"\xB8", "\xA8", 1, 1, 0},            // ё / Ё
      {"\xB3", "\xB2", 1, 1, 0},            // і / І
      {"a", "ab", -1, -1, -1},              // a prefix sorts first
      {"b", "AB", 1, 1, 1},
      {"_", "a", -1, 1, 1},                 // '_' (0x5F) after 'A' (0x41) once a is folded
      {"\xC5\xEB\xFC", "\xB8\xE6", 1, 1, -1},  // Ель / ёж: Ё comes after Е in the alphabet
      {"\xB8\xE6", "\xC6\xF3\xEA", -1, -1, -1},  // ёж / Жук
      {"\xDF", "\xE0", -1, -1, 1},          // Я / а
      {"", "", 0, 0, 0},
      {"", "x", -1, -1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareStr(c.a, c.b)), c.str) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(CompareText(c.a, c.b)), c.text) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(AnsiCompareText(c.a, c.b)), c.ansi) << c.a << " / " << c.b;
    EXPECT_EQ(Sign(CompareText(c.b, c.a)), -c.text) << c.b << " / " << c.a;
    EXPECT_EQ(SameText(c.a, c.b), c.text == 0);
    EXPECT_EQ(AnsiSameText(c.a, c.b), c.ansi == 0);
  }
  // A prefix: the difference of the lengths; a mismatch: the difference of the (folded) bytes.
  EXPECT_EQ(CompareText("ab", "ABCD"), -2);
  EXPECT_EQ(CompareStr("abcde", "ab"), 3);
  EXPECT_EQ(CompareText("a", "c"), -2);
  EXPECT_EQ(CompareStr("\xFF", "\x01"), 0xFE);  // bytes compare unsigned
}

TEST(CodePage, AnsiCompareTextSortsRussianAlphabetically) {
  // Жук, ель, Ёж, арбуз, Яблоко, банан in 1251: sorted ignoring case, with Ё after Е.
  std::vector<std::string> words = {"\xC6\xF3\xEA", "\xE5\xEB\xFC", "\xA8\xE6", "\xE0\xF0\xE1\xF3\xE7",
                                    "\xDF\xE1\xEB\xEE\xEA\xEE", "\xE1\xE0\xED\xE0\xED"};
  std::sort(words.begin(), words.end(),
            [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  const std::vector<std::string> expected = {"\xE0\xF0\xE1\xF3\xE7", "\xE1\xE0\xED\xE0\xED", "\xE5\xEB\xFC",
                                             "\xA8\xE6", "\xC6\xF3\xEA", "\xDF\xE1\xEB\xEE\xEA\xEE"};
  EXPECT_EQ(words, expected);
}

}  // namespace
}  // namespace corvina
