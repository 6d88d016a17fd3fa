// Extraction of single entries through the unzip component: where each file lands (RecreateDirs,
// RootDir, drives and leading backslashes, directory entries), the overwrite policy with and
// without a handler, unknown methods, dates and attributes, a skip from OnStartUnZip, CRC
// failures, names that would climb out of the destination, short writes, an archive that ends
// too early, and the password check with its retries (crafted archives and Info-ZIP `zip -P`).
//
// Archives live on drive D: (a folder of the temporary Wine root) and everything is extracted to
// drive C:, so a listing of drive C: shows exactly what the reader wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "inflate/Crypt.h"
#include "platform/AppServices.h"
#include "platform/FaultInjectingFileSystem.h"
#include "platform/FileSystem.h"
#include "support/InfoZipArchive.h"
#include "support/WineRoot.h"
#include "support/ZipWriter.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::ZipBuilder;
using testing::ZipEntrySpec;
namespace fs = std::filesystem;

// Records the message boxes and answers them from a queue (No or OK when it is empty).
class BoxServices : public IAppServices {
public:
  struct Box {
    std::string text;
    std::string caption;
    uint32_t style;
  };
  int32_t MessageDlg(const std::string&, MsgDlgType, const std::vector<MsgDlgBtn>&) override { return mrCancel; }
  int32_t MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
    boxes.push_back({text, caption, style});
    if (!answers.empty()) {
      const int32_t answer = answers.front();
      answers.erase(answers.begin());
      return answer;
    }
    return style == MB_YESNO ? IDNO : IDOK;
  }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor) override {}
  Cursor GetCursor() override { return Cursor::Default; }
  void ProcessMessages() override {}
  void Terminate(int) override {}

  std::vector<Box> boxes;
  std::vector<int32_t> answers;
};

ZipEntrySpec Entry(const std::string& name, const std::string& data) {
  ZipEntrySpec e;
  e.name = name;
  e.data = data;
  return e;
}

// A deflate stream of one final stored block holding data (at most 65535 bytes).
std::string DeflateStored(const std::string& data) {
  std::string out(1, '\x01');
  const uint16_t n = static_cast<uint16_t>(data.size());
  out += static_cast<char>(n & 0xFF);
  out += static_cast<char>(n >> 8);
  out += static_cast<char>(~n & 0xFF);
  out += static_cast<char>((~n >> 8) & 0xFF);
  return out + data;
}

// Every file and folder below a host folder, relative, folders with a trailing "/", with contents.
std::map<std::string, std::string> Tree(const fs::path& folder) { return testing::HostTree(folder); }

class ExtractEntryTest : public ::testing::Test {
protected:
  void SetUp() override {
    services_ = std::make_shared<BoxServices>();
    SetAppServices(services_);
    archives_ = root_.Root() + "/archives";
    fs::create_directory(archives_);
    root_.MapDrive('d', archives_);
  }
  void TearDown() override { SetAppServices(nullptr); }

  // Writes the archive as D:\<name>; returns the Windows name.
  std::string Put(const std::string& name, const Bytes& bytes) {
    testing::WriteHostFile(archives_ + "/" + name, std::string(bytes.begin(), bytes.end()));
    return "D:\\" + name;
  }
  std::string Put(const std::string& name, ZipBuilder builder) { return Put(name, builder.Build()); }

  std::string C(const std::string& rel) const { return root_.DriveC() + "/" + rel; }
  std::map<std::string, std::string> DriveC() const { return Tree(root_.DriveC()); }
  void ClearDriveC() {
    testing::RemoveTree(root_.DriveC());
    fs::create_directory(root_.DriveC());
  }

  // A component on the archive, extracting everything to C:\out with the folders recreated, and
  // logging its per-entry events as text.
  std::unique_ptr<TUnZipper> Zipper(const std::string& archive) {
    auto zip = std::make_unique<TUnZipper>(nullptr);
    zip->SetZipName(archive);
    zip->SetDestDir("C:\\out");
    zip->DoAll = true;
    zip->RecreateDirs = true;
    zip->OverwriteMode = TUZOverwriteMode::Always;
    zip->OnStartUnZip = [this](TComponent*, int32_t i, const std::string& name, bool&) {
      log_.push_back("start " + std::to_string(i) + " " + name);
    };
    zip->OnEndUnZip = [this](TComponent*, int32_t i, const std::string& name) {
      log_.push_back("end " + std::to_string(i) + " " + name);
    };
    zip->OnSkippingFile = [this](TComponent*, TSkipReason reason, const std::string& name, int32_t i) {
      log_.push_back("skip " + std::to_string(i) + " " + std::to_string(reason) + " " + name);
    };
    zip->OnBadCRC = [this](TComponent*, int32_t calc, int32_t stored, int32_t i) {
      log_.push_back("crc " + std::to_string(i) + " " + std::to_string(static_cast<uint32_t>(calc)) + " " +
                     std::to_string(static_cast<uint32_t>(stored)));
    };
    return zip;
  }

  testing::WineRoot root_;
  std::string archives_;
  std::shared_ptr<BoxServices> services_;
  std::vector<std::string> log_;
};

TEST_F(ExtractEntryTest, DestinationFollowsRecreateDirsRootDirDrivesAndLeadingBackslashes) {
  struct Case {
    const char* stored;
    bool recreate;
    const char* root_dir;
    const char* dest;
    const char* expected;  // below drive C:
  };
  const Case cases[] = {
      {"sub/deeper/a.txt", false, "", "C:\\out", "out/a.txt"},
      {"sub/deeper/a.txt", true, "", "C:\\out", "out/sub/deeper/a.txt"},
      {"DATA/sub/a.txt", true, "data", "C:\\out", "out/sub/a.txt"},
      {"data/a.txt", true, "data\\", "C:\\out", "out/a.txt"},
      {"other/a.txt", true, "data", "C:\\out", "out/other/a.txt"},
      {"C:/x/a.txt", true, "", "C:\\out", "out/x/a.txt"},
      {"C:/x/a.txt", true, "", "", "x/a.txt"},
      {"/abs/a.txt", true, "", "C:\\out", "out/abs/a.txt"},
      {"/abs/a.txt", true, "", "C:\\", "abs/a.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored) + " root " + c.root_dir + " dest " + c.dest);
    ClearDriveC();
    ZipBuilder b;
    b.entries = {Entry(c.stored, "content")};
    auto zip = Zipper(Put("dest.zip", b));
    zip->RecreateDirs = c.recreate;
    zip->SetRootDir(c.root_dir);
    zip->SetDestDir(c.dest);
    EXPECT_EQ(zip->UnZip(), 1);
    std::map<std::string, std::string> files;
    for (const auto& [path, content] : DriveC())
      if (path.back() != '/') files[path] = content;
    EXPECT_EQ(files, (std::map<std::string, std::string>{{c.expected, "content"}}));
  }
}

TEST_F(ExtractEntryTest, DirectoryEntriesMakeTheirFolderOnlyWithRecreateDirs) {
  ZipBuilder b;
  b.entries = {Entry("empty/", ""), Entry("f.txt", "f")};
  const std::string archive = Put("dirs.zip", b);
  for (bool recreate : {true, false}) {
    SCOPED_TRACE(recreate);
    ClearDriveC();
    log_.clear();
    auto zip = Zipper(archive);
    zip->RecreateDirs = recreate;
    int32_t announced = -1;
    zip->OnStartUnZipInfo = [&](TComponent*, int32_t n, int64_t, bool&) { announced = n; };
    const int32_t result = zip->UnZip();
    if (recreate) {
      EXPECT_EQ(announced, 2);
      EXPECT_EQ(result, 2);
      EXPECT_TRUE(fs::is_directory(C("out/empty")));
      EXPECT_EQ(log_, (std::vector<std::string>{"start 0 C:\\out\\empty\\", "start 1 C:\\out\\f.txt",
                                                "end 1 C:\\out\\f.txt"}));
    } else {
      EXPECT_EQ(announced, 1);
      EXPECT_EQ(result, 1);
      EXPECT_FALSE(fs::exists(C("out/empty")));
      EXPECT_EQ(log_, (std::vector<std::string>{"start 1 C:\\out\\f.txt", "end 1 C:\\out\\f.txt"}));
    }
  }
}

TEST_F(ExtractEntryTest, OverwritePolicy) {
  enum Handler { kNoHandler, kHandlerDeclines, kHandlerAccepts };
  struct Case {
    const char* label;
    TUZOverwriteMode mode;
    Handler handler;
    int32_t answer;  // to the message box, when one is expected
    bool replaced;
    bool box;
  };
  const Case cases[] = {
      {"always", TUZOverwriteMode::Always, kNoHandler, 0, true, false},
      {"never", TUZOverwriteMode::Never, kNoHandler, 0, false, false},
      {"prompt, box answered no", TUZOverwriteMode::Prompt, kNoHandler, IDNO, false, true},
      {"prompt, box answered yes", TUZOverwriteMode::Prompt, kNoHandler, IDYES, true, true},
      {"prompt, handler declines", TUZOverwriteMode::Prompt, kHandlerDeclines, 0, false, false},
      {"prompt, handler accepts", TUZOverwriteMode::Prompt, kHandlerAccepts, 0, true, false},
  };
  ZipBuilder b;
  b.entries = {Entry("sub/a.txt", "new")};
  const std::string archive = Put("over.zip", b);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ClearDriveC();
    fs::create_directories(C("out/sub"));
    testing::WriteHostFile(C("out/sub/a.txt"), "old");
    log_.clear();
    services_->boxes.clear();
    services_->answers = {c.answer};
    auto zip = Zipper(archive);
    zip->OverwriteMode = c.mode;
    int prompts = 0;
    if (c.handler != kNoHandler) {
      zip->OnPromptForOverwrite = [&](TComponent*, bool& overwrite, int32_t i, std::string& name) {
        ++prompts;
        EXPECT_FALSE(overwrite);
        EXPECT_EQ(i, 0);
        EXPECT_EQ(name, "C:\\out\\sub\\a.txt");
        overwrite = c.handler == kHandlerAccepts;
      };
    }
    const int32_t result = zip->UnZip();
    EXPECT_EQ(*testing::ReadHostFile(C("out/sub/a.txt")), c.replaced ? "new" : "old");
    EXPECT_EQ(result, c.replaced ? 1 : 0);
    EXPECT_EQ(prompts, c.handler != kNoHandler ? 1 : 0);
    if (c.replaced) {
      EXPECT_EQ(log_, (std::vector<std::string>{"start 0 C:\\out\\sub\\a.txt", "end 0 C:\\out\\sub\\a.txt"}));
    } else {
      EXPECT_EQ(log_, (std::vector<std::string>{"skip 0 1 sub\\a.txt"}));
    }
    ASSERT_EQ(services_->boxes.size(), c.box ? 1u : 0u);
    if (c.box) {
      EXPECT_EQ(services_->boxes[0].text, "Replace existing file a.txt?");
      EXPECT_EQ(services_->boxes[0].caption, "File Exists Alert");
      EXPECT_EQ(services_->boxes[0].style & 0xF, MB_YESNO);
    }
  }
}

TEST_F(ExtractEntryTest, APromptHandlerMayRenameTheTarget) {
  ZipBuilder b;
  b.entries = {Entry("a.txt", "new")};
  fs::create_directories(C("out"));
  testing::WriteHostFile(C("out/a.txt"), "old");
  auto zip = Zipper(Put("rename.zip", b));
  zip->OverwriteMode = TUZOverwriteMode::Prompt;
  zip->OnPromptForOverwrite = [](TComponent*, bool& overwrite, int32_t, std::string& name) {
    overwrite = true;
    name = "C:\\out\\renamed.txt";
  };
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(*testing::ReadHostFile(C("out/a.txt")), "old");
  EXPECT_EQ(*testing::ReadHostFile(C("out/renamed.txt")), "new");
  EXPECT_EQ(log_, (std::vector<std::string>{"start 0 C:\\out\\renamed.txt", "end 0 C:\\out\\renamed.txt"}));
  EXPECT_TRUE(services_->boxes.empty());
}

// Method 9 is not decoded: the box, then the empty output fails the CRC; no file stays. The
// entries around it are not disturbed.
TEST_F(ExtractEntryTest, AnUnknownMethodShowsItsBoxAndFailsTheCrc) {
  ZipBuilder b;
  b.entries = {Entry("before.txt", "b"), Entry("m9.bin", "xyz"), Entry("after.txt", "a")};
  b.entries[1].method = 9;
  const uint32_t crc = b.entries[1].Crc();
  auto zip = Zipper(Put("m9.zip", b));
  EXPECT_EQ(zip->UnZip(), 2);
  ASSERT_EQ(services_->boxes.size(), 1u);
  EXPECT_EQ(services_->boxes[0].text, "Unknown Compression Method");
  EXPECT_EQ(services_->boxes[0].caption, "Zip Error");
  EXPECT_EQ(services_->boxes[0].style & 0xF, MB_OK);
  EXPECT_NE(std::find(log_.begin(), log_.end(), "crc 1 0 " + std::to_string(crc)), log_.end());
  EXPECT_EQ(DriveC(), (std::map<std::string, std::string>{{"out/", ""}, {"out/before.txt", "b"}, {"out/after.txt", "a"}}));
}

TEST_F(ExtractEntryTest, AFinishedFileGetsTheEntryDateAndWithRetainAttributesItsAttributes) {
  ZipBuilder b;
  b.entries = {Entry("ro.txt", "read only")};
  b.entries[0].external_attr = faReadOnly | faArchive;
  b.entries[0].dos_date_time = 0x3A214C63;
  const std::string archive = Put("ro.zip", b);
  for (bool retain : {true, false}) {
    SCOPED_TRACE(retain);
    ClearDriveC();
    auto zip = Zipper(archive);
    zip->RetainAttributes = retain;
    EXPECT_EQ(zip->UnZip(), 1);
    EXPECT_EQ(FileSystem().FileAge("C:\\out\\ro.txt"), 0x3A214C63);
    const int32_t attributes = FileSystem().GetFileAttributes("C:\\out\\ro.txt");
    ASSERT_GE(attributes, 0);
    EXPECT_EQ((attributes & faReadOnly) != 0, retain);
    FileSystem().SetFileAttributes("C:\\out\\ro.txt", faArchive);
  }
}

TEST_F(ExtractEntryTest, SkipFromStartUnZipLeavesAnEmptyFileThatStillCounts) {
  ZipBuilder b;
  b.entries = {Entry("a.txt", "some data")};
  b.entries[0].dos_date_time = 0x3A214C63;
  auto zip = Zipper(Put("skip.zip", b));
  zip->OnStartUnZip = [this](TComponent*, int32_t, const std::string&, bool& skip) {
    log_.push_back("start");
    skip = true;
  };
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(log_, (std::vector<std::string>{"start"}));
  EXPECT_EQ(testing::ReadHostFile(C("out/a.txt")), "");
  EXPECT_NE(FileSystem().FileAge("C:\\out\\a.txt"), 0x3A214C63);  // not dated: it was not finished
}

// A stored CRC that the data does not have: OnBadCRC with both values, and the file is deleted,
// also when the entry's attributes made it read-only.
TEST_F(ExtractEntryTest, ACrcMismatchReportsBothValuesAndDeletesEvenAReadOnlyFile) {
  ZipBuilder b;
  b.entries = {Entry("bad.txt", "payload"), Entry("good.txt", "fine")};
  b.entries[0].crc = 0x12345678;
  b.entries[0].external_attr = faReadOnly;
  const uint32_t actual = testing::SimpleCrc32("payload");
  auto zip = Zipper(Put("crc.zip", b));
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(log_, (std::vector<std::string>{"start 0 C:\\out\\bad.txt",
                                            "crc 0 " + std::to_string(actual) + " " + std::to_string(0x12345678u),
                                            "start 1 C:\\out\\good.txt", "end 1 C:\\out\\good.txt"}));
  EXPECT_EQ(DriveC(), (std::map<std::string, std::string>{{"out/", ""}, {"out/good.txt", "fine"}}));
}

// Stored paths that would lead out of the destination are never written, wherever they would
// go; no folder is made for them. Without RecreateDirs only the file name counts, so a climbing
// folder part is harmless there, but a name that is itself ".." is still refused, and so is any
// name that holds a zero byte.
TEST_F(ExtractEntryTest, NamesThatClimbOutOfTheDestinationAreSkipped) {
  struct Case {
    std::string stored;
    bool recreate;
    const char* lands;  // below drive C:, or "" when it must be skipped
  };
  const Case cases[] = {
      {"../evil.txt", true, ""},
      {"..\\evil.txt", true, ""},
      {"a/../../evil.txt", true, ""},
      {"a/b/../../../evil.txt", true, ""},
      {"C:/../evil.txt", true, ""},
      {"/../evil.txt", true, ""},
      {"a/..", true, ""},
      {"a/..", false, ""},
      {"../evil.txt", false, "dest/out/evil.txt"},
      {"a/..b/c.txt", true, "dest/out/a/..b/c.txt"},
      // A zero byte would cut the host name short (here to a folder, or to "..").
      {std::string("d\0/x.txt", 7), true, ""},
      {std::string("..\0x.txt", 7), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.stored) + (c.recreate ? " recreate" : ""));
    ClearDriveC();
    log_.clear();
    ZipBuilder b;
    b.entries = {Entry("good.txt", "good"), Entry(c.stored, "evil")};
    auto zip = Zipper(Put("slip.zip", b));
    zip->RecreateDirs = c.recreate;
    zip->SetDestDir("C:\\dest\\out");
    const bool skipped = *c.lands == '\0';
    EXPECT_EQ(zip->UnZip(), skipped ? 1 : 2);
    std::map<std::string, std::string> expected = {{"dest/", ""}, {"dest/out/", ""}, {"dest/out/good.txt", "good"}};
    if (!skipped) {
      expected[c.lands] = "evil";
      for (fs::path p = fs::path(c.lands).parent_path(); p != "dest/out" && !p.empty(); p = p.parent_path())
        expected[p.string() + "/"] = "";
    }
    EXPECT_EQ(DriveC(), expected);
    if (skipped) {
      std::string stored = c.stored;
      for (char& ch : stored) if (ch == '/') ch = '\\';
      EXPECT_EQ(log_.back(), "skip 1 2 " + stored);
    }
  }
}

// A write that does not reach the disk: the file's CRC was taken over bytes the file does not
// hold, so the entry is not reported as extracted and the short file is removed.
TEST_F(ExtractEntryTest, AFailedWriteFailsTheEntryInsteadOfPassingAsExtracted) {
  ZipBuilder b;
  b.entries = {Entry("big.bin", std::string(20000, 'x')), Entry("small.txt", "s")};
  const std::string archive = Put("write.zip", b);
  auto faults = std::make_shared<FaultInjectingFileSystem>(RealFileSystem());
  faults->FailMatching(FaultKind::Write, "big.bin");
  SetFileSystem(faults);
  auto zip = Zipper(archive);
  EXPECT_EQ(zip->UnZip(), 1);
  SetFileSystem(nullptr);
  EXPECT_EQ(log_, (std::vector<std::string>{"start 0 C:\\out\\big.bin", "skip 0 2 big.bin",
                                            "start 1 C:\\out\\small.txt", "end 1 C:\\out\\small.txt"}));
  EXPECT_EQ(DriveC(), (std::map<std::string, std::string>{{"out/", ""}, {"out/small.txt", "s"}}));
}

// Compressed data that runs past the end of the archive ends the run with the reader's error;
// the output file is closed and left as it was, and the component is out of its run.
TEST_F(ExtractEntryTest, AnArchiveThatEndsInsideTheDataEndsTheRun) {
  ZipBuilder b;
  b.entries = {Entry("cut.txt", DeflateStored("short")), Entry("never.txt", "n")};
  b.entries[0].method = 8;
  b.entries[0].packed_size = 40000;
  b.entries[0].unpacked_size = 5;
  auto zip = Zipper(Put("cut.zip", b));
  try {
    zip->UnZip();
    FAIL() << "no exception";
  } catch (const EFatalUnzipError& e) {
    EXPECT_STREQ(e.what(), "Premature end of file reached");
  }
  EXPECT_EQ(zip->Run, nullptr);
  EXPECT_TRUE(fs::exists(C("out/cut.txt")));
  EXPECT_FALSE(fs::exists(C("out/never.txt")));
}

// A stored entry that claims more bytes than the archive holds gets only the bytes that are there:
// its CRC is that of the rest of the archive file, with nothing left over from an earlier chunk
// (the claimed 20000 bytes take two chunks, and the second finds nothing to read).
TEST_F(ExtractEntryTest, AStoredEntryCutShortWritesOnlyTheBytesThere) {
  ZipBuilder b;
  b.entries = {Entry("cut.txt", "only these bytes")};
  b.entries[0].packed_size = 20000;
  b.entries[0].unpacked_size = 20000;
  const Bytes bytes = b.Build();
  const size_t data_start = 30 + std::string("cut.txt").size();
  const uint32_t rest = testing::SimpleCrc32(std::string(bytes.begin() + data_start, bytes.end()));
  auto zip = Zipper(Put("cut.zip", bytes));
  EXPECT_EQ(zip->UnZip(), 0);
  ASSERT_EQ(log_.size(), 2u);
  EXPECT_EQ(log_[1].rfind("crc 0 " + std::to_string(rest) + " ", 0), 0u) << log_[1];
  EXPECT_FALSE(fs::exists(C("out/cut.txt")));
}

// --- Encrypted entries -------------------------------------------------------------------------

class EncryptedTest : public ExtractEntryTest {
protected:
  void SetUp() override {
    ExtractEntryTest::SetUp();
    if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
    source_ = archives_ + "/src";
    fs::create_directory(source_);
    texts_ = {{"a.txt", std::string(3000, 'a') + "first"}, {"b.txt", "second file, short"}};
    for (const auto& [name, text] : texts_) testing::WriteHostFile(source_ + "/" + name, text);
  }
  // Runs zip in the source folder; the archive is moved next to it as D:\<name>.
  std::string Zip(const std::string& name, const std::string& command) {
    EXPECT_TRUE(testing::RunZip(source_, command));
    fs::rename(source_ + "/" + name, archives_ + "/" + name);
    return "D:\\" + name;
  }
  std::map<std::string, std::string> Extracted() const {
    std::map<std::string, std::string> files = DriveC();
    files.erase("out/");
    return files;
  }
  std::map<std::string, std::string> AllTexts() const {
    std::map<std::string, std::string> files;
    for (const auto& [name, text] : texts_) files["out/" + name] = text;
    return files;
  }

  std::string source_;
  std::map<std::string, std::string> texts_;
};

TEST_F(EncryptedTest, PasswordOutcomes) {
  enum Handler { kNone, kGivesRight, kKeepsPassword };
  struct Case {
    const char* password;
    Handler handler;
    int bad_password_calls;
    int32_t result;
  };
  const Case cases[] = {
      {"secret", kNone, 0, 2},
      {"wrong", kNone, 0, 0},
      {"wrong", kGivesRight, 1, 2},     // one retry; the second entry uses the new password silently
      {"wrong", kKeepsPassword, 2, 0},  // the same password back ends each entry's retries
  };
  const std::string archive = Zip("enc.zip", "-P secret enc.zip a.txt b.txt");
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.password) + " handler " + std::to_string(c.handler));
    ClearDriveC();
    log_.clear();
    auto zip = Zipper(archive);
    zip->Password = c.password;
    int calls = 0;
    if (c.handler != kNone) {
      zip->OnBadPassword = [&](TComponent*, int32_t, std::string& password) {
        ++calls;
        EXPECT_EQ(password, c.password);
        if (c.handler == kGivesRight) password = "secret";
      };
    }
    EXPECT_EQ(zip->UnZip(), c.result);
    EXPECT_EQ(calls, c.bad_password_calls);
    if (c.result == 2) {
      EXPECT_EQ(Extracted(), AllTexts());
      EXPECT_EQ(zip->Password, "secret");
    } else {
      EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{}));
      EXPECT_EQ(log_, (std::vector<std::string>{"skip 0 0 a.txt", "skip 1 0 b.txt"}));
    }
  }
}

// Written to a pipe, zip cannot go back to fill in the CRC, so it sets bit 3 and checks the
// password against the time instead.
TEST_F(EncryptedTest, WithSizesAfterTheDataTheCheckUsesTheTime) {
  ASSERT_EQ(std::system(("cd '" + source_ + "' && zip -q -P secret - a.txt | cat > ../piped.zip").c_str()), 0);
  const auto raw = testing::ReadRawEntries(testing::ReadBytes(archives_ + "/piped.zip"));
  ASSERT_EQ(raw.size(), 1u);
  ASSERT_NE(raw[0].flags & 0x0008, 0);
  for (const char* password : {"secret", "wrong"}) {
    SCOPED_TRACE(password);
    ClearDriveC();
    auto zip = Zipper("D:\\piped.zip");
    zip->Password = password;
    const bool right = std::string(password) == "secret";
    EXPECT_EQ(zip->UnZip(), right ? 1 : 0);
    EXPECT_EQ(fs::exists(C("out/a.txt")), right);
    if (right) {
      EXPECT_EQ(*testing::ReadHostFile(C("out/a.txt")), texts_["a.txt"]);
    }
  }
}

// A wrong password can pass the check byte (one in 256); the data then decrypts to noise and the
// CRC decides. The outcome is that of a wrong password, never OnBadCRC, and a handler's right
// password extracts the entry on a retry without lowering the result.
TEST_F(EncryptedTest, AWrongPasswordThatPassesTheCheckByteFailsOnTheCrc) {
  const std::string archive = Zip("one.zip", "-P secret one.zip a.txt");
  const auto raw = testing::ReadRawEntries(testing::ReadBytes(archives_ + "/one.zip"));
  ASSERT_EQ(raw.size(), 1u);
  std::string impostor;
  for (int i = 0; i < 100000 && impostor.empty(); ++i) {
    const std::string candidate = "p" + std::to_string(i);
    CipherKeys keys;
    InitKeys(keys, candidate);
    uint8_t header[12];
    std::copy(raw[0].data.begin(), raw[0].data.begin() + 12, header);
    DecryptBuffer(keys, header, 12);
    if (header[11] == static_cast<uint8_t>(raw[0].crc >> 24)) impostor = candidate;
  }
  ASSERT_FALSE(impostor.empty());

  for (bool handler : {false, true}) {
    SCOPED_TRACE(handler);
    ClearDriveC();
    log_.clear();
    auto zip = Zipper(archive);
    zip->Password = impostor;
    int calls = 0;
    if (handler) {
      zip->OnBadPassword = [&](TComponent*, int32_t, std::string& password) {
        ++calls;
        password = "secret";
      };
    }
    EXPECT_EQ(zip->UnZip(), handler ? 1 : 0);
    EXPECT_EQ(calls, handler ? 1 : 0);
    for (const std::string& line : log_) EXPECT_NE(line.rfind("crc", 0), 0u) << line;
    if (handler) {
      EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"out/a.txt", texts_["a.txt"]}}));
    } else {
      EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{}));
      EXPECT_EQ(log_.back(), "skip 0 0 a.txt");
    }
  }
}

}  // namespace
}  // namespace corvina
