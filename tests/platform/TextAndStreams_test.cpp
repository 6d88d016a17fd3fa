// Code pages, case rules, path helpers, Format and the platform's memory and file streams.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/Stream.h"
#include "platform/Strings.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

TEST(CodePage, OemCyrillicBecomesAnsi) {
  EXPECT_EQ(OemToChar("\x8E"), "\xCE");           // О
  EXPECT_EQ(OemToChar("\x80\xAF\xE0\xEF"), "\xC0\xEF\xF0\xFF");  // А п р я
  EXPECT_EQ(OemToChar("\xF0\xF1"), "\xA8\xB8");   // Ё ё
  EXPECT_EQ(OemToChar("abc\\"), "abc\\");
  // Box drawing has no 1251 form: a look-alike, never a Cyrillic letter.
  std::string box = OemToChar("\xC4\xB3\xDA");
  EXPECT_EQ(box, "-|+");
}

TEST(CodePage, AnsiRoundTripsThroughUtf8AndUtf16) {
  for (int b = 1; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    if (b == 0x98) continue;  // the one byte 1251 leaves undefined
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(one)), one) << b;
    EXPECT_EQ(Utf16ToAnsi(AnsiToUtf16(one)), one) << b;
  }
  EXPECT_EQ(AnsiToUtf8("\xCA\xEE\xF0\xE2\xE8\xED\xE0"), "Корвина");
  EXPECT_EQ(Utf8ToAnsi("Программа"), "\xCF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xE0");
}

TEST(CodePage, Utf8WithoutAnAnsiFormOrBrokenBecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("日"), "?");
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");          // truncated sequence
  EXPECT_EQ(Utf8ToAnsi("\xFF" "b"), "?b");
}

TEST(CodePage, TwoCaseRules) {
  const std::string mixed = "Abc\xC0\xE0\xA8\xB8";  // A b c А а Ё ё
  EXPECT_EQ(UpperCase(mixed), "ABC\xC0\xE0\xA8\xB8");  // only ASCII changes
  EXPECT_EQ(LowerCase(mixed), "abc\xC0\xE0\xA8\xB8");
  EXPECT_EQ(AnsiUpperCase(mixed), "ABC\xC0\xC0\xA8\xA8");
  EXPECT_EQ(AnsiLowerCase(mixed), "abc\xE0\xE0\xB8\xB8");
  EXPECT_EQ(AnsiUpperCase("\xB3\xBF\xBA\xB4"), "\xB2\xAF\xAA\xA5");  // і ї є ґ
}

TEST(CodePage, Comparisons) {
  EXPECT_EQ(CompareText("readme.TXT", "README.txt"), 0);
  EXPECT_NE(CompareText("\xE0", "\xC0"), 0);       // а and А differ by the ASCII rule
  EXPECT_EQ(AnsiCompareText("\xE0\xE1", "\xC0\xC1"), 0);
  EXPECT_LT(AnsiCompareText("\xC0", "\xDF"), 0);  // А before Я
  EXPECT_LT(CompareText("a", "ab"), 0);
  EXPECT_TRUE(AnsiSameText("\xEA\xEE\xF0", "\xCA\xCE\xD0"));
  EXPECT_FALSE(SameText("\xEA", "\xCA"));
}

TEST(Strings, PathParts) {
  struct Case { const char* path; const char* name; const char* dir_with_slash; const char* ext; };
  const Case cases[] = {
      {"C:\\a\\b.txt", "b.txt", "C:\\a\\", ".txt"},
      {"C:", "", "C:", ""},
      {"C:\\", "", "C:\\", ""},
      {"C:b.dat", "b.dat", "C:", ".dat"},
      {"a.b\\c", "c", "a.b\\", ""},
      {".txt", ".txt", "", ".txt"},
      {"noext", "noext", "", ""},
      {"x\\y.tar.gz", "y.tar.gz", "x\\", ".gz"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.dir_with_slash) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
  }
  EXPECT_EQ(ExtractFileDir("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(ExtractFileDir("C:\\b.txt"), "C:\\");
  EXPECT_EQ(ChangeFileExt("C:\\dir.x\\setup", ".dat"), "C:\\dir.x\\setup.dat");
  EXPECT_EQ(ChangeFileExt("C:\\setup.exe", ".ini"), "C:\\setup.ini");
  EXPECT_EQ(ChangeFileExt("a.b", ""), "a");
}

TEST(Strings, TrimAndNumbers) {
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  x "), "x ");
  EXPECT_EQ(TrimRight("  x "), "  x");
  struct Case { const char* text; bool ok; int32_t value; };
  const Case cases[] = {
      {"12", true, 12}, {"-7", true, -7}, {"0x1F", true, 31}, {"$10", true, 16},
      {"0xFFFFFFFF", true, -1}, {"2147483647", true, 2147483647}, {"2147483648", false, 0},
      {"", false, 0}, {"12a", false, 0}, {"0x", false, 0}, {" 1", false, 0},
  };
  for (const Case& c : cases) {
    int32_t v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
}

TEST(Strings, ReplaceAllGoesOnAfterTheInsertedText) {
  EXPECT_EQ(StringReplaceAll("%InstallDir%\\x", "%InstallDir%", "C:\\%installdir%", true), "C:\\%installdir%\\x");
  EXPECT_EQ(StringReplaceAll("aAa", "a", "b", false), "bAb");
  EXPECT_EQ(StringReplaceAll("aAa", "a", "b", true), "bbb");
  EXPECT_EQ(Pos("lo", "hello"), 4u);
  EXPECT_EQ(Pos("x", "hello"), 0u);
}

TEST(Format, Placeholders) {
  EXPECT_EQ(Format("Cannot open file \"%s\". %s", {std::string("C:\\a"), std::string("No such file")}),
            "Cannot open file \"C:\\a\". No such file");
  EXPECT_EQ(Format("Invalid seek origin (%d)", {int64_t{3}}), "Invalid seek origin (3)");
  EXPECT_EQ(Format("%3.3d|%5d|%-3s|%%", {int64_t{7}, int64_t{-42}, std::string("a")}), "007|  -42|a  |%");
  EXPECT_THROW(Format("%d %d", {int64_t{1}}), EConvertError);
  EXPECT_THROW(Format("%d", {std::string("x")}), EConvertError);
}

TEST(MemoryStream, ReadWriteSeekAndDefaultSize) {
  TMemoryStream m;
  EXPECT_EQ(m.Write("hello", 5), 5);
  EXPECT_EQ(m.Seek(-3, soFromEnd), 2);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 3);
  EXPECT_EQ(std::string(buf, 3), "llo");
  EXPECT_EQ(m.Read(buf, 8), 0);
  EXPECT_EQ(m.Read(buf, -1), 0);
  EXPECT_EQ(m.TStream::GetSize(), 5);  // the remember-seek-restore default
  EXPECT_EQ(m.Position(), 5);
  EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
}

TEST(FileStream, CreateReadAndErrorsNameTheFile) {
  testing::WineRoot root;
  {
    TFileStream out("C:\\data.bin", fmCreate);
    out.WriteBuffer("abcdef", 6);
  }
  TFileStream in("c:\\DATA.BIN", fmOpenRead | fmShareDenyWrite);
  EXPECT_EQ(in.Size(), 6);
  char buf[6];
  in.ReadBuffer(buf, 6);
  EXPECT_EQ(std::string(buf, 6), "abcdef");
  try {
    TFileStream missing("C:\\missing.zip", fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"C:\\missing.zip\". ", 0), 0u) << e.what();
  }
  EXPECT_THROW(TFileStream("C:\\no\\such\\dir\\x", fmCreate), EFCreateError);
}

}  // namespace
}  // namespace corvina
