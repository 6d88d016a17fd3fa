// Wildcard matching: one table of pattern/text pairs with the expected outcome code, covering
// stars, question marks, one-character sets and star sets, malformed patterns, case folding and
// the trailing "?" after a star; then the star-set reader on its own.
#include "zip/Wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace corvina {
namespace {

struct MatchCase {
  const char* pattern;
  const char* text;
  int outcome;
};

const MatchCase kCases[] = {
    // A lone star matches everything; an empty pattern only the empty text.
    {"*", "", moMatch},
    {"*", "docs\\a.txt", moMatch},
    {"", "", moMatch},
    {"", "a", moPatternEnded},
    // A star runs across backslashes; case of ASCII letters is ignored.
    {"*.txt", "readme.txt", moMatch},
    {"*.txt", "docs\\a.txt", moMatch},
    {"*.txt", "A.TXT", moMatch},
    {"*.TXT", "a.txt", moMatch},
    {"*.txt", "a.txt.bak", moLiteralDiffers},
    {"*.txt", "", moTextEnded},
    {"docs\\*", "docs\\", moMatch},
    {"docs\\*", "docs\\sub\\a.txt", moMatch},
    {"docs\\*", "doc\\a.txt", moLiteralDiffers},
    // Question marks and literals.
    {"a?c", "abc", moMatch},
    {"a?c", "ac", moTextEnded},
    {"abc", "abcd", moPatternEnded},
    {"abc", "abd", moLiteralDiffers},
    // One-character sets.
    {"<a-c>x", "bx", moMatch},
    {"<a-c>x", "dx", moSetRefused},
    {"<!a-c>x", "dx", moMatch},
    {"<!a-c>x", "bx", moSetRefused},
    {"<^a-c>x", "dx", moMatch},
    {"<xyz>1", "y1", moMatch},
    {"<xyz>1", "w1", moSetRefused},
    {"<A-C>x", "bx", moMatch},
    {"<c-a>x", "bx", moSetRefused},
    // Malformed one-character sets never match; ">" outside a set is literal.
    {"<>x", "x", moMalformed},
    {"<>x", ">x", moMalformed},
    {"<a", "a", moMalformed},
    {"<a", "b", moMalformed},
    {"<a->x", "ax", moMalformed},
    {"<a-", "a", moMalformed},
    {"<ab", "a", moMalformed},
    {"<", "a", moMalformed},
    {"<!", "a", moMalformed},
    {">x", ">x", moMatch},
    {"a-b!", "a-b!", moMatch},
    // Star sets.
    {"*<0-9>.log", "2024.log", moMatch},
    {"*<0-9>.log", "20a4.log", moTextEnded},
    {"*<0-9>", "12", moMatch},
    {"*<0-9>", "", moTextEnded},
    {"*<0-9>", "1a", moTextEnded},
    {"abc*<0-9>", "abc", moTextEnded},
    {"abc*<0-9>", "abc42", moMatch},
    {"*<!0-9>", "abc", moMatch},
    {"*<!0-9>", "ab1", moTextEnded},
    {"*<>", "anything", moMatch},
    {"*<!>", "anything", moMatch},
    {"*<^>", "anything", moMatch},
    {"*<a-z>xy", "ay", moTextEnded},
    {"*<a-z>xy", "abxy", moMatch},
    {"*<0-9", "12", moMalformed},
    {"*<0-", "12", moMalformed},
    {"*<", "12", moMalformed},
    // Question marks right after a star take their characters before the star does.
    {"*<0-9>?x", "a1x", moMatch},
    {"*<0-9>?x", "1ax", moTextEnded},
    // Only a single remaining star matches when the text has ended.
    {"a*", "a", moMatch},
    {"a**", "a", moTextEnded},
    {"a**", "ab", moMatch},
    {"a*b*c", "axxbyyc", moMatch},
    {"a*b*c", "axxbyy", moTextEnded},
    {"*a*", "bab", moMatch},
    // A "?" ending the pattern after a star takes a character of the text.
    {"*?", "a", moMatch},
    {"*?", "abc", moMatch},
    {"*?", "", moTextEnded},
    {"a*??", "abc", moMatch},
    {"a*??", "abcdef", moMatch},
    {"a*??", "ab", moTextEnded},
    {"*<0-9>?", "12", moMatch},
    {"*<0-9>?", "a", moMatch},
    {"*<0-9>?", "ab", moTextEnded},
    // Bytes above 127 compare by their unsigned value and are not case-folded.
    {"<\xC0-\xDF>", "\xD0", moMatch},
    {"<\xC0-\xDF>", "\xF0", moSetRefused},
    {"\xC0", "\xE0", moLiteralDiffers},
    {"*<\xE0-\xFF>", "\xE0\xFF", moMatch},
};

TEST(Wildcard, OutcomeOfEveryCase) {
  for (const MatchCase& c : kCases) {
    EXPECT_EQ(MatchPattern(c.pattern, c.text), c.outcome) << "pattern \"" << c.pattern << "\" text \"" << c.text << "\"";
    EXPECT_EQ(IsMatch(c.pattern, c.text), c.outcome == moMatch) << "pattern \"" << c.pattern << "\"";
  }
}

// A pattern of many stars against a long text that does not match must still finish; the nested
// searches copy remainders but never loop.
TEST(Wildcard, ManyStarsWithoutMatchFinish) {
  EXPECT_FALSE(IsMatch("*a*a*a*b", std::string(40, 'a')));
  EXPECT_TRUE(IsMatch("*a*a*a*b", std::string(40, 'a') + "b"));
}

// Patterns and texts with embedded zero bytes: a zero is an ordinary character, not an end.
TEST(Wildcard, ZeroBytesAreCharacters) {
  const std::string pattern("a\0?", 3);
  EXPECT_TRUE(IsMatch(pattern, std::string("a\0b", 3)));
  EXPECT_FALSE(IsMatch(pattern, std::string("a\0", 2)));
  EXPECT_FALSE(IsMatch(pattern, std::string("ab", 2)));
}

TEST(Wildcard, ReadStarSetMembersAndPosition) {
  struct Case {
    const char* pattern;
    bool ok;
    size_t next;          // position after ">" when ok
    const char* members;  // every member, in byte order
    bool negated;
  } cases[] = {
      {"*<0-3>x", true, 7, "0123", false},
      {"*<!ab>", true, 7, "ab", true},
      {"*<^a>", true, 6, "a", true},
      {"*<>", true, 4, "", false},
      {"*<z-a>", true, 7, "", false},
      // The end of a range is taken even when it is ">", so the set continues after it.
      {"*<=->>", true, 7, "=>", false},
      {"*<a->", false, 0, "", false},
      {"*<ab", false, 0, "", false},
      {"*<a-", false, 0, "", false},
  };
  for (const Case& c : cases) {
    size_t position = 1;
    StarSet set;
    ASSERT_EQ(ReadStarSet(c.pattern, position, set), c.ok) << c.pattern;
    if (!c.ok) continue;
    EXPECT_EQ(position, c.next) << c.pattern;
    EXPECT_EQ(set.Negated, c.negated) << c.pattern;
    std::string members;
    for (int b = 0; b < 256; ++b) {
      if (set.Members.test(b)) members += static_cast<char>(b);
    }
    EXPECT_EQ(members, c.members) << c.pattern;
  }
}

TEST(Wildcard, StarSetAdmits) {
  StarSet digits;
  for (char c = '0'; c <= '9'; ++c) digits.Members.set(static_cast<uint8_t>(c));
  EXPECT_TRUE(digits.Admits('5'));
  EXPECT_FALSE(digits.Admits('x'));
  digits.Negated = true;
  EXPECT_FALSE(digits.Admits('5'));
  EXPECT_TRUE(digits.Admits('x'));
  StarSet empty;
  empty.Negated = true;
  EXPECT_TRUE(empty.Admits('x'));
}

}  // namespace
}  // namespace corvina
