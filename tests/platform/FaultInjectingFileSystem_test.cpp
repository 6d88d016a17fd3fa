// The fault-injecting file system: numbering of changes, the three kinds of rule, failures that
// change nothing, writes through its handles, and configuration from the environment.
#include "platform/FaultInjectingFileSystem.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::ReadHostFile;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

class FaultTest : public ::testing::Test {
protected:
  void SetUp() override {
    faults_ = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
    SetFileSystem(faults_);
  }
  std::string C(const std::string& host_relative) const { return root_.DriveC() + "/" + host_relative; }

  // A fixed script of changes, numbered 1 to 6 when nothing else runs before it.
  std::vector<bool> RunScript() {
    IFileSystem& fs = FileSystem();
    std::vector<bool> ok;
    ok.push_back(fs.CreateDirectory("C:\\TF4"));                   // 1
    std::string error;
    auto handle = fs.Open("C:\\TF4\\FILE.TXT", OpenMode::Create, error);  // 2
    ok.push_back(handle != nullptr);
    ok.push_back(handle && handle->Write("data", 4) == 4);         // 3
    handle.reset();
    ok.push_back(fs.CopyFile("C:\\TF4\\FILE.TXT", "C:\\TF4\\COPY.TXT", true));  // 4
    ok.push_back(fs.MoveFile("C:\\TF4\\COPY.TXT", "C:\\TF4\\MOVED.TXT"));       // 5
    ok.push_back(fs.DeleteFile("C:\\TF4\\FILE.TXT"));              // 6
    return ok;
  }

  WineRoot root_;
  std::shared_ptr<FaultInjectingFileSystem> faults_;
};

TEST_F(FaultTest, WithoutRulesEveryChangeIsNumberedAndPassedOn) {
  EXPECT_EQ(RunScript(), std::vector<bool>(6, true));
  EXPECT_EQ(faults_->OperationCount(), 6);
  EXPECT_EQ(faults_->FailureCount(), 0);
  const auto& history = faults_->History();
  ASSERT_EQ(history.size(), 6u);
  const FaultKind kinds[] = {FaultKind::CreateDirectory, FaultKind::Open,     FaultKind::Write,
                             FaultKind::CopyFile,        FaultKind::MoveFile, FaultKind::DeleteFile};
  for (size_t i = 0; i < history.size(); ++i) {
    EXPECT_EQ(history[i].Number, static_cast<int64_t>(i + 1));
    EXPECT_EQ(history[i].Kind, kinds[i]) << i;
  }
  EXPECT_EQ(history[4].Path, "C:\\TF4\\COPY.TXT");
  EXPECT_EQ(history[4].Target, "C:\\TF4\\MOVED.TXT");
  EXPECT_EQ(*ReadHostFile(C("TF4/MOVED.TXT")), "data");
  EXPECT_FALSE(HostExists(C("TF4/FILE.TXT")));
}

TEST_F(FaultTest, QueriesAreCountedApartAndNeverFail) {
  faults_->FailFrom(1);
  WriteHostFile(C("here.txt"), "h");
  IFileSystem& fs = FileSystem();
  EXPECT_TRUE(fs.FileExists("C:\\here.txt"));
  EXPECT_TRUE(fs.DirectoryExists("C:\\"));
  EXPECT_NE(fs.GetFileAttributes("C:\\here.txt"), -1);
  EXPECT_NE(fs.FileAge("C:\\here.txt"), -1);
  EXPECT_EQ(fs.ListDirectory("C:\\").size(), 1u);
  EXPECT_EQ(fs.GetDriveType("C:\\"), DriveType::Fixed);
  EXPECT_EQ(faults_->OperationCount(), 0);
  EXPECT_EQ(faults_->QueryCount(), 6);
  EXPECT_EQ(fs.HostPath("C:\\here.txt"), C("here.txt"));
}

TEST_F(FaultTest, NumberAndFromRulesFailExactlyTheChosenChanges) {
  struct Case {
    const char* rules;
    std::vector<bool> outcome;
    std::vector<int64_t> injected;  // the numbers that failed by a rule
  };
  // A failure can make later changes fail on their own (no folder, no handle, no file to move);
  // those are not injected. Without a handle the write is not asked for and the later changes
  // move up one number.
  const Case cases[] = {
      {"nth=1", {false, false, false, false, false, false}, {1}},
      {"nth=3", {true, true, false, true, true, true}, {3}},
      {"nth=4,6", {true, true, true, false, false, false}, {4, 6}},
      {"from=5", {true, true, true, true, false, false}, {5, 6}},
      {"nth=2; from=5", {true, false, false, false, false, false}, {2, 5}},
  };
  for (const Case& test : cases) {
    WineRoot root;  // a fresh drive for each script
    auto faults = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
    std::string error;
    ASSERT_TRUE(faults->AddRules(test.rules, error)) << error;
    SetFileSystem(faults);
    EXPECT_EQ(RunScript(), test.outcome) << test.rules;
    std::vector<int64_t> injected;
    for (const FaultRecord& record : faults->History())
      if (record.Failed) injected.push_back(record.Number);
    EXPECT_EQ(injected, test.injected) << test.rules;
    EXPECT_EQ(faults->FailureCount(), static_cast<int64_t>(test.injected.size())) << test.rules;
  }
}

TEST_F(FaultTest, AFailedChangeChangesNothing) {
  WriteHostFile(C("keep.txt"), "keep");
  faults_->FailFrom(1);
  IFileSystem& fs = FileSystem();
  std::string error;
  EXPECT_EQ(fs.Open("C:\\keep.txt", OpenMode::Create, error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(fs.DeleteFile("C:\\keep.txt"));
  EXPECT_FALSE(fs.MoveFile("C:\\keep.txt", "C:\\moved.txt"));
  EXPECT_FALSE(fs.CopyFile("C:\\keep.txt", "C:\\copy.txt", false));
  EXPECT_FALSE(fs.SetFileAttributes("C:\\keep.txt", faReadOnly));
  EXPECT_FALSE(fs.SetFileDate("C:\\keep.txt", 0x00210000));
  EXPECT_FALSE(fs.CreateDirectory("C:\\new"));
  EXPECT_FALSE(ForceDirectories("C:\\new\\deeper"));
  EXPECT_EQ(*ReadHostFile(C("keep.txt")), "keep");
  EXPECT_EQ(fs.GetFileAttributes("C:\\keep.txt") & faReadOnly, 0);
  EXPECT_FALSE(HostExists(C("moved.txt")));
  EXPECT_FALSE(HostExists(C("copy.txt")));
  EXPECT_FALSE(HostExists(C("new")));
  EXPECT_EQ(faults_->FailureCount(), faults_->OperationCount());
}

TEST_F(FaultTest, PathRulesMatchTheirKindAnywhereWithoutRegardToCase) {
  faults_->FailMatching(FaultKind::DeleteFile, "*\\tf4\\file.txt");
  faults_->FailMatching(FaultKind::MoveFile, A("Корвина"));
  WriteHostFile(C("a.txt"), "a");
  std::vector<bool> outcome = RunScript();
  EXPECT_EQ(outcome, (std::vector<bool>{true, true, true, true, true, false}));  // only the delete
  EXPECT_TRUE(HostExists(C("TF4/FILE.TXT")));
  // The second path of a move is matched too, by the 1251 case rules.
  ASSERT_TRUE(FileSystem().CreateDirectory(A("C:\\Папка КОРВИНА")));
  EXPECT_FALSE(FileSystem().MoveFile("C:\\a.txt", A("C:\\Папка корвина\\a.txt")));
  EXPECT_TRUE(FileSystem().DeleteFile("C:\\a.txt"));  // another path: not failed
}

TEST_F(FaultTest, WritesThroughHandlesCountAndFailEvenAfterTheFileSystemIsGone) {
  faults_->FailMatching(FaultKind::Write, "log.txt");
  std::string error;
  auto handle = FileSystem().Open("C:\\log.txt", OpenMode::Create, error);
  ASSERT_NE(handle, nullptr) << error;
  SetFileSystem(nullptr);
  faults_.reset();  // the handle keeps the rules alive
  EXPECT_EQ(handle->Write("x", 1), -1);
  EXPECT_FALSE(handle->Truncate(0));
  EXPECT_FALSE(handle->SetDate(0x00210000));
  char buffer[4];
  EXPECT_EQ(handle->Read(buffer, 4), 0);  // reading is no change
  handle.reset();
  EXPECT_EQ(*ReadHostFile(C("log.txt")), "");
}

TEST(FaultPattern, WildcardsMatchAnywhere) {
  struct Case {
    const char* pattern;
    const char* text;  // UTF-8 here
    bool matches;
  };
  const Case cases[] = {
      {"file.txt", "C:\\TF4\\FILE.TXT", true},
      {"*\\TF4\\FILE.TXT", "C:\\Program Files\\tf4\\file.txt", true},
      {"*/tf4/file.txt", "C:\\TF4\\FILE.TXT", true},
      {"TF4\\F?LE", "C:\\TF4\\FOLE.TXT", true},
      {"TF4\\F?LE", "C:\\TF4\\FLE.TXT", false},
      {"C:\\*\\UNINST\\*.LOG", "C:\\TF4\\UNINST\\tf4.log", true},
      {"C:\\*\\UNINST\\*.LOG", "C:\\TF4\\UNINST\\tf4.txt", false},
      {"корвина", "C:\\КОРВИНА\\Ёлка", true},
      {"ёлка", "C:\\КОРВИНА\\ЁЛКА", true},
      {"TEMP", "C:\\TF4\\TEM", false},
      {"*", "", true},
  };
  for (const Case& test : cases)
    EXPECT_EQ(FaultPatternMatches(A(test.pattern), A(test.text)), test.matches) << test.pattern << " " << test.text;
}

TEST(FaultRules, MalformedRulesAreRefusedWithAReasonAndAddNothing) {
  const char* bad[] = {"nth", "nth=", "nth=0", "nth=x", "nth=3,", "from=-2", "unlink=*", "delete=", "=5",
                       "nth=3;bogus"};
  for (const char* rules : bad) {
    FaultInjectingFileSystem faults(RealFileSystem());
    std::string error;
    EXPECT_FALSE(faults.AddRules(rules, error)) << rules;
    EXPECT_FALSE(error.empty()) << rules;
    // Nothing of a refused text applies: operation 3 still goes through.
    WineRoot root;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(faults.CreateDirectory("C:\\d" + std::to_string(i))) << rules;
  }
}

TEST(FaultEnvironment, InstallsRulesAndLogsEachNumberedChange) {
  WineRoot root;
  const std::string log = root.Root() + "/faults.log";
  setenv("CORVINA_FAULTS", "nth=2; delete=*\\gone.txt", 1);
  setenv("CORVINA_FAULT_LOG", log.c_str(), 1);
  InstallFaultsFromEnvironment();
  unsetenv("CORVINA_FAULTS");
  unsetenv("CORVINA_FAULT_LOG");
  ASSERT_NE(std::dynamic_pointer_cast<FaultInjectingFileSystem>(CurrentFileSystem()), nullptr);
  WriteHostFile(root.DriveC() + "/gone.txt", "g");
  IFileSystem& fs = FileSystem();
  EXPECT_TRUE(fs.CreateDirectory(A("C:\\Один")));
  EXPECT_FALSE(fs.CreateDirectory("C:\\Two"));
  EXPECT_FALSE(fs.DeleteFile("C:\\GONE.TXT"));
  EXPECT_TRUE(fs.MoveFile("C:\\gone.txt", "C:\\kept.txt"));
  EXPECT_EQ(*ReadHostFile(log),
            "1 CreateDirectory C:\\Один ok\n"
            "2 CreateDirectory C:\\Two FAILED\n"
            "3 DeleteFile C:\\GONE.TXT FAILED\n"
            "4 MoveFile C:\\gone.txt -> C:\\kept.txt ok\n");
}

TEST(FaultEnvironment, NothingIsInstalledWithoutTheVariablesAndBadRulesRaise) {
  WineRoot root;
  unsetenv("CORVINA_FAULTS");
  unsetenv("CORVINA_FAULT_LOG");
  InstallFaultsFromEnvironment();
  EXPECT_EQ(CurrentFileSystem(), RealFileSystem());
  setenv("CORVINA_FAULTS", "nth=often", 1);
  EXPECT_THROW(InstallFaultsFromEnvironment(), Exception);
  unsetenv("CORVINA_FAULTS");
  EXPECT_EQ(CurrentFileSystem(), RealFileSystem());
}

}  // namespace
}  // namespace corvina
