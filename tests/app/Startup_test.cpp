// Start-up in a temporary Wine-style root: the main window is created through the application
// object with a view double, so the whole sequence runs as in the program, with the program's own
// path put in by the test. Covered: StartDir and DataName from that path (a drive root gives "C:"),
// ProgramFilesDir from the registry, then the Program Files probe, then the bare drive; the system
// and shell folders; the window's texts, colours and folder-field layout; the version line from the
// data file's date; the description and licence buttons; the environment list with the options
// file's ExcludeDir marks; the options file's target folder; and the missing data volume, which
// ends start-up after one message with exit status 2.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Folders.h"
#include "app/OptionsFile.h"
#include "app/SetupDefinition.h"
#include "app/Startup.h"
#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Strings.h"
#include "support/UiDoubles.h"
#include "support/WineRoot.h"
#include "ui/Application.h"

namespace corvina {
namespace {

const char* const kRegistryKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

class StartupTest : public ::testing::Test {
protected:
  void SetUp() override {
    services_ = std::make_shared<testing::RecordingAppServices>();
    SetAppServices(services_);
    NewRoot();
  }
  void TearDown() override {
    application_.reset();
    root_.reset();
    SetProgramFile("");
    SetProgressWindowFactory(nullptr);
    SetupOptions = TSetupOptions();
    SetAppServices(nullptr);
  }

  // A fresh root (and registry), with the program's folder C:\Dist holding setup.dat, readme.txt
  // and license.txt.
  void NewRoot(bool with_c_link = true) {
    application_.reset();
    root_.reset();
    root_ = std::make_unique<testing::WineRoot>(with_c_link);
    ForgetRegistryCache();
    services_->messages.clear();
    services_->terminations.clear();
    MakeFolder("Dist");
    for (const char* name : {"Dist/setup.dat", "Dist/readme.txt", "Dist/license.txt"}) Write(name, "x");
  }
  std::string Host(const std::string& relative) const { return root_->DriveC() + "/" + relative; }
  void MakeFolder(const std::string& relative) { ForceFolder(Host(relative)); }
  static void ForceFolder(const std::string& host) {
    for (size_t at = host.find('/', 1); at != std::string::npos; at = host.find('/', at + 1))
      mkdir(host.substr(0, at).c_str(), 0777);
    mkdir(host.c_str(), 0777);
  }
  void Write(const std::string& relative, const std::string& content) { testing::WriteHostFile(Host(relative), content); }
  // Drive D: as the host folder drive_d of the root.
  std::string MapDriveD() {
    const std::string host = root_->Root() + "/drive_d";
    mkdir(host.c_str(), 0777);
    root_->MapDrive('d', "../drive_d");
    return host;
  }
  void SetRegistryValue(const std::string& value) {
    TRegistry registry;
    registry.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKey(kRegistryKey, true));
    registry.WriteString("ProgramFilesDir", value);
  }

  TInstF1& Start(const std::string& program = "C:\\Dist\\setup.exe") {
    SetProgramFile(program);
    application_ = std::make_unique<TApplication>(front_end_);
    return application_->CreateMainForm();
  }
  std::string Text(MainControl id) { return application_ ? InstF1->Control(id).Caption() : ""; }
  IControl& Control(MainControl id) { return InstF1->Control(id); }

  std::unique_ptr<testing::WineRoot> root_;
  testing::FakeFrontEnd front_end_;
  std::shared_ptr<testing::RecordingAppServices> services_;
  std::unique_ptr<TApplication> application_;
};

TEST(VolumeSuffix, EmptyForTheFirstVolumeThenTheNumber) {
  const struct {
    int32_t volume;
    const char* suffix;
  } cases[] = {{1, ""}, {2, "2"}, {3, "3"}, {10, "10"}, {123, "123"}};
  for (const auto& c : cases) EXPECT_EQ(VolumeSuffix(c.volume), c.suffix) << c.volume;
}

TEST(FormatDataDate, DayMonthYearWithDots) {
  auto dos = [](int year, int month, int day) {
    return static_cast<int32_t>(static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day) << 16 | 0x7200);
  };
  const struct {
    int32_t dos_date_time;
    const char* text;
  } cases[] = {
      {dos(2011, 3, 5), "05.03.2011"},
      {dos(1980, 1, 1), "01.01.1980"},
      {dos(2107, 12, 31), "31.12.2107"},  // negative as a 32-bit value, still a date
      {-1, ""},                           // no date
      {dos(2011, 0, 5), ""},              // month 0
      {dos(2011, 13, 5), ""},
      {dos(2011, 2, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDataDate(c.dos_date_time), c.text) << c.dos_date_time;
}

TEST_F(StartupTest, StartDirAndDataNameFollowTheProgramsPlaceAndName) {
  const struct {
    const char* program;
    const char* data_file;  // on drive C
    const char* start_dir;
    const char* data_name;
  } cases[] = {
      {"C:\\setup.exe", "setup.dat", "C:", "setup.dat"},  // drive root: letter and colon
      {"C:\\Dist\\setup.exe", "Dist/setup.dat", "C:\\Dist", "setup.dat"},
      {"C:\\Dist\\Sub\\install", "Dist/Sub/install.dat", "C:\\Dist\\Sub", "install.dat"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.program);
    NewRoot();
    MakeFolder("Dist/Sub");
    Write(c.data_file, "zip");
    Start(c.program);
    EXPECT_EQ(StartDir, c.start_dir);
    EXPECT_EQ(DataName, c.data_name);
    EXPECT_EQ(DataVolumeFile(1), std::string(c.start_dir) + "\\" + c.data_name);
    EXPECT_TRUE(services_->messages.empty());
    EXPECT_TRUE(services_->terminations.empty());
    EXPECT_NE(InstF4, nullptr);
  }
}

TEST_F(StartupTest, ProgramFilesDirFromTheRegistryThenTheProbeThenABareDrive) {
  const struct {
    const char* name;
    std::optional<std::string> registry;  // a string value, or "dword" for a value of another type
    bool c_has_program_files;
    bool d_has_program_files;
    const char* expected;
  } cases[] = {
      {"registry wins, no probe", "E:\\Apps", true, true, "E:\\Apps"},
      {"registry value without its trailing backslash", "D:\\Programs\\", false, false, "D:\\Programs"},
      {"first drive with a Program Files folder", std::nullopt, false, true, "D:\\Program Files"},
      {"drives in order", std::nullopt, true, true, "C:\\Program Files"},
      {"a value that is no string is no value", "dword", false, true, "D:\\Program Files"},
      {"empty value", "", false, true, "D:\\Program Files"},
      {"bare drive", std::nullopt, false, false, "C:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewRoot();
    const std::string drive_d = MapDriveD();
    if (c.c_has_program_files) MakeFolder("Program Files");
    if (c.d_has_program_files) mkdir((drive_d + "/Program Files").c_str(), 0777);
    if (c.registry == "dword") {
      testing::WriteHostFile(root_->Root() + "/system.reg",
                             "WINE REGISTRY Version 2\n\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion] 1\n"
                             "\"ProgramFilesDir\"=dword:00000001\n");
      ForgetRegistryCache();
    } else if (c.registry) {
      SetRegistryValue(*c.registry);
    }
    Start();
    EXPECT_EQ(ProgramFilesDir, c.expected);
    EXPECT_EQ(Text(MainControl::Edit1), std::string(c.expected) + "\\TF4");
  }
}

TEST_F(StartupTest, FindProgramFilesDirLeavesAGivenOrUnfoundValue) {
  MakeFolder("Program Files");
  std::string given = "X:\\Mine";
  FindProgramFilesDir(given);
  EXPECT_EQ(given, "X:\\Mine");
  std::string empty;
  FindProgramFilesDir(empty);
  EXPECT_EQ(empty, "C:\\Program Files");

  NewRoot();
  std::string none;
  FindProgramFilesDir(none);
  EXPECT_EQ(none, "");
}

TEST_F(StartupTest, SystemFolderAlwaysShellFoldersOnlyWhenTheyExist) {
  Start();
  EXPECT_EQ(SystemDir, "C:\\windows\\system32");
  EXPECT_EQ(ProgramsDir, "");
  EXPECT_EQ(DesktopDir, "");
  EXPECT_EQ(Shortcuts[0].Folder, "\\Corvina");
  EXPECT_EQ(Shortcuts[2].Target, "C:\\windows\\system32\\purgekit.exe");

  NewRoot();
  const std::string profile = "users/" + AnsiToUtf8(Environment().Login());
  MakeFolder(profile + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs");
  MakeFolder(profile + "/Desktop");
  Start();
  const std::string windows_profile = "C:\\users\\" + Environment().Login();
  EXPECT_EQ(ProgramsDir, windows_profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs");
  EXPECT_EQ(DesktopDir, windows_profile + "\\Desktop");
  EXPECT_EQ(Shortcuts[0].Folder, ProgramsDir + "\\Corvina");
  EXPECT_EQ(Shortcuts[3].Folder, ProgramsDir + "\\Corvina");
}

TEST_F(StartupTest, WindowTextsColoursAndFolderFieldLayout) {
  TInstF1& form = Start();
  EXPECT_EQ(application_->Title(), "Corvina Install");
  EXPECT_EQ(front_end_.title, "Corvina Install");
  EXPECT_EQ(form.View().Caption(), Utf8ToAnsi("Corvina Install - Программа установки"));
  EXPECT_EQ(Text(MainControl::Label1), "Corvina");
  EXPECT_EQ(Text(MainControl::Label2), "Corvina");
  EXPECT_EQ(Text(MainControl::Label3), Utf8ToAnsi("Электронный задачник по параллельному MPI-программированию"));
  EXPECT_EQ(Text(MainControl::Label4), CreditLine());
  EXPECT_FALSE(CreditLine().empty());
  EXPECT_EQ(Text(MainControl::Label5), Utf8ToAnsi("Задачник будет установлен в следующем каталоге:"));
  EXPECT_EQ(Text(MainControl::Button2), Utf8ToAnsi("Описание задачника"));
  EXPECT_EQ(InstallTitle, Utf8ToAnsi("Установка Corvina"));
  for (MainControl id : {MainControl::Label1, MainControl::Label3, MainControl::Label4, MainControl::Label6})
    EXPECT_EQ(Control(id).FontColor(), RGB(0, 0, 192)) << static_cast<int>(id);
  EXPECT_EQ(Control(MainControl::Label2).FontColor(), clGray);

  const TBounds label5 = Control(MainControl::Label5).Bounds();
  const TBounds edit1 = Control(MainControl::Edit1).Bounds();
  ASSERT_GT(label5.Width, 0);
  EXPECT_EQ(edit1.Left, label5.Left + label5.Width + 20);
  EXPECT_EQ(edit1.Left + edit1.Width, 312 + 217);  // the right edge stays
  EXPECT_EQ(edit1.Top, 153);
}

TEST_F(StartupTest, VersionLineCarriesTheDataFilesDate) {
  std::tm local{};
  local.tm_year = 2011 - 1900;
  local.tm_mon = 2;
  local.tm_mday = 5;
  local.tm_hour = 14;
  local.tm_min = 30;
  local.tm_isdst = -1;
  const time_t when = std::mktime(&local);
  const utimbuf times{when, when};
  ASSERT_EQ(utime(Host("Dist/setup.dat").c_str(), &times), 0);
  Start();
  EXPECT_EQ(Text(MainControl::Label6), Utf8ToAnsi("Версия 1.1 от 05.03.2011"));
}

TEST_F(StartupTest, MissingReadmeOrLicenceChangesOnlyTheirButtons) {
  const struct {
    bool readme;
    bool license;
    bool button2_visible;
    bool button3_visible;
    int32_t button3_left;
  } cases[] = {
      {true, true, true, true, 207},
      {false, true, false, true, 15},  // the licence button takes the description button's place
      {true, false, true, false, 207},
      {false, false, false, false, 15},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "readme " << c.readme << ", license " << c.license);
    NewRoot();
    if (!c.readme) unlink(Host("Dist/readme.txt").c_str());
    if (!c.license) unlink(Host("Dist/license.txt").c_str());
    Start();
    EXPECT_EQ(Control(MainControl::Button2).Visible(), c.button2_visible);
    EXPECT_EQ(Control(MainControl::Button3).Visible(), c.button3_visible);
    EXPECT_EQ(Control(MainControl::Button3).Bounds().Left, c.button3_left);
    EXPECT_EQ(Control(MainControl::Button3).Bounds().Width, 178);
    EXPECT_TRUE(services_->messages.empty());
  }
}

TEST_F(StartupTest, EnvironmentListIsCheckedExceptTheOptionsFilesExcludedCodes) {
  Write("Dist/setup.ini", "[ExcludeDir]\n1=vc6\n2=Docs\n3=Delphi10\n");
  Start();
  ASSERT_NE(InstF4, nullptr);
  ICheckListView& list = InstF4->CheckListBox1();
  ASSERT_EQ(list.Count(), EnvironmentCount);
  std::vector<bool> marks;
  for (int32_t i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.Item(i), EnvironmentNames[i]);
    marks.push_back(list.Checked(i));
  }
  // DELPHI10 (row 1) and VC6 (row 3) in other letter case; "Docs" names no environment.
  EXPECT_EQ(marks, (std::vector<bool>{true, false, true, false, true, true, true, true}));
  EXPECT_EQ(list.Item(3), "Microsoft Visual C++ 6");
  // The dialog was prepared.
  EXPECT_EQ(InstF4->View().Caption(), EnvironmentDialogCaption);
}

TEST_F(StartupTest, OptionsFileTargetFolderReplacesTheProposedOne) {
  const struct {
    const char* install_dir;
    const char* expected;
  } cases[] = {
      {"Q:\\Nowhere\\TF4", "Q:\\Nowhere\\TF4"},  // not checked here: the install command does that
      // The macro sees the Program Files folder that start-up found before reading the file.
      {"%ProgramFilesDir%\\Corvina\\", "D:\\Program Files\\Corvina\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.install_dir);
    NewRoot();
    mkdir((MapDriveD() + "/Program Files").c_str(), 0777);
    Write("Dist/setup.ini", std::string("[Main]\nInstallDir=") + c.install_dir + "\n");
    Start();
    EXPECT_EQ(Text(MainControl::Edit1), c.expected);
  }
}

TEST_F(StartupTest, MissingDataVolumeEndsStartUpAfterOneMessage) {
  const char* const kinds[] = {"missing", "a folder"};
  for (const char* kind : kinds) {
    SCOPED_TRACE(kind);
    NewRoot();
    unlink(Host("Dist/setup.dat").c_str());
    if (std::string(kind) == "a folder") MakeFolder("Dist/setup.dat");
    unlink(Host("Dist/readme.txt").c_str());
    Write("Dist/setup.ini", "[Main]\nInstallDir=Q:\\Other\n[ExcludeDir]\n1=VC6\n");
    Start();

    ASSERT_EQ(services_->messages.size(), 1u);
    const testing::RecordedMessage& message = services_->messages[0];
    EXPECT_EQ(message.Text, Utf8ToAnsi("Не найден файл setup.dat.\r\nВыполнить установку задачника Corvina невозможно."));
    EXPECT_EQ(message.Type, MsgDlgType::mtError);
    EXPECT_EQ(message.Buttons, std::vector<MsgDlgBtn>{MsgDlgBtn::mbOK});
    EXPECT_EQ(services_->terminations, std::vector<int>{2});
    EXPECT_TRUE(front_end_.main_window->IsMinimized());
    // None of the later steps ran.
    EXPECT_EQ(InstF2, nullptr);
    EXPECT_EQ(InstF3, nullptr);
    EXPECT_EQ(InstF4, nullptr);
    EXPECT_EQ(Text(MainControl::Edit1), "C:\\TF4");
    EXPECT_EQ(Text(MainControl::Label2), "");
    EXPECT_EQ(Text(MainControl::Label6), "");
    EXPECT_TRUE(Control(MainControl::Button2).Visible());
  }
  DataName = "setup.dat";
  EXPECT_NE(MissingVolumeMessage(2).find("setup.dat2."), std::string::npos);
}

TEST_F(StartupTest, ProgressWindowComesFromTheFactoryWhenOneIsSet) {
  struct EngineWindow : TInstF3 {
    using TInstF3::TInstF3;
  };
  EngineWindow* made = nullptr;
  SetProgressWindowFactory([&made](IFrontEnd& front_end) {
    auto window = std::make_unique<EngineWindow>(front_end);
    made = window.get();
    return window;
  });
  Start();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(InstF3, made);
}

TEST_F(StartupTest, ProgramFileIsTheRunningBinaryByDefault) {
  NewRoot(false);  // no dosdevices links: C: is drive_c and Z: is the host's root
  SetProgramFile("");
  const std::string own = ProgramFile();
  EXPECT_EQ(own.rfind("Z:\\", 0), 0u) << own;
  EXPECT_EQ(ExtractFileName(own), "Startup_test");
  EXPECT_TRUE(FileSystem().FileExists(own));
  EXPECT_EQ(OptionsFileName(), own + ".ini");
}

}  // namespace
}  // namespace corvina
