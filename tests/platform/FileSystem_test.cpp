// The real file system over a temporary Wine-style root: files and handles, delete, move and copy
// with Windows semantics, attributes, DOS dates, drive types, labels, the current folder.
#include "platform/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <ctime>

#include "platform/CodePage.h"
#include "platform/Environment.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::HostExists;
using testing::MakeTempFolder;
using testing::ReadHostFile;
using testing::RemoveTree;
using testing::WineRoot;
using testing::WriteHostFile;

std::string A(const char* utf8) { return Utf8ToAnsi(utf8); }

constexpr int32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<int32_t>(static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day) << 16 |
                              static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2));
}

bool XattrsWork(const std::string& folder) {
  std::string probe = folder + "/.xattr-probe";
  WriteHostFile(probe, "");
  bool ok = setxattr(probe.c_str(), "user.DOSATTRIB", "0x0", 3, 0) == 0;
  unlink(probe.c_str());
  return ok;
}

class FileSystemTest : public ::testing::Test {
protected:
  std::string C(const std::string& host_relative) const { return root_.DriveC() + "/" + host_relative; }
  IFileSystem& fs() { return FileSystem(); }
  void Write(const std::string& windows, const std::string& content) {
    std::string error;
    auto handle = fs().Open(windows, OpenMode::Create, error);
    ASSERT_NE(handle, nullptr) << error;
    ASSERT_EQ(handle->Write(content.data(), static_cast<int64_t>(content.size())),
              static_cast<int64_t>(content.size()));
  }
  std::string Read(const std::string& windows) {
    std::string error;
    auto handle = fs().Open(windows, OpenMode::Read, error);
    if (!handle) return "<" + error + ">";
    std::string content(static_cast<size_t>(handle->Size()), '\0');
    handle->Read(content.data(), static_cast<int64_t>(content.size()));
    return content;
  }

  WineRoot root_;
};

TEST_F(FileSystemTest, HandlesReadWriteSeekTruncateAndRefuseWhatWindowsRefuses) {
  Write("C:\\data.bin", "0123456789");
  std::string error;
  auto handle = fs().Open("C:\\DATA.BIN", OpenMode::ReadWrite, error);
  ASSERT_NE(handle, nullptr) << error;
  EXPECT_EQ(handle->Size(), 10);
  EXPECT_EQ(handle->Seek(-3, 2), 7);
  char buffer[8] = {};
  EXPECT_EQ(handle->Read(buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(handle->Read(buffer, 8), 0);
  EXPECT_EQ(handle->Seek(2, 0), 2);
  EXPECT_EQ(handle->Write("ab", 2), 2);
  EXPECT_TRUE(handle->Truncate(5));
  handle.reset();
  EXPECT_EQ(*ReadHostFile(C("data.bin")), "01ab4");

  struct Refusal {
    const char* path;
    OpenMode mode;
  };
  fs().SetFileAttributes("C:\\data.bin", faReadOnly);
  mkdir(C("folder").c_str(), 0777);
  const Refusal refusals[] = {
      {"C:\\missing.bin", OpenMode::Read},   {"C:\\no\\such\\folder\\x", OpenMode::Create},
      {"C:\\folder", OpenMode::Read},        {"C:\\data.bin", OpenMode::ReadWrite},
      {"C:\\data.bin", OpenMode::Create},    {"Q:\\x", OpenMode::Create},
  };
  for (const Refusal& refusal : refusals) {
    error.clear();
    EXPECT_EQ(fs().Open(refusal.path, refusal.mode, error), nullptr) << refusal.path;
    EXPECT_FALSE(error.empty()) << refusal.path;
  }
  EXPECT_EQ(*ReadHostFile(C("data.bin")), "01ab4");  // the refused Create did not truncate it
  EXPECT_EQ(Read("C:\\data.bin"), "01ab4");          // reading a read-only file is fine
}

TEST_F(FileSystemTest, DeleteFileRefusesReadOnlyFilesAndFolders) {
  Write("C:\\plain.txt", "p");
  Write("C:\\locked.txt", "l");
  ASSERT_TRUE(fs().SetFileAttributes("C:\\locked.txt", faReadOnly));
  ASSERT_TRUE(fs().CreateDirectory("C:\\Folder"));
  struct Case {
    const char* path;
    bool deleted;
    const char* host;
    bool remains;
  };
  const Case cases[] = {
      {"C:\\PLAIN.TXT", true, "plain.txt", false},
      {"C:\\locked.txt", false, "locked.txt", true},
      {"C:\\Folder", false, "Folder", true},
      {"C:\\missing.txt", false, "missing.txt", false},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(fs().DeleteFile(test.path), test.deleted) << test.path;
    EXPECT_EQ(HostExists(C(test.host)), test.remains) << test.path;
  }
  // Once read-only is cleared the file goes.
  ASSERT_TRUE(fs().SetFileAttributes("C:\\locked.txt", 0));
  EXPECT_TRUE(fs().DeleteFile("C:\\locked.txt"));
}

TEST_F(FileSystemTest, FoldersAreCreatedOneLevelAndRemovedOnlyWhenEmpty) {
  EXPECT_TRUE(fs().CreateDirectory("C:\\One"));
  EXPECT_FALSE(fs().CreateDirectory("C:\\ONE"));            // exists, in another case
  EXPECT_FALSE(fs().CreateDirectory("C:\\Two\\Three"));     // parent missing
  Write("C:\\One\\f.txt", "f");
  EXPECT_FALSE(fs().RemoveDirectory("C:\\one"));            // not empty
  EXPECT_TRUE(fs().DeleteFile("C:\\one\\F.TXT"));
  EXPECT_TRUE(fs().RemoveDirectory("C:\\one"));
  EXPECT_FALSE(HostExists(C("One")));
}

TEST_F(FileSystemTest, ForceDirectoriesCreatesEveryMissingLevel) {
  const std::string deep = A("C:\\Program Files\\Корвина\\Уровень 2\\Уровень 3\\");
  EXPECT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(HostExists(C("Program Files/Корвина/Уровень 2/Уровень 3")));
  EXPECT_TRUE(ForceDirectories(A("c:\\PROGRAM FILES\\корвина")));  // exists already
  EXPECT_TRUE(ForceDirectories("C:\\"));
  Write("C:\\blocker", "b");
  EXPECT_FALSE(ForceDirectories("C:\\blocker\\below"));
  EXPECT_FALSE(ForceDirectories("Q:\\a\\b"));
  EXPECT_FALSE(ForceDirectories(""));
}

TEST_F(FileSystemTest, MoveFileRenamesAcrossFoldersAndNeverReplaces) {
  Write("C:\\a.txt", "A");
  Write("C:\\b.txt", "B");
  ASSERT_TRUE(fs().CreateDirectory("C:\\Sub"));
  EXPECT_FALSE(fs().MoveFile("C:\\a.txt", "C:\\B.TXT"));  // target exists in another case
  EXPECT_EQ(*ReadHostFile(C("a.txt")), "A");
  EXPECT_EQ(*ReadHostFile(C("b.txt")), "B");
  EXPECT_FALSE(fs().MoveFile("C:\\missing.txt", "C:\\c.txt"));
  EXPECT_FALSE(fs().MoveFile("C:\\a.txt", "C:\\NoFolder\\a.txt"));
  EXPECT_TRUE(fs().MoveFile("C:\\A.TXT", "C:\\sub\\moved.txt"));
  EXPECT_FALSE(HostExists(C("a.txt")));
  EXPECT_EQ(*ReadHostFile(C("Sub/moved.txt")), "A");
  // A change of letter case only renames.
  EXPECT_TRUE(fs().MoveFile("C:\\Sub\\moved.txt", "C:\\Sub\\MOVED.TXT"));
  EXPECT_TRUE(HostExists(C("Sub/MOVED.TXT")));
  EXPECT_FALSE(HostExists(C("Sub/moved.txt")));
  // Folders move too, but not into themselves.
  EXPECT_FALSE(fs().MoveFile("C:\\Sub", "C:\\Sub\\Inner"));
  EXPECT_TRUE(fs().MoveFile("C:\\Sub", "C:\\Moved"));
  EXPECT_EQ(*ReadHostFile(C("Moved/MOVED.TXT")), "A");
}

TEST_F(FileSystemTest, MoveFileAcrossDevicesKeepsDataAttributesAndDate) {
  struct stat tmp_st, shm_st;
  if (stat("/dev/shm", &shm_st) != 0 || stat(root_.Root().c_str(), &tmp_st) != 0 || shm_st.st_dev == tmp_st.st_dev)
    GTEST_SKIP() << "no second device (/dev/shm) to move to";
  std::string other = MakeTempFolder("/dev/shm");
  root_.MapDrive('d', other);
  const int32_t date = Dos(2001, 2, 3, 4, 5, 6);
  Write("C:\\file.txt", "payload");
  ASSERT_TRUE(fs().SetFileDate("C:\\file.txt", date));
  const int32_t attributes = XattrsWork(root_.DriveC()) && XattrsWork(other) ? faReadOnly | faHidden : faReadOnly;
  ASSERT_TRUE(fs().SetFileAttributes("C:\\file.txt", attributes));
  ASSERT_TRUE(ForceDirectories("C:\\Tree\\Inner"));
  Write("C:\\Tree\\Inner\\deep.txt", "deep");

  EXPECT_TRUE(fs().MoveFile("C:\\file.txt", "D:\\file.txt"));
  EXPECT_FALSE(HostExists(C("file.txt")));
  EXPECT_EQ(*ReadHostFile(other + "/file.txt"), "payload");
  EXPECT_EQ(fs().GetFileAttributes("D:\\file.txt"), attributes);
  EXPECT_EQ(fs().FileAge("D:\\file.txt"), date);

  EXPECT_TRUE(fs().MoveFile("C:\\Tree", "D:\\Tree"));
  EXPECT_FALSE(HostExists(C("Tree")));
  EXPECT_EQ(*ReadHostFile(other + "/Tree/Inner/deep.txt"), "deep");

  Write("C:\\again.txt", "new");
  EXPECT_FALSE(fs().MoveFile("C:\\again.txt", "D:\\FILE.TXT"));  // never replaces, across devices too
  EXPECT_EQ(*ReadHostFile(other + "/file.txt"), "payload");
  EXPECT_EQ(*ReadHostFile(C("again.txt")), "new");
  chmod((other + "/file.txt").c_str(), 0644);
  RemoveTree(other);
}

TEST_F(FileSystemTest, CopyFileHonoursFailIfExistsAndReadOnlyTargets) {
  Write("C:\\src.txt", "source");
  const int32_t date = Dos(1999, 12, 31, 23, 59, 58);
  ASSERT_TRUE(fs().SetFileDate("C:\\src.txt", date));
  EXPECT_TRUE(fs().CopyFile("C:\\SRC.TXT", "C:\\copy.txt", true));
  EXPECT_EQ(*ReadHostFile(C("copy.txt")), "source");
  EXPECT_EQ(fs().FileAge("C:\\copy.txt"), date);

  Write("C:\\old.txt", "old");
  EXPECT_FALSE(fs().CopyFile("C:\\src.txt", "C:\\OLD.TXT", true));
  EXPECT_EQ(*ReadHostFile(C("old.txt")), "old");
  EXPECT_TRUE(fs().CopyFile("C:\\src.txt", "C:\\OLD.TXT", false));
  EXPECT_EQ(*ReadHostFile(C("old.txt")), "source");

  ASSERT_TRUE(fs().SetFileAttributes("C:\\old.txt", faReadOnly));
  Write("C:\\newer.txt", "newer");
  EXPECT_FALSE(fs().CopyFile("C:\\newer.txt", "C:\\old.txt", false));
  EXPECT_EQ(*ReadHostFile(C("old.txt")), "source");

  // Copying a file onto itself must not empty it.
  EXPECT_FALSE(fs().CopyFile("C:\\src.txt", "c:\\src.txt", false));
  EXPECT_EQ(*ReadHostFile(C("src.txt")), "source");
  EXPECT_FALSE(fs().CopyFile("C:\\missing.txt", "C:\\x.txt", false));
  EXPECT_FALSE(HostExists(C("x.txt")));

  // A read-only source gives a read-only copy, as on Windows.
  EXPECT_TRUE(fs().CopyFile("C:\\old.txt", "C:\\old-copy.txt", true));
  EXPECT_EQ(fs().GetFileAttributes("C:\\old-copy.txt") & faReadOnly, faReadOnly);
}

TEST_F(FileSystemTest, AttributesRoundTripThroughModeAndDosAttrib) {
  if (!XattrsWork(root_.DriveC())) GTEST_SKIP() << "the temporary folder keeps no extended attributes";
  Write("C:\\f.txt", "f");
  EXPECT_EQ(fs().GetFileAttributes("C:\\f.txt"), faArchive);  // a file nobody marked
  ASSERT_TRUE(fs().CreateDirectory("C:\\d"));
  EXPECT_EQ(fs().GetFileAttributes("C:\\D"), faDirectory);
  EXPECT_EQ(fs().GetFileAttributes("C:\\missing"), -1);
  EXPECT_FALSE(fs().SetFileAttributes("C:\\missing", 0));

  struct Case {
    int32_t set;
    int32_t got;
    const char* stored;  // the user.DOSATTRIB text
    bool writable;
  };
  const Case cases[] = {
      {faReadOnly, faReadOnly, "0x0", false},
      {faHidden | faArchive, faHidden | faArchive, "0x22", true},
      {faSysFile | faReadOnly, faSysFile | faReadOnly, "0x4", false},
      {0, 0, "0x0", true},
      {faArchive | faDirectory | faVolumeID, faArchive, "0x20", true},  // bits a file cannot take are dropped
  };
  for (const Case& test : cases) {
    ASSERT_TRUE(fs().SetFileAttributes("C:\\F.TXT", test.set));
    EXPECT_EQ(fs().GetFileAttributes("C:\\f.txt"), test.got) << test.set;
    char stored[16] = {};
    getxattr(C("f.txt").c_str(), "user.DOSATTRIB", stored, sizeof stored - 1);
    EXPECT_STREQ(stored, test.stored) << test.set;
    struct stat st;
    ASSERT_EQ(stat(C("f.txt").c_str(), &st), 0);
    EXPECT_EQ((st.st_mode & S_IWUSR) != 0, test.writable) << test.set;
  }
  // Wine's own marks are read the same way.
  ASSERT_EQ(setxattr(C("f.txt").c_str(), "user.DOSATTRIB", "0x6", 3, 0), 0);
  EXPECT_EQ(fs().GetFileAttributes("C:\\f.txt"), faHidden | faSysFile);
  // A folder stays writable whatever it is told: Windows ignores read-only there.
  ASSERT_TRUE(fs().SetFileAttributes("C:\\d", faReadOnly | faHidden));
  EXPECT_EQ(fs().GetFileAttributes("C:\\d"), faDirectory | faHidden);
}

TEST_F(FileSystemTest, DosDatesRoundTripInLocalTime) {
  Write("C:\\dated.txt", "d");
  const int32_t dates[] = {
      Dos(1980, 1, 1, 0, 0, 0),   Dos(2000, 2, 29, 23, 59, 58), Dos(2023, 7, 15, 12, 34, 56),
      Dos(2044, 1, 1, 0, 0, 0),   // the first date with the sign bit set
      Dos(2107, 12, 31, 23, 59, 58),
  };
  for (int32_t date : dates) {
    ASSERT_TRUE(fs().SetFileDate("C:\\DATED.TXT", date)) << std::hex << date;
    EXPECT_EQ(fs().FileAge("C:\\dated.txt"), date) << std::hex << date;
  }
  // The host time that was set is the local time the DOS date names.
  ASSERT_TRUE(fs().SetFileDate("C:\\dated.txt", Dos(2021, 3, 4, 5, 6, 8)));
  struct stat st;
  ASSERT_EQ(stat(C("dated.txt").c_str(), &st), 0);
  struct tm local;
  localtime_r(&st.st_mtim.tv_sec, &local);
  EXPECT_EQ(local.tm_year + 1900, 2021);
  EXPECT_EQ(local.tm_mon + 1, 3);
  EXPECT_EQ(local.tm_mday, 4);
  EXPECT_EQ(local.tm_hour, 5);
  EXPECT_EQ(local.tm_min, 6);
  EXPECT_EQ(local.tm_sec, 8);

  const int32_t invalid[] = {
      Dos(2001, 13, 1, 0, 0, 0), Dos(2001, 0, 1, 0, 0, 0), Dos(2001, 2, 29, 0, 0, 0),
      Dos(2001, 4, 31, 0, 0, 0), Dos(2001, 1, 0, 0, 0, 0), Dos(2001, 1, 1, 24, 0, 0),
      Dos(2001, 1, 1, 0, 60, 0), Dos(2001, 1, 1, 0, 0, 60), -1,
  };
  for (int32_t date : invalid) EXPECT_FALSE(fs().SetFileDate("C:\\dated.txt", date)) << std::hex << date;
  EXPECT_EQ(fs().FileAge("C:\\dated.txt"), Dos(2021, 3, 4, 5, 6, 8));
  EXPECT_EQ(fs().FileAge("C:\\missing.txt"), -1);
  EXPECT_FALSE(fs().SetFileDate("C:\\missing.txt", Dos(2001, 1, 1, 0, 0, 0)));

  // Through a handle.
  std::string error;
  auto handle = fs().Open("C:\\dated.txt", OpenMode::ReadWrite, error);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(handle->SetDate(Dos(1995, 5, 5, 5, 5, 4)));
  EXPECT_EQ(handle->GetDate(), Dos(1995, 5, 5, 5, 5, 4));
}

TEST(DosDateTime, HostTimesOutsideTheDosRangeAreClamped) {
  EXPECT_EQ(UnixTimeToDosDateTime(0), Dos(1980, 1, 1, 0, 0, 0));  // 1970
  EXPECT_EQ(UnixTimeToDosDateTime(int64_t{1} << 40), Dos(2107, 12, 31, 23, 59, 58));
  int64_t back = 0;
  ASSERT_TRUE(DosDateTimeToUnixTime(Dos(2010, 6, 7, 8, 9, 11), back));  // odd seconds: DOS keeps 2-second steps
  EXPECT_EQ(UnixTimeToDosDateTime(back), Dos(2010, 6, 7, 8, 9, 10));
}

TEST_F(FileSystemTest, ListDirectoryGivesSortedEntriesIn1251) {
  ASSERT_TRUE(ForceDirectories(A("C:\\List\\Папка")));
  Write(A("C:\\List\\файл.txt"), "12345");
  Write("C:\\List\\b.txt", "");
  ASSERT_TRUE(fs().SetFileDate("C:\\List\\b.txt", Dos(2002, 2, 2, 2, 2, 2)));
  std::vector<DirEntry> entries = fs().ListDirectory("c:\\list\\");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].Name, "b.txt");
  EXPECT_EQ(entries[0].DosDateTime, Dos(2002, 2, 2, 2, 2, 2));
  EXPECT_EQ(entries[1].Name, A("Папка"));
  EXPECT_EQ(entries[1].Attributes & faDirectory, faDirectory);
  EXPECT_EQ(entries[2].Name, A("файл.txt"));
  EXPECT_EQ(entries[2].Size, 5);
  EXPECT_EQ(entries[2].Attributes & faDirectory, 0);
  EXPECT_TRUE(fs().ListDirectory("C:\\NoSuchFolder").empty());
}

TEST_F(FileSystemTest, DriveTypesComeFromTheWineDrivesKey) {
  WriteHostFile(root_.Root() + "/system.reg",
                "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                "[Software\\\\Wine\\\\Drives] 1700000000\n#time=1da0000000000000\n"
                "\"a:\"=\"floppy\"\n\"D:\"=\"cdrom\"\n\"e:\"=\"network\"\n\"f:\"=\"ramdisk\"\n\"g:\"=\"hd\"\n"
                "\"h:\"=dword:00000001\n");
  for (char letter : std::string("adefgh")) root_.MapDrive(letter, root_.DriveC());
  struct Case {
    const char* root;
    DriveType type;
  };
  const Case cases[] = {
      {"A:\\", DriveType::Removable}, {"a:", DriveType::Removable}, {"C:\\", DriveType::Fixed},
      {"C:", DriveType::Fixed},       {"c:/", DriveType::Fixed},    {"D:\\", DriveType::CDRom},
      {"E:\\", DriveType::Remote},    {"F:\\", DriveType::RamDisk}, {"G:\\", DriveType::Fixed},
      {"H:\\", DriveType::Fixed},     // a value that is no text says nothing
      {"Q:\\", DriveType::NoRootDir}, {"C:\\windows\\", DriveType::NoRootDir},
      {"\\\\server\\share\\", DriveType::NoRootDir},
  };
  for (const Case& test : cases) EXPECT_EQ(fs().GetDriveType(test.root), test.type) << test.root;
}

TEST_F(FileSystemTest, VolumeLabelIsTheFirstLineOfWindowsLabel) {
  std::string label = "unchanged";
  EXPECT_FALSE(fs().GetVolumeLabel("C:\\", label));
  EXPECT_EQ(label, "unchanged");
  struct Case {
    const char* content;
    const char* label;  // UTF-8 here
  };
  const Case cases[] = {
      {"TF4_DISK001\n", "TF4_DISK001"},
      {"NO NEWLINE", "NO NEWLINE"},
      {"Диск 002\r\nsecond line\n", "Диск 002"},
      {"", ""},
  };
  for (const Case& test : cases) {
    WriteHostFile(root_.DriveC() + "/.windows-label", test.content);
    ASSERT_TRUE(fs().GetVolumeLabel("c:\\", label)) << test.content;
    EXPECT_EQ(label, A(test.label));
  }
  EXPECT_FALSE(fs().GetVolumeLabel("Q:\\", label));
}

TEST_F(FileSystemTest, CurrentFolderIsNamedThroughTheDriveMap) {
  std::string other = MakeTempFolder();
  root_.MapDrive('d', other);
  ASSERT_TRUE(ForceDirectories(A("C:\\Work\\Папка")));
  ASSERT_TRUE(fs().SetCurrentDir(A("c:\\work\\ПАПКА")));
  EXPECT_EQ(fs().GetCurrentDir(), A("C:\\Work\\Папка"));
  EXPECT_EQ(fs().DriveCurrentDir(0), A("C:\\Work\\Папка"));
  EXPECT_EQ(fs().DriveCurrentDir(3), A("C:\\Work\\Папка"));
  EXPECT_EQ(fs().DriveCurrentDir(4), "D:\\");
  // Relative names are completed from the current folder, "\x" from the current drive's root.
  Write("inside.txt", "i");
  EXPECT_TRUE(HostExists(C("Work/Папка/inside.txt")));
  Write("\\top.txt", "t");
  EXPECT_TRUE(HostExists(C("top.txt")));
  Write("C:beside.txt", "b");
  EXPECT_TRUE(HostExists(C("Work/Папка/beside.txt")));
  Write("D:ondrive.txt", "d");
  EXPECT_TRUE(HostExists(other + "/ondrive.txt"));
  EXPECT_TRUE(fs().FileExists(A("..\\папка\\INSIDE.TXT")));

  ASSERT_TRUE(fs().SetCurrentDir("C:\\"));
  EXPECT_EQ(fs().GetCurrentDir(), "C:\\");
  EXPECT_FALSE(fs().SetCurrentDir("C:\\NoSuchFolder"));
  EXPECT_EQ(fs().GetCurrentDir(), "C:\\");
  RemoveTree(other);
}

// A file system double that only records what it was asked.
class RecordingFileSystem : public IFileSystem {
public:
  std::vector<std::string> asked;
  std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode, std::string&) override {
    asked.push_back("Open " + path);
    return nullptr;
  }
  bool FileExists(const std::string& path) override { return asked.push_back("FileExists " + path), false; }
  bool DirectoryExists(const std::string& path) override {
    return asked.push_back("DirectoryExists " + path), false;
  }
  bool CreateDirectory(const std::string& path) override {
    return asked.push_back("CreateDirectory " + path), false;
  }
  bool RemoveDirectory(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }
  bool MoveFile(const std::string&, const std::string&) override { return false; }
  bool CopyFile(const std::string&, const std::string&, bool) override { return false; }
  int32_t GetFileAttributes(const std::string&) override { return -1; }
  bool SetFileAttributes(const std::string&, int32_t) override { return false; }
  int32_t FileAge(const std::string&) override { return -1; }
  bool SetFileDate(const std::string&, int32_t) override { return false; }
  std::vector<DirEntry> ListDirectory(const std::string&) override { return {}; }
  DriveType GetDriveType(const std::string&) override { return DriveType::NoRootDir; }
  bool GetVolumeLabel(const std::string&, std::string&) override { return false; }
  std::string DriveCurrentDir(int) override { return "C:\\"; }
  std::string GetCurrentDir() override { return "C:\\"; }
  bool SetCurrentDir(const std::string&) override { return false; }
  std::string HostPath(const std::string&) override { return ""; }
  std::string WindowsPath(const std::string&) override { return ""; }
};

TEST_F(FileSystemTest, AnInstalledFileSystemServesEveryCallUntilRemoved) {
  auto recording = std::make_shared<RecordingFileSystem>();
  SetFileSystem(recording);
  EXPECT_EQ(CurrentFileSystem(), recording);
  EXPECT_FALSE(ForceDirectories("C:\\A\\B"));
  EXPECT_FALSE(FileSystem().FileExists("C:\\x"));
  ASSERT_FALSE(recording->asked.empty());
  EXPECT_EQ(recording->asked.front(), "DirectoryExists C:\\A\\B");
  EXPECT_FALSE(HostExists(C("A")));
  SetFileSystem(nullptr);
  EXPECT_EQ(CurrentFileSystem(), RealFileSystem());
  EXPECT_TRUE(ForceDirectories("C:\\A\\B"));
  EXPECT_TRUE(HostExists(C("A/B")));
}

}  // namespace
}  // namespace corvina
