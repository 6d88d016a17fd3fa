// Tests of the unzip component's interface: defaults, the property setters and their dialogs
// (answered by a double of the application services), the index accessors on a directory filled
// by hand, comment reading on a crafted archive, and the default volume request.
#include "zip/UnZipper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "support/WineRoot.h"
#include "support/ZipWriter.h"

namespace corvina {
namespace {

// Answers the dialogs as the test says and records how they were asked.
class DialogDouble : public IAppServices {
public:
  int32_t MessageDlg(const std::string& text, MsgDlgType type, const std::vector<MsgDlgBtn>& buttons) override {
    messages.push_back(text);
    message_types.push_back(type);
    message_buttons = buttons;
    cursor_during_dialog = cursor;
    return message_answer;
  }
  int32_t MessageBox(const std::string&, const std::string&, uint32_t) override { return IDCANCEL; }
  bool SelectDirectory(std::string& folder) override {
    folder_dialog_starts.push_back(folder);
    if (!folder_answer) return false;
    folder = *folder_answer;
    return true;
  }
  bool OpenFileDialog(const std::string& title, const std::string& filter, std::string& file_name) override {
    file_dialog_titles.push_back(title);
    file_dialog_filters.push_back(filter);
    file_dialog_starts.push_back(file_name);
    if (!file_answer) return false;
    file_name = *file_answer;
    return true;
  }
  void SetCursor(Cursor c) override { cursor = c; }
  Cursor GetCursor() override { return cursor; }
  void ProcessMessages() override {}
  void Terminate(int) override {}

  std::optional<std::string> folder_answer;  // none: the user cancels
  std::optional<std::string> file_answer;
  int32_t message_answer = mrOk;
  Cursor cursor = Cursor::HourGlass;
  Cursor cursor_during_dialog = Cursor::HourGlass;
  std::vector<std::string> messages;
  std::vector<MsgDlgType> message_types;
  std::vector<MsgDlgBtn> message_buttons;
  std::vector<std::string> folder_dialog_starts;
  std::vector<std::string> file_dialog_titles, file_dialog_filters, file_dialog_starts;
};

class UnZipperTest : public ::testing::Test {
protected:
  void SetUp() override {
    dialogs_ = std::make_shared<DialogDouble>();
    SetAppServices(dialogs_);
  }
  void TearDown() override { SetAppServices(nullptr); }

  // Fills the component's directory by hand: entries in archive order, and a separate view when
  // the mode is not ByNone, as loading leaves them.
  static void FillDirectory(TUnZipper& z, const std::vector<std::string>& full_names, TZipSortMode mode) {
    z.Directory = std::make_unique<TSortedZip>(TDuplicates::RejectDuplicates);
    uint32_t offset = 0;
    for (const std::string& name : full_names) {
      auto entry = std::make_unique<TZipHeaderInfo>();
      entry->SetFullName(name);
      entry->LocalOffset = offset;
      offset += 100;
      z.Directory->Add(entry.release());
    }
    if (mode != TZipSortMode::ByNone) {
      z.SeparateView = std::make_unique<TSortedZip>(TDuplicates::AcceptDuplicates);
      z.SeparateView->OwnsObjects = false;
      z.SeparateView->SortMode = mode;
      for (int32_t i = 0; i < z.Directory->Count(); ++i) z.SeparateView->Add(z.Directory->Get(i));
    }
    z.SortMode = mode;
  }

  std::shared_ptr<DialogDouble> dialogs_;
  testing::WineRoot root_;
};

template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "(no exception)";
}

TEST_F(UnZipperTest, DefaultsOfANewComponent) {
  TUnZipper z(nullptr);
  EXPECT_EQ(z.ThisVersion(), 217);
  EXPECT_EQ(z.ZipName(), "");
  EXPECT_EQ(z.DestDir(), "");
  EXPECT_EQ(z.RootDir(), "");
  EXPECT_EQ(z.SortMode, TZipSortMode::ByNone);
  EXPECT_FALSE(z.RecreateDirs);
  EXPECT_EQ(z.OverwriteMode, TUZOverwriteMode::Prompt);
  EXPECT_TRUE(z.FilesList().empty());
  EXPECT_FALSE(z.DoAll);
  EXPECT_EQ(z.IncompleteZipMode, izAssumeMulti);
  EXPECT_FALSE(z.KeepZipOpen);
  EXPECT_TRUE(z.DoProcessMessages);
  EXPECT_TRUE(z.RetainAttributes);
  EXPECT_EQ(z.Password, "");
  EXPECT_TRUE(z.GetCheckVolumeLabels());
  EXPECT_EQ(z.GetVolumeMode(), vmSingle);
  EXPECT_EQ(z.Count(), 0);
  EXPECT_EQ(z.CurrentDisk, 0);
  EXPECT_EQ(z.ArchiveDate, 0.0);
  EXPECT_EQ(z.ArchiveStream, nullptr);
  EXPECT_EQ(z.Directory, nullptr);
  EXPECT_EQ(z.SortedView(), nullptr);
  EXPECT_EQ(z.EndRecord.Signature, kEndCentralSignature);
  EXPECT_EQ(z.EndRecord.TotalEntries, 0);
  EXPECT_FALSE(z.EndRecord.Comment().has_value());
  EXPECT_TRUE(static_cast<bool>(z.OnGetNextDisk));
  EXPECT_FALSE(z.OnStartUnZipInfo || z.OnFilePercentDone || z.OnTotalPercentDone || z.OnStartUnZip ||
               z.OnEndUnZip || z.OnPromptForOverwrite || z.OnSkippingFile || z.OnBadPassword || z.OnBadCRC ||
               z.OnInCompleteZip);

  // The installed handler is the component's own volume request.
  z.SetVolumeMode(vmFiles);
  std::string name = "C:\\set\\data.zip";
  z.OnGetNextDisk(&z, 2, name);
  EXPECT_EQ(name, "C:\\set\\data.002");
}

TEST_F(UnZipperTest, ThisVersionStaysAt217AndLoadedRestoresTheVolumeRequest) {
  TUnZipper z(nullptr);
  for (int32_t value : {0, -1, 216, 218, INT_MAX}) {
    z.SetThisVersion(value);
    EXPECT_EQ(z.ThisVersion(), 217) << value;
  }
  z.OnGetNextDisk = nullptr;
  z.Loaded();
  ASSERT_TRUE(static_cast<bool>(z.OnGetNextDisk));
  std::string name = "x.zip";
  z.SetVolumeMode(vmFiles);
  z.OnGetNextDisk(&z, 7, name);
  EXPECT_EQ(name, "x.007");

  int custom_calls = 0;
  z.OnGetNextDisk = [&](TComponent*, int32_t, std::string&) { ++custom_calls; };
  z.Loaded();
  z.OnGetNextDisk(&z, 1, name);
  EXPECT_EQ(custom_calls, 1);  // a stored handler is kept
}

TEST_F(UnZipperTest, DestDirDropsOneTrailingBackslash) {
  const struct {
    const char* value;
    const char* stored;
  } cases[] = {
      {"C:\\Temp\\", "C:\\Temp"}, {"C:\\", "C:"}, {"C:\\Temp", "C:\\Temp"},
      {"C:\\a\\\\", "C:\\a\\"},   {"", ""},       {"\\", ""},
  };
  for (const auto& c : cases) {
    TUnZipper z(nullptr);
    z.SetDestDir(c.value);
    EXPECT_EQ(z.DestDir(), c.stored) << c.value;
  }
  EXPECT_TRUE(dialogs_->folder_dialog_starts.empty());
}

TEST_F(UnZipperTest, DestDirQuestionMarkAsksForTheFolder) {
  ASSERT_EQ(mkdir((root_.DriveC() + "/Target").c_str(), 0777), 0);
  ASSERT_EQ(mkdir((root_.DriveC() + "/Work").c_str(), 0777), 0);
  ASSERT_EQ(chdir((root_.DriveC() + "/Work").c_str()), 0);

  TUnZipper z(nullptr);
  z.SetDestDir("C:\\Target");
  dialogs_->folder_answer = "C:\\Chosen\\";
  z.SetDestDir("?");
  EXPECT_EQ(z.DestDir(), "C:\\Chosen");  // the dialog's answer loses its trailing backslash too
  // C:\Chosen does not exist: the next dialog starts in the current folder.
  dialogs_->folder_answer.reset();
  EXPECT_EQ(MessageOf([&] { z.SetDestDir("?"); }), "User canceled Set Desination Directory");
  EXPECT_EQ(z.DestDir(), "C:\\Chosen");
  ASSERT_EQ(dialogs_->folder_dialog_starts.size(), 2u);
  EXPECT_EQ(dialogs_->folder_dialog_starts[0], "C:\\Target");
  EXPECT_EQ(AnsiUpperCase(dialogs_->folder_dialog_starts[1]), "C:\\WORK");
}

TEST_F(UnZipperTest, RootDirEndsInABackslashUnlessEmpty) {
  const struct {
    const char* value;
    const char* stored;
  } cases[] = {{"", ""}, {"docs", "docs\\"}, {"docs\\", "docs\\"}, {"a\\b", "a\\b\\"}};
  TUnZipper z(nullptr);
  for (const auto& c : cases) {
    z.SetRootDir(c.value);
    EXPECT_EQ(z.RootDir(), c.stored) << c.value;
  }
}

TEST_F(UnZipperTest, FilesListKeepsItsOwnCopy) {
  TUnZipper z(nullptr);
  std::vector<std::string> lines{"*.txt", "docs\\*"};
  z.SetFilesList(lines);
  lines.push_back("*.exe");
  EXPECT_EQ(z.FilesList(), (std::vector<std::string>{"*.txt", "docs\\*"}));
}

TEST_F(UnZipperTest, ZipNameInAnotherCaseKeepsTheDirectoryAndAnotherNameForgetsIt) {
  const std::string utf8_name = "C:\\Архивы\\данные.zip";
  const std::string name = Utf8ToAnsi(utf8_name);
  TUnZipper z(nullptr);
  z.SetZipName(name);
  FillDirectory(z, {"a.txt", "b.txt"}, TZipSortMode::ByName);
  z.ArchiveDate = 123.0;
  z.EndRecord.TotalEntries = 2;

  z.SetZipName(AnsiUpperCase(name));  // the same file to Windows
  EXPECT_EQ(z.ZipName(), name);
  EXPECT_EQ(z.Count(), 2);
  EXPECT_NE(z.SeparateView, nullptr);
  EXPECT_EQ(z.ArchiveDate, 123.0);

  z.SetZipName("C:\\other.zip");
  EXPECT_EQ(z.ZipName(), "C:\\other.zip");
  EXPECT_EQ(z.Count(), 0);
  EXPECT_EQ(z.Directory, nullptr);
  EXPECT_EQ(z.SeparateView, nullptr);
  EXPECT_EQ(z.SortedView(), nullptr);
  EXPECT_EQ(z.ArchiveDate, 0.0);
  EXPECT_EQ(z.EndRecord.TotalEntries, 0);
  EXPECT_TRUE(dialogs_->file_dialog_starts.empty());

  // In the form designer the name is only stored.
  FillDirectory(z, {"c.txt"}, TZipSortMode::ByNone);
  z.SetDesigning(true);
  z.SetZipName("C:\\third.zip");
  EXPECT_EQ(z.ZipName(), "C:\\third.zip");
  EXPECT_EQ(z.Count(), 1);
}

TEST_F(UnZipperTest, ZipNameQuestionMarkAsksForTheFile) {
  ASSERT_EQ(mkdir((root_.DriveC() + "/Archives").c_str(), 0777), 0);
  const struct {
    const char* value;
    const char* dialog_start;
  } cases[] = {
      {"C:\\Archives\\?", "C:\\Archives\\"},
      {"C:\\Missing\\?", "C:\\"},
      {"?", "C:\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    TUnZipper z(nullptr);
    z.SetZipName("C:\\before.zip");
    FillDirectory(z, {"kept.txt"}, TZipSortMode::ByNone);
    dialogs_->file_dialog_starts.clear();

    dialogs_->file_answer.reset();
    EXPECT_EQ(MessageOf([&] { z.SetZipName(c.value); }), "User canceled setting zip file name.");
    EXPECT_EQ(z.ZipName(), "C:\\before.zip");
    EXPECT_EQ(z.Count(), 1);

    dialogs_->file_answer = "C:\\Archives\\chosen.zip";
    z.SetZipName(c.value);
    EXPECT_EQ(z.ZipName(), "C:\\Archives\\chosen.zip");
    EXPECT_EQ(z.Count(), 0);

    ASSERT_EQ(dialogs_->file_dialog_starts.size(), 2u);
    EXPECT_EQ(dialogs_->file_dialog_starts[0], c.dialog_start);
    EXPECT_EQ(dialogs_->file_dialog_starts[1], c.dialog_start);
  }
  EXPECT_EQ(dialogs_->file_dialog_titles.back(), "Open a Zip File");
  EXPECT_EQ(dialogs_->file_dialog_filters.back(),
            "Zip Files (*.ZIP)|*.zip|SFX Files (*.EXE)|*.exe|Jar Files (*.JAR)|*.jar|All Files (*.*)|*.*");
}

TEST_F(UnZipperTest, AccessorsReadTheSortedViewAndCheckTheIndex) {
  TUnZipper z(nullptr);
  EXPECT_EQ(MessageOf([&] { z.FullName(0); }), "Index 0 is out of range");

  FillDirectory(z, {"zeta\\b.txt", "alpha.txt", "mid\\c.txt"}, TZipSortMode::ByName);
  ASSERT_EQ(z.Count(), 3);
  const std::vector<std::string> full{"alpha.txt", "mid\\c.txt", "zeta\\b.txt"};
  const std::vector<std::string> names{"alpha.txt", "c.txt", "b.txt"};
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(z.FullName(i), full[i]);
    EXPECT_EQ(z.Filename(i), names[i]);
  }
  for (int32_t bad : {-1, 3, INT_MIN}) {
    const std::string expected = "Index " + std::to_string(bad) + " is out of range";
    EXPECT_EQ(MessageOf([&] { z.FullName(bad); }), expected);
    EXPECT_EQ(MessageOf([&] { z.Filename(bad); }), expected);
  }
  try {
    z.FullName(z.Count());
    ADD_FAILURE() << "no exception";
  } catch (const EListError&) {
  }

  // Archive order when the view is the directory itself.
  TUnZipper plain(nullptr);
  FillDirectory(plain, {"zeta\\b.txt", "alpha.txt"}, TZipSortMode::ByNone);
  EXPECT_EQ(plain.SortedView(), plain.Directory.get());
  EXPECT_EQ(plain.FullName(0), "zeta\\b.txt");
}

// A crafted archive with entry and archive comments, written into drive C: and opened by hand.
class CommentTest : public UnZipperTest {
protected:
  void SetUp() override {
    UnZipperTest::SetUp();
    testing::ZipBuilder builder;
    testing::ZipEntrySpec first;
    first.name = "one.txt";
    first.data = "1";
    first.comment = std::string("first\0tail", 10);
    testing::ZipEntrySpec second;
    second.name = "two.txt";
    second.data = "22";
    builder.entries = {first, second};
    builder.archive_comment = "archive words";
    bytes_ = builder.Build();
    central_offset_ = builder.central_offset;
    testing::WriteHostFile(root_.DriveC() + "/c.zip", std::string(bytes_.begin(), bytes_.end()));
  }

  // Opens the archive and reads the end record and the central records as loading would.
  void Open(TUnZipper& z) {
    z.ArchiveStream = std::make_unique<TLFNFileStream>("C:\\c.zip", 32);
    ASSERT_TRUE(z.EndRecord.FindInStream(*z.ArchiveStream));
    z.ArchiveStream->SetPosition(z.EndRecord.DirectoryOffset);
    z.Directory = std::make_unique<TSortedZip>(TDuplicates::RejectDuplicates);
    for (int i = 0; i < z.EndRecord.TotalEntries; ++i) {
      auto entry = std::make_unique<TZipHeaderInfo>();
      ASSERT_TRUE(entry->ReadCentral(*z.ArchiveStream));
      z.Directory->Add(entry.release());
    }
  }

  std::vector<uint8_t> bytes_;
  uint32_t central_offset_ = 0;
};

TEST_F(CommentTest, CommentsAreReadWhereTheRecordsSayAndThePositionIsKept) {
  TUnZipper z(nullptr);
  Open(z);
  TZipHeaderInfo& first = *z.SortedView()->Entry(0);
  ASSERT_EQ(first.CentralOffset, central_offset_);
  first.SetComment(std::nullopt);  // as if the loader had not kept it
  first.CommentLength = 10;

  z.ArchiveStream->SetPosition(5);
  EXPECT_EQ(z.ReadEntryComment(first), "first");
  EXPECT_EQ(z.ArchiveStream->Position(), 5);
  ASSERT_TRUE(first.Comment().has_value());
  EXPECT_EQ(*first.Comment(), std::string("first\0tail", 10));
  EXPECT_EQ(first.CommentLength, 10);

  z.EndRecord.SetComment(std::nullopt);
  EXPECT_EQ(z.ReadArchiveComment(), "archive words");
  EXPECT_EQ(z.ArchiveStream->Position(), 5);
  ASSERT_TRUE(z.EndRecord.Comment().has_value());
  EXPECT_EQ(*z.EndRecord.Comment(), "archive words");
  EXPECT_EQ(z.EndRecord.CommentLength, 13);
}

TEST_F(CommentTest, AccessorsOpenTheArchiveOnDemandAndCloseItAgain) {
  for (bool keep_open : {false, true}) {
    SCOPED_TRACE(keep_open);
    TUnZipper z(nullptr);
    z.KeepZipOpen = keep_open;
    z.SetZipName("C:\\c.zip");
    EXPECT_EQ(z.ZipComment(), "archive words");
    EXPECT_EQ(z.Count(), 2);
    EXPECT_EQ(z.ArchiveStream != nullptr, keep_open);
    EXPECT_EQ(z.FileComment(0), "first");
    EXPECT_EQ(z.FileComment(1), "");
    EXPECT_EQ(z.ArchiveStream != nullptr, keep_open);
    ASSERT_TRUE(z.SortedView()->Entry(0)->Comment().has_value());
  }
}

TEST_F(CommentTest, ACommentAskedForAfterTheArchiveChangedComesFromTheNewArchive) {
  TUnZipper z(nullptr);
  z.SetZipName("C:\\c.zip");
  EXPECT_EQ(z.ZipComment(), "archive words");  // loads the directory, no entry comment yet

  testing::ZipBuilder builder;
  testing::ZipEntrySpec first;
  first.name = "one.txt";
  first.data = "1";
  first.comment = "changed";
  builder.entries = {first};
  const std::vector<uint8_t> bytes = builder.Build();
  const std::string host = root_.DriveC() + "/c.zip";
  testing::WriteHostFile(host, std::string(bytes.begin(), bytes.end()));
  std::filesystem::last_write_time(host, std::filesystem::last_write_time(host) + std::chrono::hours(1));

  // The reload frees the entries the accessor started from; it answers from the new directory.
  EXPECT_EQ(z.FileComment(0), "changed");
  EXPECT_EQ(z.Count(), 1);
  EXPECT_EQ(MessageOf([&] { z.FileComment(1); }), "Index 1 is out of range");
}

TEST_F(CommentTest, ACentralOffsetThatMissesTheRecordIsABadArchive) {
  TUnZipper z(nullptr);
  Open(z);
  TZipHeaderInfo& first = *z.SortedView()->Entry(0);
  first.SetComment(std::nullopt);
  first.CommentLength = 10;
  first.CentralOffset = 1;  // inside the first local header
  EXPECT_EQ(MessageOf([&] { z.ReadEntryComment(first); }), "Not a valid zip file!");
  EXPECT_FALSE(first.Comment().has_value());
  // Past the end of the file.
  first.CentralOffset = static_cast<uint32_t>(bytes_.size());
  EXPECT_EQ(MessageOf([&] { z.ReadEntryComment(first); }), "Stream read error");
  EXPECT_EQ(z.ArchiveStream->Position(), static_cast<int64_t>(central_offset_) + 46 + 7 + 10 + 46 + 7);
}

TEST_F(UnZipperTest, CommentsAlreadyKnownAreReturnedWithoutTheFile) {
  TUnZipper z(nullptr);
  z.SetZipName("C:\\does-not-exist.zip");
  FillDirectory(z, {"a.txt", "b.txt"}, TZipSortMode::ByNone);
  z.SortedView()->Entry(1)->SetComment(std::string("ab\0cd", 5));
  EXPECT_EQ(z.FileComment(0), "");  // no comment: the file is not touched
  EXPECT_EQ(z.FileComment(1), "ab");
  EXPECT_EQ(z.ZipComment(), "");
  z.EndRecord.CommentLength = 3;
  z.EndRecord.SetComment(std::string("x\0y", 3));
  EXPECT_EQ(z.ZipComment(), "x");
  EXPECT_EQ(MessageOf([&] { z.FileComment(2); }), "Index 2 is out of range");
}

TEST_F(UnZipperTest, DefaultVolumeRequest) {
  TUnZipper z(nullptr);
  z.SetVolumeMode(vmFiles);
  const struct {
    const char* name;
    int32_t disk;
    const char* next;
  } files[] = {
      {"C:\\set\\archive.zip", 1, "C:\\set\\archive.001"},
      {"C:\\set\\archive.001", 2, "C:\\set\\archive.002"},
      {"C:\\set\\archive.zip", 999, "C:\\set\\archive.999"},
      {"C:\\set\\archive.zip", 1000, "C:\\set\\archive.1000"},
      {"C:\\set\\archive", 12, "C:\\set\\archive.012"},
  };
  for (const auto& c : files) {
    std::string name = c.name;
    z.DefaultGetNextDisk(&z, c.disk, name);
    EXPECT_EQ(name, c.next) << c.name << " " << c.disk;
  }
  EXPECT_TRUE(dialogs_->messages.empty());

  z.SetVolumeMode(vmDisks);
  for (int32_t answer : {mrOk, mrCancel}) {
    SCOPED_TRACE(answer);
    dialogs_->message_answer = answer;
    dialogs_->cursor = Cursor::HourGlass;
    std::string name = "A:\\backup.zip";
    z.DefaultGetNextDisk(&z, 3, name);
    EXPECT_EQ(name, answer == mrOk ? "A:\\backup.zip" : "");
    EXPECT_EQ(dialogs_->messages.back(), "Please insert disk 3 of the multi-disk set.");
    EXPECT_EQ(dialogs_->message_types.back(), MsgDlgType::mtConfirmation);
    EXPECT_EQ(dialogs_->message_buttons, (std::vector<MsgDlgBtn>{MsgDlgBtn::mbOK, MsgDlgBtn::mbCancel}));
    EXPECT_EQ(dialogs_->cursor_during_dialog, Cursor::Default);
    EXPECT_EQ(dialogs_->cursor, Cursor::HourGlass);
  }
}

}  // namespace
}  // namespace corvina
