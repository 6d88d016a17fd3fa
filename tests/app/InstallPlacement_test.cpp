// The placement rules as tables: which entries are system entries, which are preserved, which
// top-level folders are excluded, when a system file counts as newer (DOS two-second times, equal
// keeps the old file, dates past 2043 that are negative as signed values), which entry names are
// safe to place, how created folders are remembered (upper case, once, at most 101), and the exact
// retry question.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/SetupDefinition.h"
#include "install/Placement.h"
#include "platform/CodePage.h"

namespace corvina {
namespace {

TEST(InstallPlacementTest, SystemEntriesBeginWithTheSystemFolderInAnyCase) {
  const std::pair<const char*, bool> cases[] = {
      {"SYSTEM\\purgekit.exe", true}, {"system\\purgekit.exe", true}, {"SyStEm\\a\\b", true},
      {"SYSTEM", false},              {"SYSTEM32\\x", false},         {"LIB\\SYSTEM\\x", false},
      {"SYSTEMx\\y", false},          {"", false},                    {"\\SYSTEM\\x", false},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(IsSystemEntry(name), expected) << name;
}

TEST(InstallPlacementTest, PreservedNamesMatchTheWholeNameInAnyCase) {
  const int32_t saved_count = PreservedFileCount;
  PreservedFileCount = 2;  // TF4TEACH.INI and FERNHALL.INI of the definition; WESTMERE.INI inert
  const std::pair<const char*, bool> cases[] = {
      {"TF4TEACH.INI", false}, {"tf4teach.ini", false}, {"Fernhall.ini", false},
      {"WESTMERE.INI", true},  {"SUB\\TF4TEACH.INI", true}, {"TF4TEACH.INI.bak", true}, {"other.txt", true},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(IsReplaceable(name), expected) << name;
  PreservedFileCount = 0;
  EXPECT_TRUE(IsReplaceable("TF4TEACH.INI"));
  PreservedFileCount = saved_count;
}

TEST(InstallPlacementTest, ExcludedFoldersAreTheTopLevelFolderInAnyCase) {
  const std::vector<std::string> codes = {"DELPHI10", "VCNET4", Utf8ToAnsi("ПАПКА")};
  const std::pair<std::string, bool> cases[] = {
      {"DELPHI10", true},      {"delphi10", true},       {"Delphi10\\sub\\deeper", true},
      {"VCNET4\\x", true},     {" VCNET4 ", true},       {"DELPHI7", false},
      {"LIB\\DELPHI10", false}, {"", false},             {"DELPHI", false},
      {Utf8ToAnsi("папка\\x"), true},
  };
  for (const auto& [folder, expected] : cases) EXPECT_EQ(IsExcludedDir(folder, codes), expected) << folder;
  EXPECT_FALSE(IsExcludedDir("DELPHI10", {}));
}

TEST(InstallPlacementTest, OnlyALaterStagedTimeReplacesASystemFile) {
  // DOS date-time: date in the high word, time in two-second steps in the low word.
  const int32_t noon = (44 << 25) | (6 << 21) | (15 << 16) | (12 << 11);  // 2024-06-15 12:00:00
  const int32_t two_seconds_later = noon + 1;
  const int32_t year_2050 = static_cast<int32_t>(70u << 25 | 1u << 21 | 1u << 16);  // negative as int32
  struct Case {
    int32_t staged;
    int32_t existing;
    bool later;
  };
  const Case cases[] = {
      {noon, noon, false},           {two_seconds_later, noon, true}, {noon, two_seconds_later, false},
      {year_2050, noon, true},       {noon, year_2050, false},        {-1, noon, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsLaterDosTime(c.staged, c.existing), c.later) << c.staged << " " << c.existing;
}

TEST(InstallPlacementTest, EntryNamesThatCouldLeaveTheirFolderAreNotSafe) {
  const std::pair<const char*, bool> cases[] = {
      {"a.txt", true},        {"Corvina\\readme.txt", true}, {"a\\b\\c.d", true},   {"..\\x", false},
      {"a\\..\\..\\x", false}, {"\\x", false},               {"C:\\x", false},      {"a\\\\b", false},
      {"a\\", false},         {".", false},                  {"a\\.\\b", false},    {"a/../../b", false},
      {"", false},            {"a\\ ..\\b", false},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(IsSafeEntryName(name), safe) << name;
}

class CreatedDirsTest : public ::testing::Test {
protected:
  void SetUp() override { FillSetupDefinition(); }
  void TearDown() override { FillSetupDefinition(); }
};

TEST_F(CreatedDirsTest, FoldersAreRecordedOnceInUpperCaseUntilTheListIsFull) {
  CreatedDirCount = 1;
  CreatedDirs[0] = "C:\\TF4\\MPICH1";
  RecordCreatedDir("C:\\TF4\\Corvina\\Docs");
  RecordCreatedDir("c:\\tf4\\corvina\\docs");
  RecordCreatedDir("C:\\tf4\\mpich1");
  ASSERT_EQ(CreatedDirCount, 2);
  EXPECT_EQ(CreatedDirs[1], "C:\\TF4\\CORVINA\\DOCS");
  // Cyrillic letters keep their case: the folding is the ASCII one.
  RecordCreatedDir(Utf8ToAnsi("C:\\TF4\\Папка"));
  EXPECT_EQ(CreatedDirs[2], Utf8ToAnsi("C:\\TF4\\Папка"));

  while (CreatedDirCount < CreatedDirs.Capacity) RecordCreatedDir("C:\\F" + std::to_string(CreatedDirCount));
  EXPECT_EQ(CreatedDirCount, 101);
  RecordCreatedDir("C:\\ONE MORE");
  EXPECT_EQ(CreatedDirCount, 101);
  EXPECT_EQ(CreatedDirs[100], "C:\\F100");
}

TEST(InstallPlacementTest, RetryQuestionNamesTheFileAndTheProduct) {
  EXPECT_EQ(AnsiToUtf8(RetryQuestionText("C:\\TF4\\LIB\\a.lib")),
            "Ошибка при обновлении файла \"C:\\TF4\\LIB\\a.lib\". Возможно, прежняя версия файла используется "
            "в одном из работающих приложений. Закройте все приложения, кроме программы установки Corvina, и "
            "повторите попытку обновления, нажав кнопку \"Повтор\".\r\nПри повторном возникновении ошибки нажмите "
            "кнопку \"Далее\".");
}

}  // namespace
}  // namespace corvina
