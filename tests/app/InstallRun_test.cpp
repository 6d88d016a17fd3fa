// The built setup program installing end to end in console mode, unattended (AutoRun, no
// environment dialog), inside a temporary Wine-style root holding a Tallyframe base package. Each
// test writes a payload, packs it as setup.dat with Info-ZIP `zip -P` and the program's fixed
// password (entries in the order given, no folder entries), runs the program and looks at the
// disk, the uninstall log, the messages and the exit status. Failures are provoked by damaging
// an entry's CRC in the packed archive, or through CORVINA_FAULTS.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/InfoZipArchive.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::ReadHostFile;
using testing::WriteHostFile;

constexpr const char* kPassword = "5837261049372617804938271650493827";
constexpr int64_t kOldTime = 1500000000;  // 2017-07-14 02:40:00 UTC: an even second, DOS-exact
constexpr int64_t kNewTime = 1700000000;  // 2023-11-14 22:13:20 UTC

struct PayloadFile {
  std::string path;  // relative, "/" separated, in the archive's letter case
  std::string content;
  int64_t time = kNewTime;
};

struct RunResult {
  int status = -1;
  std::string output;  // UTF-8
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

void SetHostTime(const std::string& path, int64_t time) {
  struct utimbuf times{static_cast<time_t>(time), static_cast<time_t>(time)};
  ASSERT_EQ(utime(path.c_str(), &times), 0) << path;
}

int64_t HostTime(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_mtime) : -1;
}

bool HostWritable(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) != 0;
}

void MakeHostDirs(const std::string& path) {
  ASSERT_EQ(std::system(("mkdir -p '" + path + "'").c_str()), 0) << path;
}

// The payload every test starts from: the add-on's help and readme, MPICH1 and LIB files, one
// folder for a checked environment (DELPHI7, present in the base package) and one for an unchecked
// one (DELPHI10), a replacement for a base package file, and three system-folder files.
std::vector<PayloadFile> StandardPayload() {
  return {
      {"Corvina/Corvina.chm", "help"},
      {"Corvina/ReadMe.txt", "readme"},
      {"MPICH1/Include/MpiCorv.H", "mpi header"},
      {"LIB/corvina.lib", "library"},
      {"DELPHI7/TF4Unit.pas", "delphi 7 unit"},
      {"DELPHI10/TF4Unit.pas", "delphi 2006 unit"},
      {"journal.dat", "new journal"},
      {"SYSTEM/purgekit.exe", "uninstaller"},
      {"system/Stale.dll", "newer dll", kNewTime},
      {"SYSTEM/Kept.dll", "older dll", kOldTime},
  };
}

class InstallRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
    Prepare();
  }

  std::string C() const { return root_.DriveC(); }
  std::string Tf4() const { return C() + "/Program Files/TF4"; }
  std::string System32() const { return C() + "/windows/system32"; }
  std::string Dist() const { return C() + "/dist"; }
  std::string Profile() const { return C() + "/users/tester"; }
  std::string Programs() const { return Profile() + "/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"; }
  std::string Log() const { return Tf4() + "/UNINST/corvina1_0.log"; }

  // A fresh machine: the base package with DELPHI7 and VC6, system folder, profile folders and
  // the distribution folder with the program and its options file.
  void Prepare() {
    testing::RemoveTree(C() + "/Program Files");
    testing::RemoveTree(C() + "/windows");
    testing::RemoveTree(C() + "/users");
    testing::RemoveTree(Dist());
    for (const std::string& folder : {Tf4() + "/DELPHI7", Tf4() + "/VC6", System32(), Programs(),
                                      Profile() + "/Desktop", Dist()})
      MakeHostDirs(folder);
    for (const char* name : {"journal.dat", "TF4Setup.exe", "TF4Demo.exe", "TF4Load.exe", "TF4Res.exe"})
      WriteHostFile(Tf4() + "/" + name, std::string("base ") + name);
    SetHostTime(Tf4() + "/journal.dat", kOldTime);
    chmod((Tf4() + "/journal.dat").c_str(), 0444);
    WriteHostFile(System32() + "/Stale.dll", "stale dll");
    SetHostTime(System32() + "/Stale.dll", kOldTime);
    WriteHostFile(System32() + "/Kept.dll", "kept dll");
    SetHostTime(System32() + "/Kept.dll", kOldTime);
    ASSERT_EQ(std::system(("cp '" CORVINA_BINARY_DIR "/setup' '" + Dist() + "/setup'").c_str()), 0);
    WriteHostFile(Dist() + "/setup.ini", "[Main]\r\nAutoRun=1\r\nSelectDialog=0\r\n[Setup]\r\nRun=0\r\n");
  }

  // setup.dat from the files, in their order; a trailing folder is stored as a folder entry last.
  void Pack(const std::vector<PayloadFile>& files, const std::string& password = kPassword,
            const std::string& trailing_folder = "") {
    const std::string payload = root_.Root() + "/payload";
    testing::RemoveTree(payload);
    std::string names;
    for (const PayloadFile& file : files) {
      const std::string path = payload + "/" + file.path;
      MakeHostDirs(path.substr(0, path.rfind('/')));
      WriteHostFile(path, file.content);
      SetHostTime(path, file.time);
      names += " '" + file.path + "'";
    }
    std::remove((Dist() + "/setup.dat").c_str());
    ASSERT_TRUE(testing::RunZip(payload, "-D -P " + password + " '" + Dist() + "/setup.dat'" + names));
    if (!trailing_folder.empty()) {
      MakeHostDirs(payload + "/" + trailing_folder);
      ASSERT_TRUE(testing::RunZip(payload, "-P " + password + " '" + Dist() + "/setup.dat' '" + trailing_folder + "'"));
    }
  }

  // Damages the stored CRC of one entry (its low byte, which the password check does not use).
  void DamageCrc(const std::string& entry_name) {
    std::vector<uint8_t> zip = testing::ReadBytes(Dist() + "/setup.dat");
    const size_t end = zip.size() - 22;
    size_t at = testing::Le(zip, end + 16, 4);
    const uint32_t count = testing::Le(zip, end + 10, 2);
    bool found = false;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t name_length = testing::Le(zip, at + 28, 2);
      const std::string name(zip.begin() + static_cast<long>(at + 46),
                             zip.begin() + static_cast<long>(at + 46 + name_length));
      if (name == entry_name) {
        zip[at + 16] ^= 0x5A;
        const size_t local = testing::Le(zip, at + 42, 4);
        zip[local + 14] ^= 0x5A;
        found = true;
      }
      at += 46 + name_length + testing::Le(zip, at + 30, 2) + testing::Le(zip, at + 32, 2);
    }
    ASSERT_TRUE(found) << entry_name;
    testing::WriteBytes(Dist() + "/setup.dat", zip);
  }

  RunResult Run(const std::string& input, const std::string& environment = "") {
    WriteHostFile(Dist() + "/input.txt", input);
    const std::string command = "cd '" + Dist() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u CORVINA_FAULTS " +
                                "-u CORVINA_FAULT_LOG USER=tester WINEPREFIX='" + root_.Root() + "' " +
                                environment + " timeout 120 ./setup < input.txt > output.txt 2>&1";
    RunResult result;
    const int raw = std::system(command.c_str());
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.output = ReadHostFile(Dist() + "/output.txt").value_or("");
    return result;
  }

  testing::WineRoot root_;
};

const char* const kHeader =
    "Удаление Corvina|Удалить задачник Corvina и связанные с ним компоненты?|Задачник Corvina полностью удален.|"
    "Задачник Corvina удален, за исключением следующих файлов:|";

// The log as the uninstaller reads it: 1251 bytes, every line ended by CR LF.
std::string LogText(const std::vector<std::string>& utf8_lines) {
  std::string text;
  for (const std::string& line : utf8_lines) text += line + "\r\n";
  return text;
}

std::string Utf8Of1251(const std::string& bytes) {
  // The log holds 1251 bytes; convert with iconv so the oracle is independent of the program.
  testing::TempDir dir;
  WriteHostFile((dir.Path() / "in").string(), bytes);
  const std::string command = "iconv -f CP1251 -t UTF-8 '" + (dir.Path() / "in").string() + "' > '" +
                              (dir.Path() / "out").string() + "'";
  if (std::system(command.c_str()) != 0) return "<iconv failed>";
  return ReadHostFile((dir.Path() / "out").string()).value_or("");
}

TEST_F(InstallRunTest, FullInstallationPlacesFilesWritesTheLogAndSucceeds) {
  Pack(StandardPayload());
  const RunResult run = Run("");
  EXPECT_EQ(run.status, 0) << run.output;

  // Files in the installation folder, in the archive's letter case.
  const std::pair<const char*, const char*> placed[] = {
      {"Corvina/Corvina.chm", "help"},         {"Corvina/ReadMe.txt", "readme"},
      {"MPICH1/Include/MpiCorv.H", "mpi header"}, {"LIB/corvina.lib", "library"},
      {"DELPHI7/TF4Unit.pas", "delphi 7 unit"},    {"journal.dat", "new journal"},
  };
  for (const auto& [path, content] : placed) EXPECT_EQ(ReadHostFile(Tf4() + "/" + path), content) << path;
  // The unchecked environment is left out; staging and kept-copy folders are gone.
  EXPECT_FALSE(HostExists(Tf4() + "/DELPHI10"));
  EXPECT_FALSE(HostExists(Tf4() + "/TEMP"));
  EXPECT_FALSE(HostExists(Tf4() + "/UNINST/KEPT"));
  // The system folder: a new file, a newer one replaces an older one, an older one is not copied.
  EXPECT_EQ(ReadHostFile(System32() + "/purgekit.exe"), "uninstaller");
  EXPECT_EQ(ReadHostFile(System32() + "/Stale.dll"), "newer dll");
  EXPECT_EQ(ReadHostFile(System32() + "/Kept.dll"), "kept dll");

  const std::string log = ReadHostFile(Log()).value_or("<no log>");
  const std::string programs = "C:\\users\\tester\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  EXPECT_EQ(Utf8Of1251(log), LogText({
                                 kHeader,
                                 "C:\\Program Files\\TF4\\Corvina\\Corvina.chm",
                                 "C:\\Program Files\\TF4\\Corvina\\ReadMe.txt",
                                 "C:\\Program Files\\TF4\\MPICH1\\Include\\MpiCorv.H",
                                 "C:\\Program Files\\TF4\\LIB\\corvina.lib",
                                 "C:\\Program Files\\TF4\\DELPHI7\\TF4Unit.pas",
                                 "C:\\Program Files\\TF4\\journal.dat",
                                 programs + "\\Corvina\\Corvina Info.lnk",
                                 programs + "\\Corvina\\Corvina Readme.lnk",
                                 "C:\\Program Files\\TF4\\UNINST\\CorvinaUninstall.lnk",
                                 programs + "\\Corvina\\Corvina Uninstall.lnk",
                             }));
  EXPECT_TRUE(HostExists(Programs() + "/Corvina/Corvina Info.lnk"));
  EXPECT_TRUE(Contains(run.output, "Информация\nУстановка задачника Corvina успешно завершена.\nЯрлыки задачника Corvina "
                                   "помещены в группу \"Corvina\" раздела \"Программы\" меню \"Пуск\".\n"))
      << run.output;
  // Run=0: the note about the post-install program is left out.
  EXPECT_FALSE(Contains(run.output, "TF4Setup")) << run.output;
}

// StartMenu=0: no group folder and no Start-menu link, no group sentence; the uninstall link in
// UNINST is still made, and a real .lnk reader finds its target, arguments and working folder.
TEST_F(InstallRunTest, StartMenuOffLeavesTheGroupOutAndKeepsTheUninstallLink) {
  WriteHostFile(Dist() + "/setup.ini",
                "[Main]\r\nAutoRun=1\r\nSelectDialog=0\r\n[Links]\r\nStartMenu=0\r\n[Setup]\r\nRun=0\r\n");
  Pack(StandardPayload());
  const RunResult run = Run("");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(HostExists(Programs() + "/Corvina"));
  EXPECT_FALSE(Contains(run.output, "Ярлыки задачника Corvina")) << run.output;
  const std::string link = Tf4() + "/UNINST/CorvinaUninstall.lnk";
  ASSERT_TRUE(HostExists(link));
  const std::string log = Utf8Of1251(ReadHostFile(Log()).value_or(""));
  EXPECT_TRUE(Contains(log, "C:\\Program Files\\TF4\\UNINST\\CorvinaUninstall.lnk\r\n")) << log;
  EXPECT_FALSE(Contains(log, "Start Menu")) << log;

  if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "lnkinfo is not installed";
  const std::string out = Dist() + "/lnkinfo.txt";
  ASSERT_EQ(std::system(("lnkinfo '" + link + "' > '" + out + "' 2>&1").c_str()), 0);
  const std::string info = ReadHostFile(out).value_or("");
  EXPECT_TRUE(Contains(info, "Local path\t\t\t: C:\\windows\\system32\\purgekit.exe")) << info;
  EXPECT_TRUE(Contains(info, "Working directory\t\t: C:\\windows\\system32")) << info;
  EXPECT_TRUE(Contains(info, "Command line arguments\t\t: \"C:\\Program Files\\TF4\\UNINST\\corvina1_0.log\"")) << info;
}

TEST_F(InstallRunTest, SecondInstallationKeepsTheOldHeaderAndAppendsOnlyNewPaths) {
  Pack({{"Corvina/Corvina.chm", "help"}, {"LIB/corvina.lib", "library"}});
  MakeHostDirs(Tf4() + "/UNINST");
  // An earlier log with its own header, lone line feeds, and one of the new paths in other case.
  WriteHostFile(Log(), "old header|\nC:\\Program Files\\TF4\\OLD.TXT\nc:\\program files\\tf4\\lib\\CORVINA.LIB\n");
  const RunResult run = Run("");
  EXPECT_EQ(run.status, 0) << run.output;
  const std::string log = ReadHostFile(Log()).value_or("<no log>");
  ASSERT_GE(log.size(), 13u);
  EXPECT_EQ(log.substr(0, 13), "old header|\r\n") << log;
  EXPECT_TRUE(Contains(log, "C:\\Program Files\\TF4\\OLD.TXT\r\nc:\\program files\\tf4\\lib\\CORVINA.LIB\r\n"
                            "C:\\Program Files\\TF4\\Corvina\\Corvina.chm\r\n"))
      << log;
  EXPECT_FALSE(Contains(log, "C:\\Program Files\\TF4\\LIB\\corvina.lib")) << log;
  EXPECT_FALSE(Contains(Utf8Of1251(log), "Удаление Corvina")) << log;
}

// An entry that fails its check ends the run as a read failure, wherever it is in the archive:
// nothing of the run stays, and everything it replaced is back as it was.
TEST_F(InstallRunTest, EntryFailingItsCrcRollsBackEverything) {
  struct Case {
    const char* damaged;
    const char* description;
  };
  const Case cases[] = {{"SYSTEM/Kept.dll", "last entry"}, {"DELPHI7/TF4Unit.pas", "entry in the middle"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    Prepare();
    // The damaged entry comes after the replacements, so there is something to put back.
    std::vector<PayloadFile> files = StandardPayload();
    if (std::string(c.damaged) == "DELPHI7/TF4Unit.pas") std::swap(files[4], files.back());
    Pack(files);
    DamageCrc(c.damaged);
    const RunResult run = Run("");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "Ошибка\nОшибка при чтении данных. Вероятно, испорчен файл setup.dat.\n"
                                     "Продолжение установки невозможно.\n"))
        << run.output;
    EXPECT_FALSE(Contains(run.output, "Информация")) << run.output;
    // What the run placed is gone, folders included.
    for (const char* path : {"Corvina", "MPICH1", "LIB", "DELPHI7/TF4Unit.pas", "TEMP", "UNINST"})
      EXPECT_FALSE(HostExists(Tf4() + "/" + path)) << path;
    EXPECT_FALSE(HostExists(System32() + "/purgekit.exe"));
    // What it replaced is back: content, date, read-only attribute.
    EXPECT_EQ(ReadHostFile(Tf4() + "/journal.dat"), "base journal.dat");
    EXPECT_EQ(HostTime(Tf4() + "/journal.dat"), kOldTime);
    EXPECT_FALSE(HostWritable(Tf4() + "/journal.dat"));
    EXPECT_EQ(ReadHostFile(System32() + "/Stale.dll"), "stale dll");
    EXPECT_EQ(HostTime(System32() + "/Stale.dll"), kOldTime);
    EXPECT_EQ(ReadHostFile(System32() + "/Kept.dll"), "kept dll");
    // The base package is untouched.
    EXPECT_EQ(ReadHostFile(Tf4() + "/TF4Setup.exe"), "base TF4Setup.exe");
    EXPECT_TRUE(HostExists(Tf4() + "/DELPHI7"));
  }
}

// How the run ends for archives that are whole but unusual, or not usable at all.
TEST_F(InstallRunTest, OutcomeOfEachKindOfArchive) {
  enum class Kind { ExcludedLast, FolderEntryLast, OtherPassword, NotAZip, Empty };
  struct Case {
    const char* what;
    Kind kind;
    int status;
  };
  const Case cases[] = {
      {"an excluded last entry still finishes", Kind::ExcludedLast, 0},
      {"a folder entry last still finishes", Kind::FolderEntryLast, 0},
      {"entries under another password fail", Kind::OtherPassword, 1},
      {"a data volume that is no ZIP archive", Kind::NotAZip, 1},
      {"an archive without entries", Kind::Empty, 1},
  };
  const std::vector<PayloadFile> files = {{"Corvina/ReadMe.txt", "readme"}, {"DELPHI10/TF4Unit.pas", "excluded"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare();
    switch (c.kind) {
      case Kind::ExcludedLast: Pack(files); break;
      case Kind::FolderEntryLast: Pack({files[0]}, kPassword, "Corvina/Empty"); break;
      case Kind::OtherPassword: Pack(files, "wrong"); break;
      case Kind::NotAZip: WriteHostFile(Dist() + "/setup.dat", std::string(300, 'x')); break;
      // The smallest ZIP archive: an end record alone.
      case Kind::Empty: WriteHostFile(Dist() + "/setup.dat", std::string("PK\x05\x06", 4) + std::string(18, '\0')); break;
    }
    const RunResult run = Run("");
    EXPECT_EQ(run.status, c.status) << run.output;
    if (c.status == 0) {
      EXPECT_EQ(ReadHostFile(Tf4() + "/Corvina/ReadMe.txt"), "readme");
      EXPECT_FALSE(HostExists(Tf4() + "/DELPHI10"));
      EXPECT_TRUE(Contains(ReadHostFile(Log()).value_or(""), "C:\\Program Files\\TF4\\Corvina\\ReadMe.txt\r\n"));
    } else {
      EXPECT_TRUE(Contains(run.output, "Ошибка при чтении данных. Вероятно, испорчен файл setup.dat.")) << run.output;
      EXPECT_FALSE(HostExists(Tf4() + "/Corvina"));
      EXPECT_FALSE(HostExists(Tf4() + "/TEMP"));
    }
  }
}

// The finishing step rolls back when the log cannot be written; the replaced files come back from
// where they were kept, and one that cannot be put back stays there and is named.
TEST_F(InstallRunTest, LogThatCannotBeWrittenRollsBackAndNamesWhatCouldNotBePutBack) {
  struct Case {
    const char* what;
    std::string faults;
    bool restored;
  };
  const Case cases[] = {
      {"every kept file put back", "open=*\\UNINST\\*", true},
      {"kept files that cannot be moved back", "open=*\\UNINST\\*;move=*\\KEPT\\*", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare();
    Pack(StandardPayload());
    const RunResult run = Run("", "CORVINA_FAULTS='" + c.faults + "'");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(Contains(run.output, "Ошибка при чтении данных. Вероятно, испорчен файл setup.dat.")) << run.output;
    EXPECT_FALSE(HostExists(Tf4() + "/Corvina"));
    EXPECT_FALSE(HostExists(Programs() + "/Corvina/Corvina Info.lnk"));
    EXPECT_FALSE(HostExists(Tf4() + "/UNINST/CorvinaUninstall.lnk"));
    EXPECT_FALSE(HostExists(Log()));
    if (c.restored) {
      EXPECT_EQ(ReadHostFile(Tf4() + "/journal.dat"), "base journal.dat");
      EXPECT_EQ(ReadHostFile(System32() + "/Stale.dll"), "stale dll");
      EXPECT_FALSE(HostExists(Tf4() + "/UNINST"));
      EXPECT_FALSE(Contains(run.output, "Не удалось восстановить")) << run.output;
    } else {
      // The earlier content is still there to be had, and the message says where.
      EXPECT_FALSE(HostExists(Tf4() + "/journal.dat"));
      EXPECT_TRUE(Contains(run.output, "Не удалось восстановить прежние версии следующих файлов: \n"
                                       "\"C:\\Program Files\\TF4\\journal.dat\" (сохранён как "
                                       "\"C:\\Program Files\\TF4\\UNINST\\KEPT\\"))
          << run.output;
      bool kept_somewhere = false;
      for (int n = 1; n <= 3; ++n)
        kept_somewhere |= ReadHostFile(Tf4() + "/UNINST/KEPT/" + std::to_string(n)) == std::optional<std::string>("base journal.dat");
      EXPECT_TRUE(kept_somewhere);
    }
  }
}

// With Run on and FinalMessage off there is no dialog, and the base package's setup program is
// started in the installation folder without being awaited.
TEST_F(InstallRunTest, PostInstallProgramStartsWithoutAFinalMessage) {
  Pack({{"Corvina/ReadMe.txt", "readme"}});
  WriteHostFile(Tf4() + "/TF4Setup.exe", "#!/bin/sh\necho \"$*\" > started.tmp && mv started.tmp started.txt\n");
  chmod((Tf4() + "/TF4Setup.exe").c_str(), 0755);
  WriteHostFile(Dist() + "/setup.ini",
                "[Main]\r\nAutoRun=1\r\nSelectDialog=0\r\nFinalMessage=0\r\n[Setup]\r\nParams=-go %STARTDIR%\r\n");
  const RunResult run = Run("");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(Contains(run.output, "Информация")) << run.output;
  // The program runs on its own; wait (bounded) for the file it writes.
  std::optional<std::string> started;
  for (int i = 0; i < 200 && !started; ++i) {
    started = ReadHostFile(Tf4() + "/started.txt");
    if (!started) usleep(50000);
  }
  EXPECT_EQ(started, std::optional<std::string>("-go C:\\dist\n"));
}

TEST_F(InstallRunTest, MissingUninstallFolderEndsAsAReadFailure) {
  Pack(StandardPayload());
  const RunResult run = Run("", "CORVINA_FAULTS='mkdir=*TF4\\UNINST'");
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(run.output, "Ошибка при чтении данных. Вероятно, испорчен файл setup.dat.")) << run.output;
  EXPECT_FALSE(HostExists(Tf4() + "/Corvina"));
  EXPECT_EQ(ReadHostFile(Tf4() + "/journal.dat"), "base journal.dat");
}

// A destination that cannot be deleted brings up the retry question. The change number of its
// deletion comes from a first run's fault log, so the second run fails exactly that one deletion.
TEST_F(InstallRunTest, RetryAfterAFailedDeletionReplacesTheFile) {
  Pack(StandardPayload());
  const std::string fault_log = root_.Root() + "/faults.log";
  ASSERT_EQ(Run("", "CORVINA_FAULT_LOG='" + fault_log + "'").status, 0);
  const std::string history = ReadHostFile(fault_log).value_or("");
  const size_t at = history.find(" DeleteFile C:\\Program Files\\TF4\\journal.dat ok");
  ASSERT_NE(at, std::string::npos) << history;
  const std::string number = history.substr(history.rfind('\n', at) + 1, at - history.rfind('\n', at) - 1);

  Prepare();
  Pack(StandardPayload());
  const RunResult run = Run("Повтор\n", "CORVINA_FAULTS=nth=" + number);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(Contains(run.output, "Предупреждение\nОшибка при обновлении файла \"C:\\Program Files\\TF4\\journal.dat\". "
                                   "Возможно, прежняя версия файла используется в одном из работающих приложений. "
                                   "Закройте все приложения, кроме программы установки Corvina, и повторите попытку "
                                   "обновления, нажав кнопку \"Повтор\".\nПри повторном возникновении ошибки нажмите "
                                   "кнопку \"Далее\".\n  1. Повтор\n  2. Далее\n"))
      << run.output;
  EXPECT_EQ(ReadHostFile(Tf4() + "/journal.dat"), "new journal");
  EXPECT_TRUE(Contains(run.output, "успешно завершена")) << run.output;
}

TEST_F(InstallRunTest, IgnoringAFailedDeletionKeepsTheOldFileAndReportsIt) {
  Pack(StandardPayload());
  // Every deletion of journal.dat fails: one Retry, then Ignore.
  const RunResult run = Run("Повтор\nДалее\n", "CORVINA_FAULTS='delete=*TF4\\journal.dat'");
  EXPECT_EQ(run.status, 3) << run.output;
  size_t questions = 0;
  for (size_t at = run.output.find("Ошибка при обновлении файла"); at != std::string::npos;
       at = run.output.find("Ошибка при обновлении файла", at + 1))
    ++questions;
  EXPECT_EQ(questions, 2u) << run.output;
  EXPECT_TRUE(Contains(run.output, "Установка задачника Corvina завершена.\nЯрлыки задачника Corvina помещены в группу "
                                   "\"Corvina\" раздела \"Программы\" меню \"Пуск\".\nНе удалось обновить следующие "
                                   "файлы: \n\"C:\\Program Files\\TF4\\journal.dat\".\nИз-за указанных проблем задачник "
                                   "Corvina может работать не вполне корректно.\nРекомендуется перезагрузить компьютер "
                                   "и повторно выполнить установку задачника Corvina."))
      << run.output;
  // The old file keeps its content and its read-only attribute, and is not in the log.
  EXPECT_EQ(ReadHostFile(Tf4() + "/journal.dat"), "base journal.dat");
  EXPECT_FALSE(HostWritable(Tf4() + "/journal.dat"));
  EXPECT_FALSE(Contains(ReadHostFile(Log()).value_or(""), "journal.dat"));
  EXPECT_EQ(ReadHostFile(Tf4() + "/Corvina/ReadMe.txt"), "readme");
}

}  // namespace
}  // namespace corvina
