// Replays the recorded inputs of the fuzz targets through the same entry functions the fuzzers run
// (fuzz/FuzzTargets.h). tests/fixtures/fuzz/<target>/ holds inputs that must pass: seeds that
// reach deep into each decoder and every finding once it is fixed. tests/fixtures/fuzz/<target>/
// open/ holds findings whose fix lies in code another change owns; they are replayed expecting
// the fault, so the fix shows up here as a failure and the input then moves up into the target's
// folder. Each input runs in a child process (a death test): a target aborts on a fault, and the
// archive target turns the process into a sandboxed Wine-style root that must not outlive it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "../../fuzz/FuzzTargets.h"
#include "support/WineRoot.h"

namespace corvina::fuzz {

// Names the target in test failures instead of dumping its bytes.
void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

namespace {

namespace fs = std::filesystem;

const fs::path kFixtures = fs::path(CORVINA_SOURCE_DIR) / "tests" / "fixtures" / "fuzz";

std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& item : fs::directory_iterator(folder))
    if (item.is_regular_file()) files.push_back(item.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<uint8_t> ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs one input in the current process and ends it with 0 when the target came back.
[[noreturn]] void RunAndExit(const Target& target, const std::vector<uint8_t>& input) {
  target.run(input.data(), input.size());
  std::exit(0);
}

bool DidNotExitCleanly(int status) { return !(WIFEXITED(status) && WEXITSTATUS(status) == 0); }

// The children make their sandbox under TMPDIR; one that aborts cannot remove it, so TMPDIR points
// into a folder of this process for the test's duration, removed afterwards.
class ChildTempFolder {
public:
  ChildTempFolder() : folder_(testing::MakeTempFolder()) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    setenv("TMPDIR", folder_.c_str(), 1);
  }
  ~ChildTempFolder() {
    if (old_.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", old_.c_str(), 1);
    testing::RemoveTree(folder_);
  }
  ChildTempFolder(const ChildTempFolder&) = delete;
  ChildTempFolder& operator=(const ChildTempFolder&) = delete;

private:
  std::string folder_;
  std::string old_;
};

class FuzzRegressions : public ::testing::TestWithParam<Target> {
protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  ChildTempFolder temp_;
};

TEST_P(FuzzRegressions, RecordedInputsPass) {
  const Target& target = GetParam();
  const std::vector<fs::path> inputs = FilesIn(kFixtures / target.name);
  // Without inputs this test would pass without running the target.
  ASSERT_FALSE(inputs.empty()) << "no recorded inputs in " << (kFixtures / target.name);
  for (const fs::path& file : inputs) {
    SCOPED_TRACE(file.string());
    const std::vector<uint8_t> input = ReadAll(file);
    EXPECT_EXIT(RunAndExit(target, input), ::testing::ExitedWithCode(0), "");
  }
}

TEST_P(FuzzRegressions, OpenFindingsStillFault) {
  const Target& target = GetParam();
  for (const fs::path& file : FilesIn(kFixtures / target.name / "open")) {
    SCOPED_TRACE(file.string() + ": no longer faults; move it up into " + (kFixtures / target.name).string());
    const std::vector<uint8_t> input = ReadAll(file);
    EXPECT_EXIT(RunAndExit(target, input), DidNotExitCleanly, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

// The archive target's checks must be able to fire, or a clean replay would prove nothing.
struct EscapeCase {
  const char* what;
  void (*act)(ArchiveSandbox& sandbox);
  bool faults;
};

void WriteThroughReader(const std::string& windows_path) {
  std::string error;
  auto file = FileSystem().Open(windows_path, OpenMode::Create, error);
  if (file) file->Write("x", 1);
}

const EscapeCase kEscapeCases[] = {
    {"a file written inside the destination",
     [](ArchiveSandbox& s) {
       s.CleanDestination();
       WriteThroughReader(FileSystem().WindowsPath(s.DestHost()) + "\\inner.txt");
       s.CheckNothingEscaped();
     },
     false},
    {"a file opened for writing beside the destination",
     [](ArchiveSandbox& s) { WriteThroughReader(FileSystem().WindowsPath(s.DestHost()) + "\\..\\beside.txt"); },
     true},
    {"a folder made outside the destination",
     [](ArchiveSandbox& s) { FileSystem().CreateDirectory(FileSystem().WindowsPath(s.Root() + "/drive_c") + "\\x"); },
     true},
    {"a file left in the root by other means",
     [](ArchiveSandbox& s) {
       std::ofstream(s.Root() + "/drive_c/stray.txt") << "x";
       s.CheckNothingEscaped();
     },
     true},
    {"a symbolic link inside the destination",
     [](ArchiveSandbox& s) {
       s.CleanDestination();
       fs::create_symlink("/", s.DestHost() + "/link");
       s.CheckNothingEscaped();
     },
     true},
};

TEST(FuzzArchiveSandbox, GuardsCatchEveryEscape) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ChildTempFolder temp;
  for (const EscapeCase& c : kEscapeCases) {
    SCOPED_TRACE(c.what);
    auto run = [&c] {
      c.act(ArchiveSandbox::Get());
      std::exit(0);
    };
    if (c.faults) EXPECT_EXIT(run(), DidNotExitCleanly, "outside the destination|other than a file");
    else EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
  }
}

TEST(FuzzOracles, PlainCrc32MatchesTheCheckValue) {
  const std::string check = "123456789";
  EXPECT_EQ(PlainCrc32(std::vector<uint8_t>(check.begin(), check.end())), 0xCBF43926u);
  EXPECT_EQ(PlainCrc32({}), 0u);
}

}  // namespace
}  // namespace corvina::fuzz
