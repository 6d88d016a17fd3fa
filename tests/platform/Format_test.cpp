// Format: the placeholders of the program's messages, their width and precision, and the error
// for a pattern that does not fit its arguments.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Exception.h"

namespace corvina {
namespace {

TEST(Format, Placeholders) {
  struct Case { const char* pattern; std::vector<FormatArg> args; std::string expected; };
  const Case cases[] = {
      {"Cannot create file \"%s\". %s", {std::string("C:\\x"), std::string("Access denied")},
       "Cannot create file \"C:\\x\". Access denied"},
      {"%s", {std::string("\xCF\xF0\xE8\xE2\xE5\xF2")}, "\xCF\xF0\xE8\xE2\xE5\xF2"},  // 1251 bytes pass through
      {"%s|", {std::string()}, "|"},
      {"Index %d is out of range", {int64_t{-1}}, "Index -1 is out of range"},
      {"SETUP.%3.3d", {int64_t{2}}, "SETUP.002"},
      {"%3.3d", {int64_t{123}}, "123"},
      {"%3.3d", {int64_t{1234}}, "1234"},  // precision is a floor, never a cut, for numbers
      {"%.3d", {int64_t{-7}}, "-007"},
      {"%5d|%-5d|", {int64_t{42}, int64_t{42}}, "   42|42   |"},
      {"%05d", {int64_t{42}}, "   42"},  // a leading zero is part of the width, not a fill
      {"%d", {int64_t{INT64_MIN}}, "-9223372036854775808"},
      {"%u", {int64_t{4294967295}}, "4294967295"},
      {"%u", {int64_t{-1}}, "4294967295"},  // a 32-bit -1
      {"%x", {int64_t{255}}, "FF"},
      {"%X", {int64_t{0xABC}}, "ABC"},
      {"%8.4x|", {int64_t{0x1F}}, "    001F|"},
      {"%x", {int64_t{-1}}, "FFFFFFFF"},
      {"%x", {int64_t{0x123456789}}, "123456789"},
      {"%.2s|%5s|%-5s|", {std::string("abcdef"), std::string("ab"), std::string("ab")}, "ab|   ab|ab   |"},
      {"100%% of %d", {int64_t{3}}, "100% of 3"},
      {"%d", {int64_t{1}, std::string("left over")}, "1"},  // arguments left over are ignored
      {"no placeholders", {}, "no placeholders"},
  };
  for (const Case& c : cases) EXPECT_EQ(Format(c.pattern, c.args), c.expected) << c.pattern;
}

TEST(Format, WideFieldsAreNotCut) {
  std::string out = Format("%300d", {int64_t{7}});
  ASSERT_EQ(out.size(), 300u);
  EXPECT_EQ(out.back(), '7');
  EXPECT_EQ(out.find_first_not_of(' '), 299u);
  EXPECT_EQ(Format("%.200d", {int64_t{1}}), std::string(199, '0') + "1");
  std::string long_text(5000, 'x');
  EXPECT_EQ(Format("[%s]", {long_text}), "[" + long_text + "]");
}

TEST(Format, PatternsThatDoNotFitRaiseConvertError) {
  struct Case { const char* pattern; std::vector<FormatArg> args; };
  const Case cases[] = {
      {"%d %d", {int64_t{1}}},                 // missing argument
      {"%s", {}},
      {"%d", {std::string("x")}},              // a text for a number
      {"%s", {int64_t{1}}},                    // a number for a text
      {"%f", {int64_t{1}}},                    // unknown type
      {"%0:s", {std::string("x")}},            // argument indexes are not supported
      {"%*d", {int64_t{3}, int64_t{1}}},
      {"trailing %", {int64_t{1}}},
      {"%-", {int64_t{1}}},
      {"%99999999999999999999999d", {int64_t{1}}},  // a width no message needs
  };
  for (const Case& c : cases) {
    try {
      Format(c.pattern, c.args);
      ADD_FAILURE() << "no error for " << c.pattern;
    } catch (const EConvertError& e) {
      EXPECT_NE(std::string(e.what()).find(c.pattern), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace corvina
