// The built `zipread extract` command: what it writes, what it reports on standard error and its
// exit status (0 all extracted, 1 some entry not extracted, 2 the archive could not be read), on
// archives made by Info-ZIP `zip`, on the zip-slip corpus (nothing may land outside DIR), and on
// every corpus archive, where neither `list` nor `extract` may crash or hang.
//
// Each run gets its own temporary Wine root (WINEPREFIX), so the program sees host paths through
// drive Z: as it does for a user. Sanitizer reports exit with 99, told apart from the command's own
// statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/Corpus.h"
#include "support/InfoZipArchive.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;

const std::string kZipread = std::string(CORVINA_BINARY_DIR) + "/zipread";
const fs::path kCorpus = testing::CorpusDir();

struct RunResult {
  int exit_code = -1;  // -1 when the program did not exit normally (a signal, a time-out)
  std::string err;
};

std::map<std::string, std::string> Tree(const fs::path& folder) { return testing::HostTree(folder); }

class ZipreadCli : public ::testing::Test {
protected:
  void SetUp() override {
    if (!fs::exists(kZipread)) GTEST_SKIP() << "zipread is not built";
    work_ = fs::path(temp_.Path());
    fs::create_directories(work_ / "prefix");
  }

  // Runs zipread in the work folder with the arguments (each quoted), at most 120 seconds;
  // standard output is discarded.
  RunResult Run(const std::vector<std::string>& args) {
    const fs::path err_file = work_ / "stderr.txt";
    std::string command = "cd '" + work_.string() + "' && WINEPREFIX='" + (work_ / "prefix").string() +
                          "' ASAN_OPTIONS=\"$ASAN_OPTIONS:exitcode=99\" UBSAN_OPTIONS=\"$UBSAN_OPTIONS:exitcode=99\" "
                          "timeout 120 '" + kZipread + "'";
    for (const std::string& a : args) command += " '" + a + "'";
    command += " </dev/null >/dev/null 2>'" + err_file.string() + "'";
    RunResult result;
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) != 124) result.exit_code = WEXITSTATUS(status);
    result.err = testing::ReadHostFile(err_file.string()).value_or("");
    return result;
  }

  void Write(const fs::path& rel, const std::string& content) {
    fs::create_directories((work_ / rel).parent_path());
    testing::WriteHostFile((work_ / rel).string(), content);
  }

  testing::TempDir temp_;
  fs::path work_;
};

TEST_F(ZipreadCli, ExtractsEverythingOrTheSelectedPatterns) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  Write("src/a.txt", "alpha");
  Write("src/docs/b.TXT", "beta");
  Write("src/docs/c.dat", "gamma");
  ASSERT_TRUE(testing::RunZip(work_ / "src", "-r ../t.zip ."));

  RunResult all = Run({"extract", "-d", "all", "t.zip"});
  EXPECT_EQ(all.exit_code, 0) << all.err;
  EXPECT_EQ(all.err, "");
  EXPECT_EQ(Tree(work_ / "all"), Tree(work_ / "src"));

  RunResult some = Run({"extract", "-d", "some", "t.zip", "*.txt"});
  EXPECT_EQ(some.exit_code, 0) << some.err;
  EXPECT_EQ(Tree(work_ / "some"), (std::map<std::string, std::string>{
                                       {"a.txt", "alpha"}, {"docs/", ""}, {"docs/b.TXT", "beta"}}));

  // Without -d the current folder is the destination.
  fs::create_directories(work_ / "here");
  fs::copy_file(work_ / "t.zip", work_ / "here" / "t.zip");
  const fs::path saved = work_;
  work_ = work_ / "here";
  RunResult here = Run({"extract", "t.zip", "a.txt"});
  work_ = saved;
  EXPECT_EQ(here.exit_code, 0) << here.err;
  EXPECT_EQ(testing::ReadHostFile((work_ / "here" / "a.txt").string()), "alpha");
}

TEST_F(ZipreadCli, KeepingAnExistingFileOrAWrongPasswordExitsWithOne) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  Write("src/a.txt", "new");
  Write("src/b.txt", "bee");
  ASSERT_TRUE(testing::RunZip(work_ / "src", "../t.zip a.txt b.txt"));
  ASSERT_TRUE(testing::RunZip(work_ / "src", "-P secret ../p.zip a.txt"));
  Write("kept/a.txt", "old");

  RunResult kept = Run({"extract", "-n", "-d", "kept", "t.zip"});
  EXPECT_EQ(kept.exit_code, 1);
  EXPECT_EQ(kept.err, "a.txt: exists, kept\n");
  EXPECT_EQ(Tree(work_ / "kept"), (std::map<std::string, std::string>{{"a.txt", "old"}, {"b.txt", "bee"}}));

  RunResult replaced = Run({"extract", "-d", "kept", "t.zip"});
  EXPECT_EQ(replaced.exit_code, 0) << replaced.err;
  EXPECT_EQ(testing::ReadHostFile((work_ / "kept" / "a.txt").string()), "new");

  for (const char* password : {"", "wrong"}) {
    SCOPED_TRACE(password);
    std::vector<std::string> args = {"extract", "-d", "locked", "p.zip"};
    if (*password != '\0') args.insert(args.begin() + 1, {"-P", password});
    RunResult locked = Run(args);
    EXPECT_EQ(locked.exit_code, 1);
    EXPECT_EQ(locked.err, "a.txt: wrong or missing password\n");
    EXPECT_FALSE(fs::exists(work_ / "locked" / "a.txt"));
  }
  RunResult opened = Run({"extract", "-P", "secret", "-d", "opened", "p.zip"});
  EXPECT_EQ(opened.exit_code, 0) << opened.err;
  EXPECT_EQ(testing::ReadHostFile((work_ / "opened" / "a.txt").string()), "new");
}

TEST_F(ZipreadCli, ZipSlipArchivesWriteOnlyInsideTheDestination) {
  const fs::path dir = kCorpus / "zip-slip";
  if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
  const bool evil_existed = fs::exists("/tmp/evil.txt");
  for (const char* name : {"zip-slip.zip", "zip-slip-win.zip"}) {
    SCOPED_TRACE(name);
    fs::remove_all(work_ / "box");
    fs::create_directories(work_ / "box");
    // The destination is deep enough that a climb of any depth would land inside box/ first.
    RunResult r = Run({"extract", "-d", "box/a/b/c/out", (dir / name).string()});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("evil.txt: not written"), std::string::npos) << r.err;
    std::vector<std::string> written;
    for (const auto& [path, content] : Tree(work_ / "box")) written.push_back(path);
    EXPECT_EQ(written, (std::vector<std::string>{"a/", "a/b/", "a/b/c/", "a/b/c/out/", "a/b/c/out/good.txt"}));
    if (!evil_existed) {
      EXPECT_FALSE(fs::exists("/tmp/evil.txt"));
    }
    EXPECT_TRUE(fs::exists(work_ / "box/a/b/c/out/good.txt"));
  }
}

TEST_F(ZipreadCli, UnreadableArchivesAndBadCommandLinesExitWithTwo) {
  Write("garbage.zip", "this is not an archive at all, just some text");
  struct Case {
    std::vector<std::string> args;
    const char* message;  // part of standard error
  };
  const Case cases[] = {
      {{"extract", "-d", "out", "missing.zip"}, "missing.zip"},
      {{"extract", "-d", "out", "garbage.zip"}, "Incomplete Zip File"},  // no end record
      {{"extract"}, "usage"},
      {{"extract", "-d"}, "usage"},
      {{"extract", "-x", "garbage.zip"}, "usage"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    RunResult r = Run(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(work_ / "out" / "garbage.zip"));
  }
}

// Every archive of the corpus, odd or damaged ones included: list and extract end with one of
// the command's own statuses, never a crash, a sanitizer report or a hang, and nothing is
// written outside the destination.
TEST_F(ZipreadCli, NoCorpusArchiveCrashesListOrExtract) {
  if (!fs::exists(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  int archives = 0;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(kCorpus)) {
    const std::string ext = e.path().extension().string();
    if (!e.is_regular_file() || (ext != ".zip" && ext != ".ZIP")) continue;
    ++archives;
    SCOPED_TRACE(e.path().string());
    fs::remove_all(work_ / "box");
    fs::create_directories(work_ / "box");
    for (const char* command : {"list", "extract"}) {
      std::vector<std::string> args = {command};
      if (std::string(command) == "extract") args.insert(args.end(), {"-d", "box/a/b/c/out"});
      args.push_back(e.path().string());
      RunResult r = Run(args);
      EXPECT_TRUE(r.exit_code == 0 || r.exit_code == 1 || r.exit_code == 2)
          << command << " exit " << r.exit_code << "\n" << r.err;
      if (std::string(command) == "list") {
        EXPECT_NE(r.exit_code, 1);
      }
    }
    for (const auto& [path, content] : Tree(work_ / "box")) {
      const bool inside = path == "a/" || path == "a/b/" || path == "a/b/c/" || path.rfind("a/b/c/out/", 0) == 0;
      EXPECT_TRUE(inside) << "written outside the destination: " << path;
    }
  }
  EXPECT_GT(archives, 0);
}

}  // namespace
}  // namespace corvina
