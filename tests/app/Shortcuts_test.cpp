// Associations, the program group and the links: the registry keys as Wine's system.reg holds them,
// the first failing key ending an association, the group folder and its failure line, and which
// shortcut rows become links, failures or nothing under the StartMenu and Desktop options.
#include "install/Shortcuts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/FaultInjectingFileSystem.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::ReadHostFile;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

// The lines of one key's section of a .reg file ("" when the key is absent).
std::string Section(const std::string& file, const std::string& key) {
  size_t at = file.find("\n[" + key + "]");
  if (at == std::string::npos) return "";
  size_t end = file.find("\n[", at + 1);
  return file.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

class ShortcutsTest : public ::testing::Test {
protected:
  std::string SystemReg() const { return root_.Root() + "/system.reg"; }
  void MakeHostDir(const std::string& relative) { mkdir((root_.DriveC() + "/" + relative).c_str(), 0777); }
  WineRoot root_;
};

TEST_F(ShortcutsTest, AssociationIsWrittenUnderClassesInWinesFormat) {
  RegisterFileType("cvt", "C:\\Tally\\Corvina", "run.exe", A("Задание Corvina"), 2);
  ForgetRegistryCache();
  const std::string reg = ReadHostFile(SystemReg()).value_or("");
  struct Expected {
    const char* key;
    const char* value_line;
  } expected[] = {
      {"Software\\\\Classes\\\\.cvt", "@=\"cvt\""},
      // Cyrillic is stored as \x escapes of its UTF-16 units.
      {"Software\\\\Classes\\\\cvt", "@=\"\\x417\\x430\\x434\\x430\\x43d\\x438\\x435 Corvina\""},
      {"Software\\\\Classes\\\\cvt\\\\DefaultIcon", "@=\"C:\\\\Tally\\\\Corvina\\\\run.exe,2\""},
      {"Software\\\\Classes\\\\cvt\\\\Shell", "@=\"Open\""},
      {"Software\\\\Classes\\\\cvt\\\\Shell\\\\Open", "@=\"Open\""},
      {"Software\\\\Classes\\\\cvt\\\\Shell\\\\Open\\\\command",
       "@=\"\\\"C:\\\\Tally\\\\Corvina\\\\run.exe\\\" \\\"%1\\\"\""},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.key);
    const std::string section = Section(reg, e.key);
    ASSERT_FALSE(section.empty()) << reg;
    EXPECT_NE(section.find("\n" + std::string(e.value_line) + "\n"), std::string::npos) << section;
  }
  // And the registry reads back what was meant.
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\CVT\\shell\\open\\COMMAND"));
  EXPECT_EQ(registry.ReadString(""), "\"C:\\Tally\\Corvina\\run.exe\" \"%1\"");
}

TEST_F(ShortcutsTest, AssociationStopsAtTheFirstFailingKey) {
  const std::vector<std::string> keys = {".cvt", "cvt", "cvt\\DefaultIcon", "cvt\\Shell", "cvt\\Shell\\Open",
                                         "cvt\\Shell\\Open\\command"};
  for (size_t failing = 0; failing < keys.size(); ++failing) {
    SCOPED_TRACE(keys[failing]);
    std::vector<std::string> asked;
    RegisterFileType("cvt", "C:\\P", "p.exe", "d", -1, [&](const std::string& key, const std::string&) {
      asked.push_back(key);
      return asked.size() <= failing;
    });
    EXPECT_EQ(asked, std::vector<std::string>(keys.begin(), keys.begin() + static_cast<long>(failing) + 1));
  }
  // The negative icon index is written in decimal with its sign.
  std::string icon;
  RegisterFileType("cvt", "C:\\P", "p.exe", "d", -1, [&](const std::string& key, const std::string& value) {
    if (key == "cvt\\DefaultIcon") icon = value;
    return true;
  });
  EXPECT_EQ(icon, "C:\\P\\p.exe,-1");
}

TEST_F(ShortcutsTest, RegistryThatCannotBeSavedFailsSilently) {
  mkdir(SystemReg().c_str(), 0777);  // a folder where the hive file should be
  EXPECT_FALSE(WriteClassesDefault(".cvt", "cvt"));
  RegisterFileType("cvt", "C:\\P", "p.exe", "d", 0);  // neither raises nor writes
  struct stat st;
  ASSERT_EQ(stat(SystemReg().c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(ShortcutsTest, AssociationTableRowsUpToTheCount) {
  TFixedList<TFileExt, 21> rows;
  rows[0] = {"aaa", "C:\\P", "p.exe", "A", 0};
  rows[1] = {"", "C:\\P", "p.exe", "empty extension", 0};
  rows[2] = {"ccc", "C:\\P", "p.exe", "beyond the count", 0};
  std::vector<std::string> asked;
  auto record = [&](const std::string& key, const std::string&) {
    asked.push_back(key);
    return true;
  };
  RegisterFileTypes(rows, 0, record);
  EXPECT_TRUE(asked.empty());
  RegisterFileTypes(rows, 2, record);
  EXPECT_EQ(asked.size(), 6u);
  EXPECT_EQ(asked.front(), ".aaa");
  // An empty table leaves the registry alone.
  RegisterFileTypes(rows, 0);
  EXPECT_FALSE(HostExists(SystemReg()));
}

TEST_F(ShortcutsTest, ProgramGroupFolder) {
  MakeHostDir("Programs");
  EXPECT_EQ(CreateProgramGroup("C:\\Programs", "\\Corvina", false), "");
  EXPECT_FALSE(HostExists(root_.DriveC() + "/Programs/Corvina")) << "StartMenu off makes no group";
  EXPECT_EQ(CreateProgramGroup("C:\\Programs", "\\Corvina", true), "");
  EXPECT_TRUE(HostExists(root_.DriveC() + "/Programs/Corvina"));
  EXPECT_EQ(CreateProgramGroup("C:\\Programs", "\\corvina", true), "") << "an existing group is fine";

  // No Programs folder reported: the group is taken from the root of the current drive.
  ASSERT_TRUE(FileSystem().SetCurrentDir("C:\\Programs"));
  EXPECT_EQ(CreateProgramGroup("", "\\Rooted", true), "");
  EXPECT_TRUE(HostExists(root_.DriveC() + "/Rooted"));

  auto faults = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
  faults->FailMatching(FaultKind::CreateDirectory, "*");
  SetFileSystem(faults);
  EXPECT_EQ(CreateProgramGroup("C:\\Programs", A("\\Задачник Corvina"), true),
            A("Не удалось создать программную группу \"Задачник Corvina\".\r\n"));
  const std::string long_group = "\\" + std::string(150, 'g');
  EXPECT_EQ(CreateProgramGroup("C:\\Programs", long_group, true),
            A("Не удалось создать программную группу \"") + std::string(100, 'g') + "\".\r\n");
  SetFileSystem(nullptr);
}

// One fixture of rows covering each rule: a Start-menu row, a desktop row, a row in a desktop
// subfolder, the UNINST row, a row whose target is missing, a row whose folder is missing, and a
// row whose link path is too long.
class ShortcutRowsTest : public ShortcutsTest {
protected:
  void SetUp() override {
    const std::string dirs[] = {"Programs", "Programs/Corvina", "Desktop",      "Desktop/Sub",
                                "Tally",    "Tally/UNINST",     "Tally/" + std::string(180, 'd')};
    for (const std::string& dir : dirs) MakeHostDir(dir);
    WriteHostFile(root_.DriveC() + "/Tally/readme.txt", "readme");
    const std::string deep = "C:\\Tally\\" + std::string(180, 'd');
    const TLink table[] = {
        {"C:\\Tally\\readme.txt", "", "C:\\Tally", "C:\\Programs\\Corvina", "Menu"},
        {"C:\\Tally\\readme.txt", "", "C:\\Tally", "c:\\desktop", "Desk"},
        {"C:\\Tally\\readme.txt", "", "C:\\Tally", "C:\\Desktop\\Sub", "DeskSub"},
        {"C:\\Tally\\readme.txt", "\"C:\\Tally\\UNINST\\c.log\"", "C:\\windows", "C:\\Tally\\UNINST", "Uninst"},
        {"C:\\Tally\\missing.txt", "", "C:\\Tally", "C:\\Programs\\Corvina", "NoTarget"},
        {"C:\\Tally\\readme.txt", "", "C:\\Tally", "C:\\Tally\\NoFolder", "NoFolder"},
        {"C:\\Tally\\readme.txt", "", "C:\\Tally", deep, std::string(20, 'L')},
    };
    for (int32_t i = 0; i < 7; ++i) rows_[i] = table[i];
    count_ = 7;
  }
  TFixedList<TLink, 51> rows_;
  int32_t count_ = 0;
};

TEST_F(ShortcutRowsTest, OptionsDecideWhichRowsAreMadeAndWhichTakeAProgressStep) {
  const std::string deep = "C:\\Tally\\" + std::string(180, 'd');
  const std::string failed = "\"C:\\Tally\\NoFolder\\NoFolder\", \"" + deep + "\\" + std::string(20, 'L') + "\", ";
  struct Case {
    bool start_menu;
    bool desktop;
    std::vector<std::string> links;
    int steps;
  } cases[] = {
      {true, true,
       {"C:\\Programs\\Corvina\\Menu.lnk", "c:\\desktop\\Desk.lnk", "C:\\Desktop\\Sub\\DeskSub.lnk",
        "C:\\Tally\\UNINST\\Uninst.lnk"},
       7},
      {false, true, {"c:\\desktop\\Desk.lnk", "C:\\Desktop\\Sub\\DeskSub.lnk", "C:\\Tally\\UNINST\\Uninst.lnk"}, 5},
      {true, false, {"C:\\Programs\\Corvina\\Menu.lnk", "C:\\Desktop\\Sub\\DeskSub.lnk", "C:\\Tally\\UNINST\\Uninst.lnk"}, 6},
      {false, false, {"C:\\Desktop\\Sub\\DeskSub.lnk", "C:\\Tally\\UNINST\\Uninst.lnk"}, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("StartMenu ") + (c.start_menu ? "on" : "off") + ", Desktop " + (c.desktop ? "on" : "off"));
    for (const char* link : {"Programs/Corvina/Menu.lnk", "Desktop/Desk.lnk", "Desktop/Sub/DeskSub.lnk",
                             "Tally/UNINST/Uninst.lnk"})
      unlink((root_.DriveC() + "/" + link).c_str());
    std::vector<std::string> list = {"header|"};
    std::string failures;
    int steps = 0;
    CreateShortcuts(rows_, count_, {"C:\\PROGRAMS", "C:\\Desktop", c.start_menu, c.desktop}, list, failures,
                    [&] { ++steps; });
    std::vector<std::string> expected = {"header|"};
    expected.insert(expected.end(), c.links.begin(), c.links.end());
    EXPECT_EQ(list, expected);
    EXPECT_EQ(failures, failed);
    EXPECT_EQ(steps, c.steps);
    for (size_t i = 1; i < list.size(); ++i) EXPECT_TRUE(FileSystem().FileExists(list[i])) << list[i];
    EXPECT_FALSE(HostExists(root_.DriveC() + "/Programs/Corvina/NoTarget.lnk"));
  }
}

TEST_F(ShortcutRowsTest, OnlyRowsBelowTheCountAndNoProgramsFolderMeansNoStartMenuRows) {
  std::vector<std::string> list;
  std::string failures;
  int steps = 0;
  // With ProgramsDir empty, no row counts as a Start-menu row: StartMenu off skips none of them.
  CreateShortcuts(rows_, 2, {"", "C:\\Elsewhere", false, false}, list, failures, [&] { ++steps; });
  EXPECT_EQ(list, (std::vector<std::string>{"C:\\Programs\\Corvina\\Menu.lnk", "c:\\desktop\\Desk.lnk"}));
  EXPECT_EQ(failures, "");
  EXPECT_EQ(steps, 2);
}

TEST_F(ShortcutRowsTest, LinksThatCannotBeSavedAreFailuresNotLogLines) {
  auto faults = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
  faults->FailMatching(FaultKind::Write, "*Menu.lnk");
  SetFileSystem(faults);
  std::vector<std::string> list;
  std::string failures;
  CreateShortcuts(rows_, 1, {"C:\\Programs", "C:\\Desktop", true, true}, list, failures, nullptr);
  SetFileSystem(nullptr);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(failures, "\"C:\\Programs\\Corvina\\Menu\", ");
  EXPECT_FALSE(HostExists(root_.DriveC() + "/Programs/Corvina/Menu.lnk"));
}

}  // namespace
}  // namespace corvina
