// The two path macros and the run's expansion step over the setup definition: every occurrence in
// any ASCII case, nothing added around the value, the bare-drive backslash of "%STARTDIR%", the
// order and scope of ExpandConfiguredPaths (Params alone sees "%STARTDIR%", LinkName keeps its
// text) and folders whose own name holds the macro text.
#include <gtest/gtest.h>

#include <string>

#include "app/Folders.h"
#include "app/SetupDefinition.h"
#include "install/PathMacros.h"

namespace corvina {
namespace {

struct MacroCase {
  const char* text;
  const char* folder;
  const char* install_expected;
  const char* start_expected;
};

TEST(InstallPathMacrosTest, ReplacesEveryOccurrenceInAnyCase) {
  const MacroCase cases[] = {
      {"%InstallDir%\\MPICH1", "C:\\TF4", "C:\\TF4\\MPICH1", "%InstallDir%\\MPICH1"},
      {"%installdir%;%INSTALLDIR%;%InStAlLdIr%", "D:\\x", "D:\\x;D:\\x;D:\\x", "%installdir%;%INSTALLDIR%;%InStAlLdIr%"},
      {"%InstallDir", "C:\\TF4", "%InstallDir", "%InstallDir"},
      {"no macro", "C:\\TF4", "no macro", "no macro"},
      {"", "C:\\TF4", "", ""},
      {"%STARTDIR%\\setup.dat", "E:", "%STARTDIR%\\setup.dat", "E:\\\\setup.dat"},
      {"-d %StartDir%", "E:\\dist", "-d %StartDir%", "-d E:\\dist"},
      {"-d %startdir% %STARTDIR%", "E:", "-d %startdir% %STARTDIR%", "-d E:\\ E:\\"},
      // A folder that holds its macro's own text is inserted once, and the expansion ends.
      {"%InstallDir%\\a", "C:\\%InstallDir%", "C:\\%InstallDir%\\a", "%InstallDir%\\a"},
      {"[%STARTDIR%]", "C:\\%startdir%", "[%STARTDIR%]", "[C:\\%startdir%]"},
      // Cyrillic bytes around the macro are left alone.
      {"\xCF\xF3\xF2\xFC %InstallDir%", "C:\\\xC7", "\xCF\xF3\xF2\xFC C:\\\xC7", "\xCF\xF3\xF2\xFC %InstallDir%"},
  };
  for (const MacroCase& c : cases) {
    EXPECT_EQ(ExpandInstallDir(c.text, c.folder), c.install_expected) << c.text;
    EXPECT_EQ(ExpandStartDir(c.text, c.folder), c.start_expected) << c.text;
  }
}

class ExpandConfiguredPathsTest : public ::testing::Test {
protected:
  void SetUp() override {
    saved_options_ = SetupOptions;
    FillSetupDefinition();
    InstallDir = "C:\\Program Files\\TF4";
    StartDir = "E:";
  }
  void TearDown() override {
    SetupOptions = saved_options_;
    InstallDir.clear();
    StartDir.clear();
    FillSetupDefinition();
  }
  TSetupOptions saved_options_;
};

TEST_F(ExpandConfiguredPathsTest, ExpandsTheConfiguredValuesInPlace) {
  SetupProgram = "%InstallDir%\\tf4setup.exe %STARTDIR%";
  SetupWorkDir = "%installdir%";
  SetupParams = "/s %InstallDir%";
  SetupOptions.Params = "";
  CreatedDirCount = 2;
  Shortcuts[0] = {"%InstallDir%\\a.chm", "\"%InstallDir%\\x\"", "%InstallDir%", "%InstallDir%\\UNINST",
                  "%InstallDir% link"};
  Shortcuts[1] = {"%STARTDIR%\\b", "", "", "", "b"};
  ShortcutCount = 2;
  Shortcuts[2] = {"%InstallDir%\\beyond the count", "", "", "", ""};
  FileAssociations[0] = {"tsk", "%InstallDir%\\bin", "%InstallDir%.exe", "%InstallDir%", 1};
  FileAssociationCount = 1;

  ExpandConfiguredPaths();

  EXPECT_EQ(SetupProgram, "C:\\Program Files\\TF4\\tf4setup.exe %STARTDIR%");
  EXPECT_EQ(SetupWorkDir, "C:\\Program Files\\TF4");
  EXPECT_EQ(SetupParams, "/s C:\\Program Files\\TF4");
  EXPECT_EQ(CreatedDirs[0], "C:\\Program Files\\TF4\\MPICH1");
  EXPECT_EQ(CreatedDirs[1], "C:\\Program Files\\TF4\\LIB");
  EXPECT_EQ(Shortcuts[0].Target, "C:\\Program Files\\TF4\\a.chm");
  EXPECT_EQ(Shortcuts[0].Arguments, "\"C:\\Program Files\\TF4\\x\"");
  EXPECT_EQ(Shortcuts[0].WorkDir, "C:\\Program Files\\TF4");
  EXPECT_EQ(Shortcuts[0].Folder, "C:\\Program Files\\TF4\\UNINST");
  EXPECT_EQ(Shortcuts[0].LinkName, "%InstallDir% link");
  EXPECT_EQ(Shortcuts[1].Target, "%STARTDIR%\\b");
  EXPECT_EQ(Shortcuts[2].Target, "%InstallDir%\\beyond the count");
  EXPECT_EQ(FileAssociations[0].ProgramDir, "C:\\Program Files\\TF4\\bin");
  EXPECT_EQ(FileAssociations[0].ProgramFile, "%InstallDir%.exe");
  EXPECT_EQ(FileAssociations[0].Description, "%InstallDir%");
}

TEST_F(ExpandConfiguredPathsTest, ParamsFromTheOptionsFileReplaceSetupParamsOnlyWhenNotBlank) {
  struct ParamsCase {
    const char* options_params;
    const char* start_dir;
    const char* expected_options_params;
    const char* expected_setup_params;
  };
  const ParamsCase cases[] = {
      {"  \t ", "E:", "", "def C:\\Program Files\\TF4"},
      {"", "E:", "", "def C:\\Program Files\\TF4"},
      {" -a %STARTDIR%x %InstallDir% ", "E:", "-a E:\\x C:\\Program Files\\TF4", "-a E:\\x C:\\Program Files\\TF4"},
      {"%startdir%", "E:\\dist", "E:\\dist", "E:\\dist"},
  };
  for (const ParamsCase& c : cases) {
    FillSetupDefinition();
    SetupParams = "def %InstallDir%";
    SetupOptions.Params = c.options_params;
    StartDir = c.start_dir;
    ExpandConfiguredPaths();
    EXPECT_EQ(SetupOptions.Params, c.expected_options_params) << c.options_params;
    EXPECT_EQ(SetupParams, c.expected_setup_params) << c.options_params;
  }
}

}  // namespace
}  // namespace corvina
