// The uninstall log: exact bytes of a new log, the merge into an earlier one (any line ending, case
// ignored by the 1251 rules, old header and lines kept), and failures reported with the earlier log
// left whole.
#include "install/UninstallLog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

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

const char* const kLog = "C:\\Tally\\UNINST\\corvina1_0.log";

class UninstallLogTest : public ::testing::Test {
protected:
  void SetUp() override {
    mkdir((root_.DriveC() + "/Tally").c_str(), 0777);
    mkdir((root_.DriveC() + "/Tally/UNINST").c_str(), 0777);
  }
  std::string HostLog() const { return root_.DriveC() + "/Tally/UNINST/corvina1_0.log"; }
  std::string Header() const {
    return UninstallLogHeader(A("Удаление Corvina"), A("Удалить?"), A("Удален."), A("Кроме:"));
  }
  WineRoot root_;
};

TEST_F(UninstallLogTest, NewLogIsTheListInCodePage1251WithCrLfAfterEveryLine) {
  EXPECT_EQ(UninstallLogPath("C:\\Tally", "corvina1_0.log"), kLog);
  const std::vector<std::string> list = {Header(), "C:\\Tally\\Corvina\\a.txt", A("C:\\Tally\\Corvina\\Задачи.dat"),
                                         "C:\\Tally\\Corvina\\a.txt", A("C:\\Tally\\UNINST\\Удалить.lnk")};
  ASSERT_TRUE(SaveUninstallLog(kLog, list));
  const std::string expected = A("Удаление Corvina|Удалить?|Удален.|Кроме:|\r\n"
                                 "C:\\Tally\\Corvina\\a.txt\r\n"
                                 "C:\\Tally\\Corvina\\Задачи.dat\r\n"
                                 "C:\\Tally\\Corvina\\a.txt\r\n"  // duplicates of a new log stay
                                 "C:\\Tally\\UNINST\\Удалить.lnk\r\n");
  EXPECT_EQ(ReadHostFile(HostLog()), expected);
  EXPECT_FALSE(HostExists(HostLog() + ".new"));
  EXPECT_FALSE(HostExists(HostLog() + ".old"));
}

TEST_F(UninstallLogTest, MergeKeepsTheEarlierLogAndAppendsOnlyNewPaths) {
  struct Case {
    const char* name;
    const char* ending;
    bool final_ending;
  } cases[] = {
      {"CR LF", "\r\n", true}, {"lone CR", "\r", true}, {"lone LF", "\n", true}, {"no final ending", "\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> old_lines = {A("Старый|заголовок|||"), A("C:\\Tally\\Corvina\\Задачи.dat"),
                                                "C:\\Tally\\Corvina\\old.txt"};
    std::string old_text;
    for (size_t i = 0; i < old_lines.size(); ++i)
      old_text += old_lines[i] + (i + 1 < old_lines.size() || c.final_ending ? c.ending : "");
    WriteHostFile(HostLog(), old_text);
    const std::vector<std::string> list = {Header(),
                                           A("c:\\TALLY\\corvina\\ЗАДАЧИ.DAT"),  // the same path in other case
                                           "C:\\Tally\\Corvina\\new.txt",
                                           "C:\\TALLY\\Corvina\\NEW.TXT",  // same as an appended line
                                           "C:\\Tally\\Corvina\\old.txt"};
    ASSERT_TRUE(SaveUninstallLog(kLog, list));
    EXPECT_EQ(ReadHostFile(HostLog()), A("Старый|заголовок|||\r\n"
                                         "C:\\Tally\\Corvina\\Задачи.dat\r\n"
                                         "C:\\Tally\\Corvina\\old.txt\r\n"
                                         "C:\\Tally\\Corvina\\new.txt\r\n"));
  }
}

TEST_F(UninstallLogTest, MergeKeepsEmptyAndDuplicateLinesOfTheEarlierLog) {
  WriteHostFile(HostLog(), "H|||\r\nC:\\a\r\n\r\nC:\\a\r\n");
  ASSERT_TRUE(SaveUninstallLog(kLog, {Header(), "C:\\b", "C:\\A"}));
  EXPECT_EQ(ReadHostFile(HostLog()), "H|||\r\nC:\\a\r\n\r\nC:\\a\r\nC:\\b\r\n");
}

TEST_F(UninstallLogTest, ReadOnlyEarlierLogIsMerged) {
  WriteHostFile(HostLog(), "H|||\r\nC:\\a\r\n");
  ASSERT_TRUE(FileSystem().SetFileAttributes(kLog, faReadOnly));
  ASSERT_TRUE(SaveUninstallLog(kLog, {Header(), "C:\\b"}));
  EXPECT_EQ(ReadHostFile(HostLog()), "H|||\r\nC:\\a\r\nC:\\b\r\n");
}

TEST_F(UninstallLogTest, EmptyEarlierLogGetsTheNewHeader) {
  WriteHostFile(HostLog(), "");
  ASSERT_TRUE(SaveUninstallLog(kLog, {Header(), "C:\\b", "C:\\B"}));
  EXPECT_EQ(ReadHostFile(HostLog()), Header() + "\r\nC:\\b\r\n");
}

TEST_F(UninstallLogTest, PathsWithLineBreaksAreLeftOut) {
  for (bool earlier : {false, true}) {
    SCOPED_TRACE(earlier ? "merge" : "new log");
    if (earlier) WriteHostFile(HostLog(), Header() + "\r\n");
    else unlink(HostLog().c_str());
    ASSERT_TRUE(SaveUninstallLog(kLog, {Header(), "C:\\a\r\nC:\\windows\\system32\\x.dll", "C:\\b\nC:\\c", "C:\\d"}));
    EXPECT_EQ(ReadHostFile(HostLog()), Header() + "\r\nC:\\d\r\n");
  }
}

TEST_F(UninstallLogTest, UnwritableLogIsReportedAndTheEarlierLogStaysWhole) {
  const std::string earlier = "H|||\r\nC:\\a\r\n";
  struct Case {
    const char* name;
    FaultKind kind;
    const char* pattern;
  } cases[] = {
      {"the new file cannot be made", FaultKind::Open, "*.log.new"},
      {"the new file cannot be written", FaultKind::Write, "*.log.new"},
      {"the old log cannot be moved aside", FaultKind::MoveFile, "*.log"},
      {"the new log cannot be put in place", FaultKind::MoveFile, "*.log.new"},
      {"the earlier log cannot be read", FaultKind::Open, "*corvina1_0.log"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteHostFile(HostLog(), earlier);
    auto faults = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
    faults->FailMatching(c.kind, c.pattern);
    SetFileSystem(faults);
    EXPECT_FALSE(SaveUninstallLog(kLog, {Header(), "C:\\b"}));
    SetFileSystem(nullptr);
    EXPECT_EQ(ReadHostFile(HostLog()), earlier);
    EXPECT_FALSE(HostExists(HostLog() + ".new"));
  }
}

TEST_F(UninstallLogTest, MissingFolderIsReported) {
  EXPECT_FALSE(SaveUninstallLog("C:\\Nowhere\\UNINST\\corvina1_0.log", {Header(), "C:\\a"}));
  EXPECT_FALSE(HostExists(root_.DriveC() + "/Nowhere"));
}

TEST(SplitLogLinesTest, EndsLinesAtCrLfLoneCrAndLoneLf) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb", {"a", "b"}},
      {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},  // LF then CR: two endings
      {"\r\n\r\n", {"", ""}},
      {"a\r\r\nb", {"a", "", "b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitLogLines(c.text), c.lines) << c.text;
}

}  // namespace
}  // namespace corvina
