// The Wine-style environment: the root, the drive map from dosdevices, and the translation of
// Windows names (1251, any letter case) to host paths (UTF-8) and back.
#include "platform/Environment.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::MakeTempFolder;
using testing::RemoveTree;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

// Restores one environment variable when the scope ends.
class ScopedVariable {
public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value) setenv(name, value, 1);
    else unsetenv(name);
  }
  ~ScopedVariable() {
    if (had_) setenv(name_, old_.c_str(), 1);
    else unsetenv(name_);
  }

private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class EnvironmentTest : public ::testing::Test {
protected:
  void SetUp() override {
    other_ = MakeTempFolder();
    root_.MapDrive('d', other_);
    // Program Files\Корвина\Файл.txt on C:, written as Wine would: UTF-8 host names.
    mkdir((root_.DriveC() + "/Program Files").c_str(), 0777);
    mkdir((root_.DriveC() + "/Program Files/Корвина").c_str(), 0777);
    WriteHostFile(root_.DriveC() + "/Program Files/Корвина/Файл.txt", "x");
  }
  void TearDown() override { RemoveTree(other_); }

  WineRoot root_;
  std::string other_;
};

TEST_F(EnvironmentTest, DrivesComeFromDosdevicesLinks) {
  const auto& drives = Environment().Drives();
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives.at('C'), root_.DriveC());  // relative link resolved against dosdevices/
  EXPECT_EQ(drives.at('D'), other_);          // absolute link taken as it is
  EXPECT_EQ(Environment().Root(), root_.Root());
}

TEST_F(EnvironmentTest, DeviceLinksAndStrayFilesAreNotDrives) {
  // Wine keeps raw devices as "d::" links beside the drives; other names are not drives either.
  ASSERT_EQ(symlink("/dev/null", (root_.Root() + "/dosdevices/d::").c_str()), 0);
  ASSERT_EQ(symlink("/tmp", (root_.Root() + "/dosdevices/com1").c_str()), 0);
  Environment().Refresh();
  EXPECT_EQ(Environment().Drives().size(), 2u);
}

TEST(EnvironmentDefaults, WithoutDriveLinksCIsDriveCAndZIsTheHostRoot) {
  WineRoot root(/*with_c_link=*/false);
  const auto& drives = Environment().Drives();
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives.at('C'), root.DriveC());
  EXPECT_EQ(drives.at('Z'), "/");
  EXPECT_EQ(Environment().WindowsPath("/etc/hosts"), "Z:\\etc\\hosts");
  EXPECT_EQ(Environment().WindowsPath(root.DriveC() + "/x"), "C:\\x");  // the longer prefix wins
  EXPECT_EQ(Environment().HostPath("Z:\\"), "/");
}

TEST(EnvironmentDefaults, RootIsWinePrefixElseDotWineInHome) {
  {
    ScopedVariable prefix("WINEPREFIX", "/some/prefix/");
    EXPECT_EQ(WineEnvironment().Root(), "/some/prefix");
  }
  {
    ScopedVariable prefix("WINEPREFIX", nullptr);
    ScopedVariable home("HOME", "/home/someone");
    EXPECT_EQ(WineEnvironment().Root(), "/home/someone/.wine");
  }
  {
    ScopedVariable prefix("WINEPREFIX", "relative/./prefix");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(WineEnvironment().Root(), std::string(cwd) + "/relative/prefix");
  }
}

TEST(EnvironmentDefaults, LoginIsUserElseTheAccountName) {
  {
    ScopedVariable user("USER", "Пользователь");
    EXPECT_EQ(WineEnvironment().Login(), A("Пользователь"));
  }
  {
    ScopedVariable user("USER", nullptr);
    std::string login = WineEnvironment().Login();
    EXPECT_FALSE(login.empty());
  }
}

TEST_F(EnvironmentTest, HostPathLooksUpNamesWithoutRegardToCase) {
  const std::string c = root_.DriveC();
  const std::string file = c + "/Program Files/Корвина/Файл.txt";
  struct Case {
    const char* windows;  // UTF-8 here, turned into 1251 for the call
    std::string host;
  };
  const Case cases[] = {
      {"C:\\Program Files\\Корвина\\Файл.txt", file},
      {"c:\\PROGRAM FILES\\КОРВИНА\\ФАЙЛ.TXT", file},
      {"C:/program files/корвина/файл.txt", file},
      {"C:\\Program Files\\корвина\\", c + "/Program Files/Корвина"},
      {"C:\\", c},
      {"c:/", c},
      // Missing components keep the case they were given, after the ones that were found.
      {"C:\\PROGRAM FILES\\Новая Папка\\Файл.txt", c + "/Program Files/Новая Папка/Файл.txt"},
      {"D:\\Sub\\File", other_ + "/Sub/File"},
      // "." and ".." are resolved on the name and never leave the drive.
      {"C:\\..\\..\\etc\\passwd", c + "/etc/passwd"},
      {"C:\\Program Files\\..\\..\\..\\x", c + "/x"},
      {"C:\\.\\Program Files\\.\\КОРВИНА\\..\\Корвина", c + "/Program Files/Корвина"},
      {"C:\\\\Program Files\\\\", c + "/Program Files"},
      // Not absolute, or on a drive that is not mapped: no host path.
      {"E:\\x", ""},
      {"C:", ""},
      {"C:relative", ""},
      {"\\Program Files", ""},
      {"Program Files", ""},
      {"", ""},
  };
  for (const Case& test : cases) EXPECT_EQ(Environment().HostPath(A(test.windows)), test.host) << test.windows;
}

TEST_F(EnvironmentTest, AnExactlySpelledEntryWinsOverAnotherCase) {
  WriteHostFile(root_.DriveC() + "/readme.txt", "lower");
  WriteHostFile(root_.DriveC() + "/README.TXT", "upper");
  EXPECT_EQ(Environment().HostPath("C:\\README.TXT"), root_.DriveC() + "/README.TXT");
  EXPECT_EQ(Environment().HostPath("C:\\readme.txt"), root_.DriveC() + "/readme.txt");
}

TEST_F(EnvironmentTest, HostNamesThat1251CannotSpellAreNotMatchedByQuestionMarks) {
  WriteHostFile(root_.DriveC() + "/日本", "x");
  // The listing shows the name as "??"; a Windows name "??" must not reach the file.
  EXPECT_EQ(Environment().HostPath("C:\\??"), root_.DriveC() + "/??");
}

TEST_F(EnvironmentTest, WindowsPathUsesTheLongestDriveFolder) {
  root_.MapDrive('e', root_.DriveC() + "/Program Files");
  struct Case {
    std::string host;
    const char* windows;  // UTF-8 here
  };
  const Case cases[] = {
      {root_.DriveC(), "C:\\"},
      {root_.DriveC() + "/", "C:\\"},
      {root_.DriveC() + "/windows/system32", "C:\\windows\\system32"},
      {root_.DriveC() + "/Program Files/Корвина/Файл.txt", "E:\\Корвина\\Файл.txt"},
      {root_.DriveC() + "/Program Files", "E:\\"},
      {root_.DriveC() + "/Program Files2", "C:\\Program Files2"},  // a prefix only at a "/"
      {other_ + "/a/./b/../c", "D:\\a\\c"},
      {"/nowhere/else", ""},
  };
  for (const Case& test : cases) EXPECT_EQ(Environment().WindowsPath(test.host), A(test.windows)) << test.host;
}

TEST_F(EnvironmentTest, CyrillicNameCreatedThroughTheFileSystemLandsInUtf8) {
  const std::string windows = A("C:\\Program Files\\Корвина\\Новая\\Отчёт.txt");
  ASSERT_TRUE(ForceDirectories(A("C:\\Program Files\\КОРВИНА\\Новая")));
  std::string error;
  ASSERT_NE(FileSystem().Open(windows, OpenMode::Create, error), nullptr) << error;
  EXPECT_TRUE(HostExists(root_.DriveC() + "/Program Files/Корвина/Новая/Отчёт.txt"));
  EXPECT_TRUE(FileSystem().FileExists(A("c:\\program files\\корвина\\НОВАЯ\\ОТЧЁТ.TXT")));
  EXPECT_EQ(Environment().WindowsPath(Environment().HostPath(A("C:\\PROGRAM FILES\\корвина\\новая\\отчёт.txt"))),
            windows);
}

TEST_F(EnvironmentTest, ProbingDriveLettersSeesOnlyMappedDrives) {
  root_.MapDrive('g', root_.Root() + "/missing-folder");  // a link to nothing is no drive
  std::string seen;
  for (char letter = 'C'; letter <= 'Z'; ++letter)
    if (FileSystem().DirectoryExists(std::string(1, letter) + ":\\")) seen += letter;
  EXPECT_EQ(seen, "CD");
}

}  // namespace
}  // namespace corvina
