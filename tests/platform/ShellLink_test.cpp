// Shell link files: what is written is read back by a small reader that follows the file format
// (header, LinkInfo, string data), and by liblnk's lnkinfo when it is installed; the 200-character
// limit of the link's name; failed writes leave no file behind.
#include "platform/ShellLink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/CodePage.h"
#include "platform/FaultInjectingFileSystem.h"
#include "platform/FileSystem.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::ReadHostFile;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

// What the test reader finds in a link file.
struct ParsedLink {
  uint32_t flags = 0;
  uint32_t attributes = 0;
  uint32_t target_size = 0;
  uint32_t show_command = 0;
  uint32_t drive_type = 0;
  std::string volume_label;
  std::string local_base_path;          // ANSI bytes
  std::u16string local_base_path_wide;  // from the Unicode offset
  std::string working_dir;              // StringData, turned back into 1251
  std::string arguments;
  bool terminal_block = false;
};

uint32_t U16(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b.at(at)) | static_cast<uint32_t>(static_cast<uint8_t>(b.at(at + 1))) << 8;
}
uint32_t U32(const std::string& b, size_t at) { return U16(b, at) | U16(b, at + 2) << 16; }

std::string CString(const std::string& b, size_t at) {
  size_t end = b.find('\0', at);
  if (end == std::string::npos) throw std::runtime_error("unterminated string");
  return b.substr(at, end - at);
}

std::u16string WideCString(const std::string& b, size_t at) {
  std::u16string out;
  for (;; at += 2) {
    char16_t unit = static_cast<char16_t>(U16(b, at));
    if (unit == 0) return out;
    out.push_back(unit);
  }
}

// Follows the format: 0x4C-byte header with the link class id, LinkInfo when its flag is set, then
// the counted strings in their fixed order, then the extra data up to the terminal block.
ParsedLink Parse(const std::string& b) {
  ParsedLink link;
  EXPECT_EQ(U32(b, 0), 0x4Cu);
  const std::string clsid("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
  EXPECT_EQ(b.substr(4, 16), clsid);
  link.flags = U32(b, 20);
  link.attributes = U32(b, 24);
  link.target_size = U32(b, 52);
  link.show_command = U32(b, 60);
  size_t at = 0x4C;
  if (link.flags & 0x1) at += 2 + U16(b, at);  // item-ID list
  if (link.flags & 0x2) {
    const size_t info = at;
    const uint32_t size = U32(b, info);
    const uint32_t header = U32(b, info + 4);
    EXPECT_EQ(U32(b, info + 8) & 0x1, 0x1u) << "volume and local base path";
    const size_t volume = info + U32(b, info + 12);
    link.drive_type = U32(b, volume + 4);
    link.volume_label = CString(b, volume + U32(b, volume + 12));
    link.local_base_path = CString(b, info + U32(b, info + 16));
    EXPECT_EQ(CString(b, info + U32(b, info + 24)), "") << "common path suffix";
    if (header >= 0x24) link.local_base_path_wide = WideCString(b, info + U32(b, info + 28));
    at = info + size;
  }
  const bool unicode = (link.flags & 0x80) != 0;
  auto counted = [&](std::string* into) {
    const uint32_t count = U16(b, at);
    at += 2;
    std::u16string wide;
    for (uint32_t i = 0; i < count; ++i) {
      wide.push_back(unicode ? static_cast<char16_t>(U16(b, at)) : static_cast<char16_t>(static_cast<uint8_t>(b.at(at))));
      at += unicode ? 2 : 1;
    }
    if (into != nullptr) *into = Utf16ToAnsi(wide);
  };
  if (link.flags & 0x04) counted(nullptr);  // name
  if (link.flags & 0x08) counted(nullptr);  // relative path
  if (link.flags & 0x10) counted(&link.working_dir);
  if (link.flags & 0x20) counted(&link.arguments);
  if (link.flags & 0x40) counted(nullptr);  // icon location
  while (at + 4 <= b.size()) {
    uint32_t block = U32(b, at);
    if (block < 4) {
      link.terminal_block = true;
      at += 4;
      break;
    }
    at += block;
  }
  EXPECT_EQ(at, b.size()) << "nothing after the terminal block";
  return link;
}

class ShellLinkTest : public ::testing::Test {
protected:
  void SetUp() override { WriteHostFile(root_.DriveC() + "/target.exe", std::string(1234, 'x')); }
  std::string Host(const std::string& name) { return root_.DriveC() + "/" + name; }
  WineRoot root_;
};

TEST_F(ShellLinkTest, WritesTargetArgumentsAndWorkingFolderAsTheFormatSays) {
  struct Case {
    const char* target;
    const char* arguments;
    const char* directory;
  } cases[] = {
      {"C:\\target.exe", "\"C:\\UNINST\\corvina1_0.log\"", "C:\\windows\\system32"},
      {"C:\\target.exe", "", ""},
      {"C:\\Папка\\Задачник.chm", "-a б", "C:\\Папка"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    ASSERT_TRUE(CreateShellLink(A(c.target), A(c.arguments), A(c.directory), "C:\\link.lnk"));
    auto bytes = ReadHostFile(Host("link.lnk"));
    ASSERT_TRUE(bytes.has_value());
    ParsedLink link = Parse(*bytes);
    EXPECT_EQ(link.flags & 0x2, 0x2u);
    EXPECT_EQ(link.flags & 0x80, 0x80u);
    EXPECT_EQ(link.flags & 0x4C, 0u) << "no name, relative path or icon";
    EXPECT_EQ((link.flags & 0x10) != 0, *c.directory != '\0');
    EXPECT_EQ((link.flags & 0x20) != 0, *c.arguments != '\0');
    EXPECT_EQ(link.local_base_path, A(c.target));
    EXPECT_EQ(link.local_base_path_wide, AnsiToUtf16(A(c.target)));
    EXPECT_EQ(link.arguments, A(c.arguments));
    EXPECT_EQ(link.working_dir, A(c.directory));
    EXPECT_EQ(link.show_command, 1u);
    EXPECT_EQ(link.drive_type, 3u) << "C: is a fixed drive";
    EXPECT_TRUE(link.terminal_block);
  }
}

TEST_F(ShellLinkTest, RecordsTheTargetsSizeAndVolumeLabel) {
  WriteHostFile(Host(".windows-label"), "CORVINA");
  ASSERT_TRUE(CreateShellLink("C:\\target.exe", "", "", "C:\\link.lnk"));
  ParsedLink link = Parse(*ReadHostFile(Host("link.lnk")));
  EXPECT_EQ(link.target_size, 1234u);
  EXPECT_EQ(link.attributes & 0x10, 0u) << "not a folder";
  EXPECT_EQ(link.volume_label, "CORVINA");
}

TEST_F(ShellLinkTest, ReplacesAnExistingLinkOfTheSameName) {
  WriteHostFile(Host("link.lnk"), std::string(5000, 'z'));
  ASSERT_TRUE(CreateShellLink("C:\\target.exe", "x", "C:\\", "C:\\link.lnk"));
  ParsedLink link = Parse(*ReadHostFile(Host("link.lnk")));  // Parse checks nothing trails the link
  EXPECT_EQ(link.arguments, "x");
}

TEST_F(ShellLinkTest, LinkNamesOf200CharactersOrMoreAreRefused) {
  struct Case {
    size_t length;
    bool saved;
  } cases[] = {{199, true}, {200, false}, {230, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    // "C:\" + name + ".lnk" of exactly c.length characters.
    const std::string name = std::string(c.length - 3 - 4, 'n');
    EXPECT_EQ(CreateShellLink("C:\\target.exe", "", "", "C:\\" + name + ".lnk"), c.saved);
    EXPECT_EQ(HostExists(Host(name + ".lnk")), c.saved);
  }
}

TEST_F(ShellLinkTest, TargetsWithoutADriveAreRefused) {
  for (const char* target : {"", "target.exe", "\\\\server\\share\\a.exe", "C:target.exe"}) {
    SCOPED_TRACE(target);
    EXPECT_FALSE(CreateShellLink(target, "", "", "C:\\link.lnk"));
    EXPECT_FALSE(HostExists(Host("link.lnk")));
  }
}

TEST_F(ShellLinkTest, FailedOpenOrWriteLeavesNoFile) {
  for (FaultKind kind : {FaultKind::Open, FaultKind::Write}) {
    SCOPED_TRACE(FaultKindName(kind));
    auto faults = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
    faults->FailMatching(kind, "*.lnk");
    SetFileSystem(faults);
    EXPECT_FALSE(CreateShellLink("C:\\target.exe", "", "", "C:\\link.lnk"));
    SetFileSystem(nullptr);
    EXPECT_FALSE(HostExists(Host("link.lnk")));
  }
}

TEST_F(ShellLinkTest, MissingFolderFails) {
  EXPECT_FALSE(CreateShellLink("C:\\target.exe", "", "", "C:\\no such folder\\link.lnk"));
}

// liblnk's reader, when the machine has it, must see the same target, arguments and folder.
TEST_F(ShellLinkTest, LnkinfoReadsTheLink) {
  if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "lnkinfo is not installed";
  ASSERT_TRUE(CreateShellLink("C:\\target.exe", "\"C:\\UNINST\\corvina1_0.log\"", "C:\\windows\\system32",
                              "C:\\link.lnk"));
  const std::string out_file = root_.Root() + "/lnkinfo.txt";
  const std::string command = "lnkinfo '" + Host("link.lnk") + "' > '" + out_file + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadHostFile(out_file).value_or("");
  const std::string out = ReadHostFile(out_file).value_or("");
  EXPECT_NE(out.find("Local path\t\t\t: C:\\target.exe"), std::string::npos) << out;
  EXPECT_NE(out.find("Working directory\t\t: C:\\windows\\system32"), std::string::npos) << out;
  EXPECT_NE(out.find("Command line arguments\t\t: \"C:\\UNINST\\corvina1_0.log\""), std::string::npos) << out;
}

}  // namespace
}  // namespace corvina
