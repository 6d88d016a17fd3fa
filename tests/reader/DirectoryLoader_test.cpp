// Loading an archive's directory into the unzip component: the end record, the scan for local
// headers (archives with a program in front, archives without an end record), the merge of the
// central records after a scan, reloading when the file changed, the cursor, and the failures.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "platform/FileSystem.h"
#include "support/InfoZipArchive.h"
#include "support/WineRoot.h"
#include "support/ZipWriter.h"
#include "zip/UnZipper.h"
#include "zip/ZipRecords.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::ZipBuilder;
using testing::ZipEntrySpec;

// Records cursor changes and message-loop calls; answers nothing else.
class RecordingServices : public IAppServices {
public:
  int32_t MessageDlg(const std::string&, MsgDlgType, const std::vector<MsgDlgBtn>&) override { return mrCancel; }
  int32_t MessageBox(const std::string&, const std::string&, uint32_t) override { return IDCANCEL; }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor cursor) override {
    cursor_ = cursor;
    cursor_changes.push_back(cursor);
  }
  Cursor GetCursor() override { return cursor_; }
  void ProcessMessages() override { ++process_messages; }
  void Terminate(int) override {}

  std::vector<Cursor> cursor_changes;
  int process_messages = 0;

private:
  Cursor cursor_ = Cursor::Default;
};

class DirectoryLoaderTest : public ::testing::Test {
protected:
  void SetUp() override {
    services_ = std::make_shared<RecordingServices>();
    SetAppServices(services_);
  }
  void TearDown() override { SetAppServices(nullptr); }

  // Writes bytes as C:\<name> and returns the Windows name.
  std::string WriteArchive(const std::string& name, const Bytes& bytes) {
    testing::WriteHostFile(root_.DriveC() + "/" + name, std::string(bytes.begin(), bytes.end()));
    return "C:\\" + name;
  }
  void SetHostTime(const std::string& name, time_t when) {
    struct utimbuf times = {when, when};
    ASSERT_EQ(utime((root_.DriveC() + "/" + name).c_str(), &times), 0);
  }

  static ZipEntrySpec Entry(const std::string& name, const std::string& data) {
    ZipEntrySpec e;
    e.name = name;
    e.data = data;
    return e;
  }

  static const TZipHeaderInfo& EntryOf(TUnZipper& zip, int32_t index) { return *zip.SortedView()->Entry(index); }

  static std::vector<std::string> Names(TUnZipper& zip) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < zip.Count(); ++i) names.push_back(zip.FullName(i));
    return names;
  }

  testing::WineRoot root_;
  std::shared_ptr<RecordingServices> services_;
};

TEST_F(DirectoryLoaderTest, ReadsTheCentralDirectoryInArchiveOrder) {
  ZipBuilder b;
  b.entries = {Entry("b.txt", "bbb"), Entry("dir/a.txt", "aaaa"), Entry("dir/", "")};
  b.entries[0].comment = "first";
  b.entries[1].external_attr = 0x21;
  const std::string name = WriteArchive("plain.zip", b.Build());
  TUnZipper zip(nullptr);
  zip.SetZipName(name);
  zip.OpenArchive();
  ASSERT_EQ(zip.Count(), 3);
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"b.txt", "dir\\a.txt", "dir\\"}));
  EXPECT_EQ(EntryOf(zip, 1).ExternalAttr, 0x21u);
  EXPECT_EQ(EntryOf(zip, 1).LocalOffset, b.local_offsets[1]);
  EXPECT_EQ(EntryOf(zip, 0).MadeBy, 20);
  EXPECT_EQ(zip.GetVolumeMode(), vmSingle);
  // Comments are read on demand.
  EXPECT_FALSE(EntryOf(zip, 0).Comment().has_value());
  EXPECT_EQ(zip.FileComment(0), "first");
  EXPECT_EQ(zip.FileComment(1), "");
  EXPECT_TRUE(services_->cursor_changes.empty());  // no scan, no hourglass
}

TEST_F(DirectoryLoaderTest, AnEmptyArchiveLoadsWithoutEntries) {
  ZipBuilder b;
  b.archive_comment = "nothing here";
  const std::string name = WriteArchive("empty.zip", b.Build());
  TUnZipper zip(nullptr);
  zip.SetZipName(name);
  zip.OpenArchive();
  EXPECT_EQ(zip.Count(), 0);
  EXPECT_EQ(zip.ZipComment(), "nothing here");
}


// The first 15000 bytes of a self-extracting archive: a "program" that holds a decoy local header
// at byte 100 (an entry "stub.txt" with no data, followed by bytes that are no header), and no
// other P K 3 4 sequence.
std::string ProgramInFront() {
  std::string program(15000, 'M');
  ZipEntrySpec stub;
  stub.name = "stub.txt";
  const Bytes header = testing::LocalHeader(stub);
  program.replace(100, header.size(), std::string(header.begin(), header.end()));
  return program;
}

TEST_F(DirectoryLoaderTest, AProgramInFrontIsReadThroughAdjustedOffsetsOrByTheScan) {
  struct Case {
    const char* file;
    bool adjusted;
    std::vector<std::string> names;
    uint16_t made_by;  // of the first entry
    bool scanned;
  } cases[] = {
      // adjusted offsets: the central directory is found where the end record says
      {"ADJUSTED.EXE", true, {"one.txt", "sub\\two.txt"}, 20, false},
      {"adjusted.exe", true, {"one.txt", "sub\\two.txt"}, 20, false},
      // unadjusted: the scan starts past the program for an upper-case ".EXE" name, so the decoy
      // is not seen; the central records match no scanned offset, so local fields stay
      {"SETUP.EXE", false, {"one.txt", "sub\\two.txt"}, 0, true},
      // ... and at byte 0 otherwise, where the decoy is the first header and ends the scan
      {"setup.exe", false, {"stub.txt"}, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ZipBuilder b;
    b.prefix = ProgramInFront();
    b.adjust_offsets = c.adjusted;
    b.entries = {Entry("one.txt", "1111"), Entry("sub/two.txt", "22")};
    b.entries[0].made_by = 20;
    const std::string name = WriteArchive(c.file, b.Build());
    services_->cursor_changes.clear();
    TUnZipper zip(nullptr);
    zip.SetZipName(name);
    zip.OpenArchive();
    EXPECT_EQ(Names(zip), c.names);
    EXPECT_EQ(EntryOf(zip, 0).MadeBy, c.made_by);
    if (c.scanned) {
      EXPECT_EQ(services_->cursor_changes, (std::vector<Cursor>{Cursor::HourGlass, Cursor::Default}));
    } else {
      EXPECT_TRUE(services_->cursor_changes.empty());
    }
  }
}

TEST_F(DirectoryLoaderTest, AScanMergesTheCentralRecordsOfTheHeadersItFound) {
  // The end record points at the wrong place; the offsets in the central records are right.
  ZipBuilder b;
  b.entries = {Entry("a.txt", "aaa"), Entry("b.txt", "bb")};
  b.entries[1].external_attr = 0x01;
  b.entries[1].made_by = 0x0314;
  Bytes bytes = b.Build();
  bytes[b.end_offset + 16] ^= 0x01;  // DirectoryOffset one byte off
  const std::string name = WriteArchive("moved.zip", bytes);
  TUnZipper zip(nullptr);
  zip.SetZipName(name);
  zip.OpenArchive();
  ASSERT_EQ(zip.Count(), 2);
  EXPECT_EQ(EntryOf(zip, 1).MadeBy, 0x0314);
  EXPECT_EQ(EntryOf(zip, 1).ExternalAttr, 0x01u);
  EXPECT_EQ(EntryOf(zip, 1).LocalOffset, b.local_offsets[1]);
  EXPECT_EQ(EntryOf(zip, 1).CentralOffset, b.central_offset + 46 + 5 /* first record */);
}

TEST_F(DirectoryLoaderTest, NoEndRecord) {
  // Two whole entries, then the archive stops inside the central directory.
  ZipBuilder b;
  b.entries = {Entry("x.txt", "xxxx"), Entry("y.txt", "yy")};
  Bytes bytes = b.Build();
  bytes.resize(b.central_offset + 20);
  const std::string name = WriteArchive("cut.zip", bytes);

  struct Case {
    const char* what;
    TIncompleteZipMode mode;
    bool handler;  // a handler that switches to izAssumeBad
    bool loads;
  } cases[] = {
      {"default", izAssumeMulti, false, false},
      {"assume bad", izAssumeBad, false, true},
      {"handler switches", izAssumeMulti, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TUnZipper zip(nullptr);
    zip.SetZipName(name);
    zip.IncompleteZipMode = c.mode;
    int calls = 0;
    if (c.handler) {
      zip.OnInCompleteZip = [&calls](TComponent*, TIncompleteZipMode& mode) {
        ++calls;
        EXPECT_EQ(mode, izAssumeMulti);
        mode = izAssumeBad;
      };
    }
    if (c.loads) {
      zip.OpenArchive();
      EXPECT_EQ(Names(zip), (std::vector<std::string>{"x.txt", "y.txt"}));
      EXPECT_EQ(EntryOf(zip, 0).MadeBy, 0);
      EXPECT_EQ(zip.IncompleteZipMode, izAssumeBad);
    } else {
      try {
        zip.OpenArchive();
        ADD_FAILURE() << "loaded";
      } catch (const EIncompleteZip& e) {
        EXPECT_EQ(e.Message, "Incomplete Zip File");
      }
      EXPECT_EQ(zip.ZipName(), "");
      EXPECT_EQ(zip.Count(), 0);
    }
    EXPECT_EQ(calls, c.handler ? 1 : 0);
  }
}

TEST_F(DirectoryLoaderTest, AFileWithoutAnyLocalHeaderIsNotAZipFile) {
  // an end record pointing at nothing, and no local header anywhere
  Bytes with_end = testing::EndRecord({0, 0, 1, 1, 46, 500, "", std::nullopt});
  with_end.insert(with_end.begin(), 600, 'q');
  const struct {
    const char* file;
    Bytes bytes;
  } cases[] = {
      {"text.zip", Bytes(300, 'z')},
      {"points_nowhere.zip", with_end},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string name = WriteArchive(c.file, c.bytes);
    TUnZipper zip(nullptr);
    zip.SetZipName(name);
    zip.IncompleteZipMode = izAssumeBad;
    services_->cursor_changes.clear();
    try {
      zip.OpenArchive();
      ADD_FAILURE() << "loaded";
    } catch (const EBadZipFile& e) {
      EXPECT_EQ(e.Message, "Not a valid zip file!");
    }
    EXPECT_EQ(zip.ZipName(), "");
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(services_->cursor_changes, (std::vector<Cursor>{Cursor::HourGlass, Cursor::Default}));
  }
}

TEST_F(DirectoryLoaderTest, ACentralRecordThatCannotBeReadFailsTheWholeLoad) {
  ZipBuilder b;
  b.entries = {Entry("1", "a"), Entry("2", "b"), Entry("3", "c")};
  const Bytes good = b.Build();

  Bytes damaged = good;  // the second central record's signature is broken
  damaged[b.central_offset + 46 + 1] = 'X';
  Bytes too_many = good;  // the end record promises five records; the fourth read meets the end record
  too_many[b.end_offset + 8] = 5;
  too_many[b.end_offset + 10] = 5;
  Bytes cut_name = good;  // the last record's name would run past the end of the file
  cut_name[b.central_offset + 2 * (46 + 1) + 28] = 200;
  for (const auto& [file, bytes] : {std::pair{"damaged.zip", damaged}, std::pair{"too_many.zip", too_many},
                                    std::pair{"cut_name.zip", cut_name}}) {
    SCOPED_TRACE(file);
    const std::string name = WriteArchive(file, bytes);
    TUnZipper zip(nullptr);
    zip.SetZipName(name);
    try {
      zip.OpenArchive();
      ADD_FAILURE() << "loaded " << zip.Count();
    } catch (const EBadZipFile& e) {
      EXPECT_EQ(e.Message, "Not a valid zip file!");
    }
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.ZipName(), "");
  }

  Bytes fewer = good;  // the end record counts two of the three records: only two are read
  fewer[b.end_offset + 8] = 2;
  fewer[b.end_offset + 10] = 2;
  TUnZipper zip(nullptr);
  zip.SetZipName(WriteArchive("fewer.zip", fewer));
  zip.OpenArchive();
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"1", "2"}));
}

TEST_F(DirectoryLoaderTest, ReloadsOnlyWhenTheFileDateChanged) {
  ZipBuilder first;
  first.entries = {Entry("old.txt", "o")};
  ZipBuilder second;
  second.entries = {Entry("new1.txt", "n"), Entry("new2.txt", "m")};
  const std::string name = WriteArchive("changing.zip", first.Build());
  SetHostTime("changing.zip", 1300000000);
  TUnZipper zip(nullptr);
  zip.SetZipName(name);
  zip.OpenArchive();
  zip.CloseArchive();
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"old.txt"}));

  // Same date: the directory is kept, although the bytes differ.
  WriteArchive("changing.zip", second.Build());
  SetHostTime("changing.zip", 1300000000);
  zip.OpenArchive();
  zip.CloseArchive();
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"old.txt"}));

  // A newer file: reloaded.
  SetHostTime("changing.zip", 1300000100);
  zip.OpenArchive();
  zip.CloseArchive();
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"new1.txt", "new2.txt"}));
}

TEST_F(DirectoryLoaderTest, TheScanSkipsDataDescriptorsAndYieldsWhileSkipping) {
  // An entry written as a stream: sizes in a data descriptor, local sizes zero. The scan looks for
  // the next header 16 bytes after the name, inside the entry's data, and ends there.
  ZipBuilder b;
  b.prefix = std::string(30000, '\0');
  b.entries = {Entry("streamed.txt", "0123456789abcdefXYZ"), Entry("after.txt", "a")};
  b.entries[0].flags = 0x0008;
  b.entries[0].local_sizes_zero = true;
  b.entries[0].data_descriptor = true;
  b.write_end_record = false;
  const std::string name = WriteArchive("stream.zip", b.Build());
  for (bool process_messages : {true, false}) {
    SCOPED_TRACE(process_messages);
    services_->process_messages = 0;
    TUnZipper zip(nullptr);
    zip.SetZipName(name);
    zip.IncompleteZipMode = izAssumeBad;
    zip.DoProcessMessages = process_messages;
    zip.OpenArchive();
    EXPECT_EQ(Names(zip), (std::vector<std::string>{"streamed.txt"}));
    EXPECT_EQ(EntryOf(zip, 0).LocalOffset, 30000u);
    EXPECT_EQ(services_->process_messages, process_messages ? 2 : 0);  // 30000 bytes skipped
  }
}

TEST_F(DirectoryLoaderTest, InfoZipArchivesAndSelfExtractors) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "zip is not installed";
  testing::TempDir dir;
  testing::WriteBytes(dir.Path() / "a.txt", Bytes(1000, 'a'));
  std::filesystem::create_directory(dir.Path() / "sub");
  testing::WriteBytes(dir.Path() / "sub" / "b.txt", Bytes{'b'});
  ASSERT_TRUE(testing::RunZip(dir.Path(), "-r plain.zip a.txt sub"));
  const Bytes plain = testing::ReadBytes(dir.Path() / "plain.zip");
  // A program glued in front, then the offsets adjusted by zip -A.
  Bytes glued(20000, 'P');
  glued.insert(glued.end(), plain.begin(), plain.end());
  testing::WriteBytes(dir.Path() / "sfx.exe", glued);
  ASSERT_TRUE(testing::RunZip(dir.Path(), "-A sfx.exe"));

  const std::vector<std::string> expected = {"a.txt", "sub\\", "sub\\b.txt"};
  for (const auto& [file, bytes] : {std::pair{"plain.zip", plain}, std::pair{"GLUED.EXE", glued},
                                    std::pair{"adjusted.exe", testing::ReadBytes(dir.Path() / "sfx.exe")}}) {
    SCOPED_TRACE(file);
    TUnZipper zip(nullptr);
    zip.SetZipName(WriteArchive(file, bytes));
    zip.OpenArchive();
    EXPECT_EQ(Names(zip), expected);
    ASSERT_EQ(zip.Count(), 3);
    EXPECT_EQ(EntryOf(zip, 0).UnpackedSize, 1000);
    EXPECT_EQ(EntryOf(zip, 0).Crc, testing::SimpleCrc32(std::string(1000, 'a')));
  }
}

TEST_F(DirectoryLoaderTest, TheViewFollowsTheSortMode) {
  ZipBuilder b;
  b.entries = {Entry("c.txt", "1"), Entry("a.txt", "22"), Entry("B.txt", "333")};
  TUnZipper zip(nullptr);
  zip.SetZipName(WriteArchive("sorted.zip", b.Build()));
  zip.SortMode = TZipSortMode::ByName;
  zip.OpenArchive();
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"a.txt", "B.txt", "c.txt"}));
  zip.SortDirectory(TZipSortMode::ByCompressedSize);
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"B.txt", "a.txt", "c.txt"}));
  EXPECT_EQ(zip.SortMode, TZipSortMode::ByCompressedSize);
  zip.SortDirectory(TZipSortMode::ByNone);
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"c.txt", "a.txt", "B.txt"}));
}

// The last volume of a set: its end record says disk 2, and here the whole central directory is
// on it too, so no other volume is needed. The volume mode comes from the drive, and the
// comments are read during the load because the volume may not be at hand later.
TEST_F(DirectoryLoaderTest, TheLastVolumeOfASetTellsDisksFromFilesAndLoadsItsComments) {
  testing::WriteHostFile(root_.Root() + "/system.reg",
                         "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                         "[Software\\\\Wine\\\\Drives] 1700000000\n\"a:\"=\"floppy\"\n");
  const std::string floppy = root_.Root() + "/floppy";
  mkdir(floppy.c_str(), 0777);
  root_.MapDrive('a', floppy);

  ZipBuilder b;
  b.entries = {Entry("p.txt", "pp"), Entry("q.txt", "qqq"), Entry("r.txt", "r")};
  for (ZipEntrySpec& e : b.entries) e.start_disk = 2;
  b.entries[0].comment = "first comment";
  b.entries[2].comment = "third";
  b.entries[2].central_extra = "EXTRA";
  b.archive_comment = "set comment";
  Bytes bytes = b.Build();
  bytes[b.end_offset + 4] = 2;  // this disk
  bytes[b.end_offset + 6] = 2;  // disk of the central directory
  const std::string text(bytes.begin(), bytes.end());
  testing::WriteHostFile(floppy + "/set.zip", text);
  testing::WriteHostFile(root_.DriveC() + "/set.zip", text);

  for (const auto& [name, mode] : {std::pair{"A:\\set.zip", vmDisks}, std::pair{"C:\\set.zip", vmFiles}}) {
    SCOPED_TRACE(name);
    TUnZipper zip(nullptr);
    zip.SetZipName(name);
    zip.OpenArchive();
    EXPECT_EQ(zip.GetVolumeMode(), mode);
    EXPECT_EQ(zip.CurrentDisk, 2);
    ASSERT_EQ(zip.Count(), 3);
    ASSERT_TRUE(EntryOf(zip, 0).Comment().has_value());
    EXPECT_EQ(*EntryOf(zip, 0).Comment(), "first comment");
    EXPECT_FALSE(EntryOf(zip, 1).Comment().has_value());
    ASSERT_TRUE(EntryOf(zip, 2).Comment().has_value());
    EXPECT_EQ(*EntryOf(zip, 2).Comment(), "third");
    ASSERT_TRUE(zip.EndRecord.Comment().has_value());
    EXPECT_EQ(*zip.EndRecord.Comment(), "set comment");
    // Loaded already: the archive is not needed any more for them.
    zip.CloseArchive();
    EXPECT_EQ(zip.FileComment(2), "third");
    EXPECT_EQ(zip.ArchiveStream, nullptr);
  }
}

// A local header whose packed size would send the scan back to the header itself (a negative
// size): the scan ends with that entry instead of finding it again.
TEST_F(DirectoryLoaderTest, TheScanNeverMovesBackwards) {
  ZipBuilder b;
  b.entries = {Entry("a.txt", ""), Entry("b.txt", "b")};
  b.entries[0].packed_size = static_cast<uint32_t>(-(30 + 5));
  b.write_end_record = false;
  TUnZipper zip(nullptr);
  zip.SetZipName(WriteArchive("backwards.zip", b.Build()));
  zip.IncompleteZipMode = izAssumeBad;
  zip.OpenArchive();
  EXPECT_EQ(Names(zip), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(EntryOf(zip, 0).PackedSize, -35);
}

}  // namespace
}  // namespace corvina
