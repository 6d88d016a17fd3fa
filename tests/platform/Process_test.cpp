// Starting programs: a "#!" script gets its working folder and arguments and runs on after the call
// returned; Windows executables go through wine from PATH; everything else fails without a word;
// no child process of ours is left behind, running or as a zombie.
#include "platform/Process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::ReadHostFile;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

void WriteScript(const std::string& path, const std::string& body, mode_t mode = 0755) {
  WriteHostFile(path, body);
  chmod(path.c_str(), mode);
}

// Waits for a file the started program writes; bounded, so a program that never writes fails the test.
std::optional<std::string> WaitForFile(const std::string& path) {
  for (int i = 0; i < 2000; ++i) {
    if (HostExists(path)) return ReadHostFile(path);
    usleep(5000);
  }
  return std::nullopt;
}

// True when this process has no child at all, neither running nor a zombie.
bool NoChildren() {
  errno = 0;
  return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

class ProcessTest : public ::testing::Test {
protected:
  void SetUp() override {
    old_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    mkdir((root_.DriveC() + "/work dir").c_str(), 0777);
  }
  void TearDown() override { setenv("PATH", old_path_.c_str(), 1); }
  std::string C(const std::string& name) const { return root_.DriveC() + "/" + name; }

  WineRoot root_;
  std::string old_path_;
};

TEST_F(ProcessTest, ScriptRunsInItsFolderWithItsArgumentsAndIsNotAwaited) {
  // The script waits for a "go" file that the test makes only after RunProgram has returned, so
  // a RunProgram that waited for it would never return (the script gives up after a while).
  const std::string go = C("go");
  const std::string out = C("out.txt");
  WriteScript(C("prog.sh"),
              "#!/bin/sh\n"
              "i=0\n"
              "while [ ! -e '" + go + "' ] && [ $i -lt 400 ]; do sleep 0.05; i=$((i+1)); done\n"
              "{ pwd; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > '" + out + ".tmp'\n"
              "mv '" + out + ".tmp' '" + out + "'\n");
  ASSERT_TRUE(RunProgram("C:\\prog.sh", A("plain \"two words\" \"\" back\\\\slash \"q\\\"uote\" Задачник"),
                         "C:\\work dir", 0));
  EXPECT_FALSE(HostExists(out)) << "RunProgram returned only after the program ended";
  WriteHostFile(go, "");
  auto written = WaitForFile(out);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, C("work dir") + "\n[plain]\n[two words]\n[]\n[back\\\\slash]\n[q\"uote]\n[Задачник]\n");
  EXPECT_TRUE(NoChildren());
}

TEST_F(ProcessTest, WindowsExecutablesGoThroughWineOnPath) {
  const std::string bin = C("bin");
  mkdir(bin.c_str(), 0777);
  const std::string out = C("wine-args.txt");
  WriteScript(bin + "/wine", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > '" + out + ".tmp'\nmv '" + out +
                                 ".tmp' '" + out + "'\n");
  WriteHostFile(C("setup.exe"), "MZ\x90\x00 not really a program");
  setenv("PATH", (bin + ":" + old_path_).c_str(), 1);
  ASSERT_TRUE(RunProgram("c:\\SETUP.EXE", "/S \"C:\\a b\"", "", 0));
  auto written = WaitForFile(out);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(*written, "[C:\\setup.exe]\n[/S]\n[C:\\a b]\n");

  setenv("PATH", bin.c_str(), 1);
  unlink((bin + "/wine").c_str());
  EXPECT_FALSE(RunProgram("C:\\setup.exe", "", "", 0)) << "no wine on PATH";
  EXPECT_TRUE(NoChildren());
}

TEST_F(ProcessTest, WhatCannotBeStartedFailsSilently) {
  WriteScript(C("not-executable.sh"), "#!/bin/sh\ntouch '" + C("ran") + "'\n", 0644);
  WriteScript(C("text.txt"), "just text\n", 0755);
  WriteScript(C("empty"), "", 0755);
  WriteScript(C("ok.sh"), "#!/bin/sh\ntouch '" + C("ran") + "'\n");
  WriteScript(C("bad-interpreter.sh"), "#!/no/such/interpreter\n");
  mkdir(C("folder").c_str(), 0777);
  struct Case {
    const char* program;
    const char* directory;
  } cases[] = {
      {"C:\\not-executable.sh", ""}, {"C:\\text.txt", ""},         {"C:\\empty", ""},
      {"C:\\missing.sh", ""},        {"C:\\folder", ""},           {"", ""},
      {"Q:\\ok.sh", ""},             {"C:\\ok.sh", "C:\\missing"}, {"C:\\bad-interpreter.sh", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.program) + " in " + c.directory);
    EXPECT_FALSE(RunProgram(c.program, "", c.directory, 0));
  }
  EXPECT_FALSE(HostExists(C("ran")));
  EXPECT_TRUE(NoChildren());
}

TEST(SplitCommandLineTest, FollowsTheWindowsRules) {
  struct Case {
    const char* line;
    std::vector<std::string> args;
  } cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"a  b\tc", {"a", "b", "c"}},
      {"\"a b\" c", {"a b", "c"}},
      {"\"\"", {""}},
      {"a\"b c\"d", {"ab cd"}},
      {"a\\b\\\\c", {"a\\b\\\\c"}},            // backslashes not before a quote stay
      {"a\\\"b", {"a\"b"}},                    // \" is a quote
      {"a\\\\\"b c\"", {"a\\b c"}},            // \\" is a backslash and a delimiter
      {"a\\\\\\\"b", {"a\\\"b"}},              // \\\" is a backslash and a quote
      {"\"a\"\"b\"", {"a\"b"}},                // "" inside quotes is a quote
      {"\"unterminated arg", {"unterminated arg"}},
      {"\"C:\\UNINST\\corvina1_0.log\"", {"C:\\UNINST\\corvina1_0.log"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitCommandLine(c.line), c.args);
  }
}

TEST(ShowCommandForModeTest, MapsTheModes) {
  const int32_t expected[][2] = {{0, 5}, {1, 3}, {2, 2}, {3, 7}, {4, 0}, {-1, 0}, {100, 0}};
  for (const auto& pair : expected) EXPECT_EQ(ShowCommandForMode(pair[0]), pair[1]) << pair[0];
}

}  // namespace
}  // namespace corvina
