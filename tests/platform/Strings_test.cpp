// Path and string helpers: the split of Windows paths at the last "\" or ":", trimming, integer
// parsing and replacement, each as a table of inputs and what the program expects of them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/Strings.h"

namespace corvina {
namespace {

TEST(Strings, PathSplit) {
  struct Case { const char* path; const char* name; const char* path_part; const char* dir; const char* ext; const char* as_dat; };
  const Case cases[] = {
      {"C:\\a\\b.txt", "b.txt", "C:\\a\\", "C:\\a", ".txt", "C:\\a\\b.dat"},
      {"C:", "", "C:", "C:", "", "C:.dat"},
      {"C:\\", "", "C:\\", "C:\\", "", "C:\\.dat"},
      {"C:b.dat", "b.dat", "C:", "C:", ".dat", "C:b.dat"},
      {"C:\\b.txt", "b.txt", "C:\\", "C:\\", ".txt", "C:\\b.dat"},
      {"a.b\\c", "c", "a.b\\", "a.b", "", "a.b\\c.dat"},  // a dot in a folder is no extension
      {".txt", ".txt", "", "", ".txt", ".dat"},
      {"noext", "noext", "", "", "", "noext.dat"},
      {"file.", "file.", "", "", ".", "file.dat"},
      {"x\\y.tar.gz", "y.tar.gz", "x\\", "x", ".gz", "x\\y.tar.dat"},
      {"C:\\dir\\", "", "C:\\dir\\", "C:\\dir", "", "C:\\dir\\.dat"},
      {"\\", "", "\\", "\\", "", "\\.dat"},
      {"\\f.x", "f.x", "\\", "\\", ".x", "\\f.dat"},
      {"a\\\\b", "b", "a\\\\", "a\\\\", "", "a\\\\b.dat"},  // a doubled separator keeps both
      {"\\\\server\\share\\f.z", "f.z", "\\\\server\\share\\", "\\\\server\\share", ".z", "\\\\server\\share\\f.dat"},
      {"D:\\\xCF\xF0\xEE\xE3\\\xCE\xF2\xF7\xE5\xF2.\xC4\xCE\xCA", "\xCE\xF2\xF7\xE5\xF2.\xC4\xCE\xCA",
       "D:\\\xCF\xF0\xEE\xE3\\", "D:\\\xCF\xF0\xEE\xE3", ".\xC4\xCE\xCA", "D:\\\xCF\xF0\xEE\xE3\\\xCE\xF2\xF7\xE5\xF2.dat"},
      {"", "", "", "", "", ".dat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(ExtractFileName(c.path), c.name);
    EXPECT_EQ(ExtractFilePath(c.path), c.path_part);
    EXPECT_EQ(ExtractFileDir(c.path), c.dir);
    EXPECT_EQ(ExtractFileExt(c.path), c.ext);
    EXPECT_EQ(ChangeFileExt(c.path, ".dat"), c.as_dat);
    EXPECT_EQ(ExtractFilePath(c.path) + ExtractFileName(c.path), c.path);  // the two parts make the whole
  }
  EXPECT_EQ(ChangeFileExt("C:\\setup.exe", ""), "C:\\setup");
  EXPECT_EQ(ChangeFileExt("A:\\SETUP.DAT", ".002"), "A:\\SETUP.002");
}

TEST(Strings, TrailingBackslash) {
  struct Case { const char* path; const char* included; const char* excluded; };
  const Case cases[] = {
      {"", "\\", ""},
      {"C:", "C:\\", "C:"},
      {"C:\\", "C:\\", "C:"},
      {"C:\\a", "C:\\a\\", "C:\\a"},
      {"C:\\a\\\\", "C:\\a\\\\", "C:\\a\\"},  // only one is removed
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IncludeTrailingBackslash(c.path), c.included) << c.path;
    EXPECT_EQ(ExcludeTrailingBackslash(c.path), c.excluded) << c.path;
  }
}

TEST(Strings, TrimDropsOnlyBytesUpToBlank) {
  struct Case { std::string text, trimmed, left, right; };
  const Case cases[] = {
      {" \t a b \r\n", "a b", "a b \r\n", " \t a b"},
      {std::string("\0x\0", 3), "x", std::string("x\0", 2), std::string("\0x", 2)},
      {"\x01\x1F" "x", "x", "x", "\x01\x1F" "x"},
      {"    ", "", "", ""},
      {"", "", "", ""},
      // Bytes from 0x80 on are characters of 1251, not blanks: the no-break space and я stay.
      {"\xA0" "x\xFF", "\xA0" "x\xFF", "\xA0" "x\xFF", "\xA0" "x\xFF"},
      {" \xE0 ", "\xE0", "\xE0 ", " \xE0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text), c.trimmed) << c.text;
    EXPECT_EQ(TrimLeft(c.text), c.left) << c.text;
    EXPECT_EQ(TrimRight(c.text), c.right) << c.text;
  }
}

TEST(Strings, IntegerTextBothWays) {
  struct Case { const char* text; bool ok; int32_t value; };
  const Case cases[] = {
      {"0", true, 0},
      {"+5", true, 5},
      {"-2147483648", true, INT32_MIN},
      {"-2147483649", false, 0},
      {"-$10", true, -16},
      {"0X1f", true, 31},
      {"$FFFFFFFF", true, -1},
      {"$100000000", false, 0},
      {"99999999999999999999", false, 0},
      {"$", false, 0},
      {"-", false, 0},
      {"--1", false, 0},
      {"0x-1", false, 0},
      {"$G", false, 0},
      {"1 ", false, 0},
      {"1.5", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 12345;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 12345) << c.text;  // a failed parse leaves the value alone
  }
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-5), "-5");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  int32_t back = 0;
  ASSERT_TRUE(TryStrToInt(IntToStr(INT32_MAX), back));
  EXPECT_EQ(back, INT32_MAX);
}

TEST(Strings, PosAndReplace) {
  EXPECT_EQ(Pos("", "abc"), 0u);
  EXPECT_EQ(Pos("abc", "ab"), 0u);
  EXPECT_EQ(Pos("\xE0", "\xC0\xE0"), 2u);
  EXPECT_EQ(Pos("ab", "abab"), 1u);

  struct Case { const char* text; const char* from; const char* to; bool ignore_case; const char* expected; };
  const Case cases[] = {
      {"%installdir%\\bin", "%InstallDir%", "C:\\P", true, "C:\\P\\bin"},
      {"%INSTALLDIR%;%InstallDir%", "%InstallDir%", "D:", true, "D:;D:"},
      {"%INSTALLDIR%", "%InstallDir%", "D:", false, "%INSTALLDIR%"},
      {"aaa", "aa", "b", false, "ba"},    // matches do not overlap
      {"x", "x", "xx", false, "xx"},      // the inserted text is not searched again
      {"AbAB", "ab", "-", true, "--"},
      {"\xC0\xE0", "\xE0", "x", true, "\xC0x"},  // only ASCII letters fold: А is not а
      {"abc", "", "x", false, "abc"},
      {"", "a", "b", true, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StringReplaceAll(c.text, c.from, c.to, c.ignore_case), c.expected) << c.text << " / " << c.from;
}

}  // namespace
}  // namespace corvina
