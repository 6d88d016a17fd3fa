// The options file: a table of file contents, each read by ReadSetupOptions from setup.ini beside a
// setup program at C:\Dist\setup.exe in a temporary Wine-style root, and compared with the options
// it must give: the defaults, the "%PROGRAMFILESDIR%" replacement (any case, first occurrence,
// InstallDir only), the integer rules of the booleans, case-free names, blanks and quotes around
// values, the 2047-character cut and the ExcludeDir list with its gap and its 20-entry limit. Then
// the cases where the file cannot be read: no file, a folder of that name, a failing open.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Folders.h"
#include "app/OptionsFile.h"
#include "app/SetupDefinition.h"
#include "app/Startup.h"
#include "platform/CodePage.h"
#include "platform/FaultInjectingFileSystem.h"
#include "support/WineRoot.h"

// The expected options are written with designated initializers naming only the fields that differ
// from the defaults; the members left out take their defaults, which is the point.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace corvina {
namespace {

using List = std::vector<std::string>;

struct Expected {
  std::string InstallDir;
  bool AutoRun = false;
  bool SelectDialog = true;
  bool FinalMessage = true;
  bool StartMenu = true;
  bool Desktop = true;
  bool Run = true;
  std::string Params;
  List ExcludeDir;
};

List ExcludeDirList() {
  List list;
  for (int32_t i = 0; i < SetupOptions.ExcludeDirCount; ++i) list.push_back(SetupOptions.ExcludeDir[i]);
  return list;
}

void ExpectOptions(const Expected& e) {
  EXPECT_EQ(SetupOptions.InstallDir, e.InstallDir);
  EXPECT_EQ(SetupOptions.AutoRun, e.AutoRun);
  EXPECT_EQ(SetupOptions.SelectDialog, e.SelectDialog);
  EXPECT_EQ(SetupOptions.FinalMessage, e.FinalMessage);
  EXPECT_EQ(SetupOptions.StartMenu, e.StartMenu);
  EXPECT_EQ(SetupOptions.Desktop, e.Desktop);
  EXPECT_EQ(SetupOptions.Run, e.Run);
  EXPECT_EQ(SetupOptions.Params, e.Params);
  EXPECT_EQ(ExcludeDirList(), e.ExcludeDir);
}

// Every option away from its default, so that a reader that forgets to reset one is caught.
void SpoilOptions() {
  SetupOptions.InstallDir = "stale";
  SetupOptions.AutoRun = true;
  SetupOptions.SelectDialog = SetupOptions.FinalMessage = SetupOptions.StartMenu = false;
  SetupOptions.Desktop = SetupOptions.Run = false;
  SetupOptions.Params = "stale";
  SetupOptions.ExcludeDir[0] = "stale";
  SetupOptions.ExcludeDirCount = 1;
}

std::string Numbered(int from, int to) {
  std::string text = "[ExcludeDir]\n";
  for (int k = from; k <= to; ++k) text += std::to_string(k) + "=E" + std::to_string(k) + "\n";
  return text;
}

List NumberedList(int from, int to) {
  List list;
  for (int k = from; k <= to; ++k) list.push_back("E" + std::to_string(k));
  return list;
}

class SetupOptionsTest : public ::testing::Test {
protected:
  void SetUp() override {
    mkdir((root_.DriveC() + "/Dist").c_str(), 0777);
    SetProgramFile("C:\\Dist\\setup.exe");
    ProgramFilesDir = "C:\\Program Files";
    SpoilOptions();
  }
  void TearDown() override {
    SetProgramFile("");
    SetupOptions = TSetupOptions();
  }
  void WriteOptions(const std::string& content) { testing::WriteHostFile(IniHost(), content); }
  std::string IniHost() const { return root_.DriveC() + "/Dist/setup.ini"; }

  testing::WineRoot root_;
};

TEST_F(SetupOptionsTest, FileContentsGiveTheirOptions) {
  const std::string long_value(3000, 'a');
  const struct {
    const char* name;
    std::string content;
    Expected expected;
  } cases[] = {
      {"empty file", "", {}},
      {"macro in mixed case",
       "[Main]\nInstallDir=%ProgramFilesDir%\\TF4\n",
       {.InstallDir = "C:\\Program Files\\TF4"}},
      {"only the first macro, not elsewhere, trailing backslash kept",
       "[Main]\nInstallDir=x%PROGRAMFILESDIR%\\%programfilesdir%\\\n[Setup]\nParams=%PROGRAMFILESDIR% /q\n",
       {.InstallDir = "xC:\\Program Files\\%programfilesdir%\\", .Params = "%PROGRAMFILESDIR% /q"}},
      {"macro after Cyrillic text",
       Utf8ToAnsi("[Main]\nInstallDir=D:\\Задачи\\%пРОГРАММ%%ProgramFilesDir%\n"),
       {.InstallDir = Utf8ToAnsi("D:\\Задачи\\%пРОГРАММ%C:\\Program Files")}},
      {"unattended run",
       "[Main]\nAutoRun=1\nSelectDialog=0\nFinalMessage=0\n",
       {.AutoRun = true, .SelectDialog = false, .FinalMessage = false}},
      {"not integers read as the defaults",
       "[Main]\nAutoRun=yes\nSelectDialog=no\nFinalMessage=\n[Links]\nStartMenu=0x\nDesktop=1.0\n[Setup]\nRun=0 0\n",
       {}},
      {"integers: hexadecimal, signs, any non-zero",
       "[Main]\nAutoRun=0x10\nSelectDialog=0X0\nFinalMessage=0x00\n[Links]\nStartMenu=-1\nDesktop=00\n[Setup]\nRun=7\n",
       {.AutoRun = true, .SelectDialog = false, .FinalMessage = false, .StartMenu = true, .Desktop = false}},
      {"names without regard to case, blanks dropped, CR LF lines",
       "[main]\r\n  installdir =   C:\\A B  \r\n[LINKS]\r\nSTARTMENU = 0\r\n[ setup ]\r\nparams = \t/s /v \r\n",
       {.InstallDir = "C:\\A B", .StartMenu = false, .Params = "/s /v"}},
      {"quotes around a value",
       "[Main]\nInstallDir=\"C:\\Program Files\\TF4 \"\n[Setup]\nParams='\"a\"'\n",
       {.InstallDir = "C:\\Program Files\\TF4 ", .Params = "\"a\""}},
      {"first of duplicate keys, keys outside any section ignored, comments passed over",
       "AutoRun=1\n; a comment\n[Main]\nInstallDir=C:\\first\n[Other]\nInstallDir=C:\\other\n[Main]\nInstallDir=C:\\second\n",
       {.InstallDir = "C:\\first"}},
      {"a value cut to 2047 characters", "[Setup]\nParams=" + long_value + "\n", {.Params = long_value.substr(0, 2047)}},
      {"exclude list, case kept", "[ExcludeDir]\n1=vc6\n2=Docs\n", {.ExcludeDir = {"vc6", "Docs"}}},
      {"keys 1 to 25 give 20 entries", Numbered(1, 25), {.ExcludeDir = NumberedList(1, 20)}},
      {"keys after the first gap are not read", "[ExcludeDir]\n1=A\n2=B\n4=D\n", {.ExcludeDir = {"A", "B"}}},
      {"an empty entry ends the list", "[ExcludeDir]\n1=A\n2=\n3=C\n", {.ExcludeDir = {"A"}}},
      {"no key 1, no list", Numbered(2, 5), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SpoilOptions();
    WriteOptions(c.content);
    ReadSetupOptions();
    ExpectOptions(c.expected);
  }
}

TEST_F(SetupOptionsTest, TheFileFollowsTheProgramsOwnName) {
  SetProgramFile("C:\\Dist\\install.exe");
  EXPECT_EQ(OptionsFileName(), "C:\\Dist\\install.ini");
  WriteOptions("[Main]\nAutoRun=1\n");  // setup.ini is not this program's file
  testing::WriteHostFile(root_.DriveC() + "/Dist/install.ini", "[Main]\nInstallDir=C:\\Mine\n");
  ReadSetupOptions();
  ExpectOptions({.InstallDir = "C:\\Mine"});
}

TEST_F(SetupOptionsTest, AFileThatCannotBeReadLeavesTheDefaults) {
  // No file at all.
  ReadSetupOptions();
  ExpectOptions({});

  // A folder of that name.
  SpoilOptions();
  mkdir(IniHost().c_str(), 0777);
  ReadSetupOptions();
  ExpectOptions({});
  rmdir(IniHost().c_str());

  // A file that exists but cannot be opened.
  WriteOptions("[Main]\nAutoRun=1\nInstallDir=C:\\X\n");
  auto faults = std::make_shared<FaultInjectingFileSystem>(CurrentFileSystem());
  faults->FailMatching(FaultKind::Open, "setup.ini");
  SetFileSystem(faults);
  SpoilOptions();
  EXPECT_NO_THROW(ReadSetupOptions());
  ExpectOptions({});
  SetFileSystem(nullptr);

  // The same file read normally, so the failure above is the open's.
  ReadSetupOptions();
  ExpectOptions({.InstallDir = "C:\\X", .AutoRun = true});
}

TEST(ProfileText, ReadsIntegersWithTheirFallback) {
  const TProfileText profile("[S]\na=12\nb=0x1F\nc=$10\nd=x1\ne=99999999999\nf=0xFFFFFFFF\n");
  const struct {
    const char* key;
    int32_t expected;
  } cases[] = {{"a", 12}, {"b", 31}, {"c", 16}, {"d", -5}, {"e", -5}, {"f", -1}, {"missing", -5}};
  for (const auto& c : cases) EXPECT_EQ(profile.ReadInteger("s", c.key, -5), c.expected) << c.key;
}

}  // namespace
}  // namespace corvina
