// Tests of spanned archives: sets written by Info-ZIP `zip -s 64k` with their volumes renamed to
// numbered files (.001, .002, ...; the last volume also under the archive's own name, which is the
// name opened), read in full and directory-only; central records cut at chosen points between two
// volumes; missing volumes and handlers that cannot name one; a disk set on a floppy drive whose
// disks an application-services double swaps (content and label) between prompts; the label
// check itself; and the built `zipread extract` on a numbered set.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "platform/FileSystem.h"
#include "support/InfoZipArchive.h"
#include "support/WineRoot.h"
#include "support/ZipWriter.h"
#include "zip/Containers.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using testing::Bytes;
using testing::ZipBuilder;
using testing::ZipEntrySpec;

// Answers the disk prompt through a function the test gives (Cancel without one) and records
// every prompt and cursor change.
class DiskPromptServices : public IAppServices {
public:
  int32_t MessageDlg(const std::string& text, MsgDlgType type, const std::vector<MsgDlgBtn>& buttons) override {
    prompts.push_back(text);
    types.push_back(type);
    button_sets.push_back(buttons);
    cursor_at_prompt.push_back(cursor_);
    int disk = 0;
    std::sscanf(text.c_str(), "Please insert disk %d", &disk);
    prompted_disks.push_back(disk);
    return answer ? answer(disk) : mrCancel;
  }
  int32_t MessageBox(const std::string&, const std::string&, uint32_t) override { return IDCANCEL; }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor cursor) override { cursor_ = cursor; }
  Cursor GetCursor() override { return cursor_; }
  void ProcessMessages() override {}
  void Terminate(int) override {}

  std::function<int32_t(int disk)> answer;  // the disk number parsed from the prompt
  std::vector<std::string> prompts;
  std::vector<int> prompted_disks;
  std::vector<MsgDlgType> types;
  std::vector<std::vector<MsgDlgBtn>> button_sets;
  std::vector<Cursor> cursor_at_prompt;

private:
  Cursor cursor_ = Cursor::Default;
};

// Deterministic bytes: `alphabet` distinct values drawn by a xorshift generator, so 256 gives data
// that deflate cannot shrink (stored) and a small alphabet data that it shrinks only in part.
std::string PseudoRandom(size_t size, uint32_t seed, int alphabet) {
  std::string out(size, '\0');
  uint32_t x = seed;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(alphabet == 256 ? (x >> 7) & 0xFF : 'A' + (x >> 7) % static_cast<uint32_t>(alphabet));
  }
  return out;
}

// The files of the split set: about 300 KB that packs to a little more than three 64 KB volumes,
// one entry stored, the others deflated, one in a folder.
std::map<std::string, std::string> SetContent() {
  std::string lines;
  for (int i = 0; i < 2500; ++i) lines += "line " + std::to_string(i * 7919 % 10007) + " of the text\r\n";
  return {
      {"noise.bin", PseudoRandom(160000, 2463534242u, 256)},
      {"letters.txt", PseudoRandom(90000, 88675123u, 20)},
      {"docs/lines.txt", lines},
      {"tiny.txt", "tiny"},
  };
}

std::vector<std::string> SortedNames(const std::map<std::string, std::string>& files) {
  std::vector<std::string> names;
  for (const auto& [name, content] : files) names.push_back(name);
  return names;
}

// Makes an Info-ZIP split set of the files under `folder` (host path) as set.001 ... set.00N and
// set.zip (a copy of the last volume); returns the volumes' contents in order, or none when zip
// is missing or fails.
std::vector<std::string> MakeNumberedSet(const std::map<std::string, std::string>& files, const std::string& folder) {
  testing::TempDir work;
  std::string arguments = "-s 64k set.zip";
  for (const auto& [name, content] : files) {
    fs::create_directories((work.Path() / name).parent_path());
    testing::WriteHostFile((work.Path() / name).string(), content);
    arguments += " '" + name + "'";
  }
  if (!testing::RunZip(work.Path(), arguments)) return {};
  std::vector<std::string> volumes;
  for (int i = 1;; ++i) {
    char split[16];
    std::snprintf(split, sizeof split, "set.z%02d", i);
    auto bytes = testing::ReadHostFile((work.Path() / split).string());
    if (!bytes) break;
    volumes.push_back(*bytes);
  }
  volumes.push_back(*testing::ReadHostFile((work.Path() / "set.zip").string()));
  fs::create_directories(folder);
  for (size_t i = 0; i < volumes.size(); ++i) {
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "set.%03zu", i + 1);
    testing::WriteHostFile(folder + "/" + numbered, volumes[i]);
  }
  testing::WriteHostFile(folder + "/set.zip", volumes.back());
  return volumes;
}

class SpannedArchiveTest : public ::testing::Test {
protected:
  void SetUp() override {
    services_ = std::make_shared<DiskPromptServices>();
    SetAppServices(services_);
  }
  void TearDown() override { SetAppServices(nullptr); }

  // Wraps the component's OnGetNextDisk so that every request is recorded with its answer.
  void RecordRequests(TUnZipper& zip) {
    zip.OnGetNextDisk = [this, inner = zip.OnGetNextDisk](TComponent* sender, int32_t n, std::string& name) {
      inner(sender, n, name);
      requests_.push_back(n);
      answers_.push_back(name);
    };
  }

  // The files under C:\out as a map from relative name to content.
  std::map<std::string, std::string> Extracted() const {
    std::map<std::string, std::string> tree;
    const fs::path out = root_.DriveC() + "/out";
    if (!fs::exists(out)) return tree;
    for (const auto& e : fs::recursive_directory_iterator(out)) {
      if (e.is_regular_file()) tree[fs::relative(e.path(), out).string()] = *testing::ReadHostFile(e.path().string());
    }
    return tree;
  }

  testing::WineRoot root_;
  std::shared_ptr<DiskPromptServices> services_;
  std::vector<int32_t> requests_;
  std::vector<std::string> answers_;
};

TEST_F(SpannedArchiveTest, ANumberedSetIsExtractedInFullAskingForEachVolumeOnceInOrder) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  const auto files = SetContent();
  const auto volumes = MakeNumberedSet(files, root_.DriveC() + "/set");
  ASSERT_EQ(volumes.size(), 4u) << "the fixture is meant to span four volumes";

  TUnZipper zip(nullptr);
  RecordRequests(zip);
  zip.SetZipName("C:\\set\\set.zip");
  zip.DoAll = true;
  zip.RecreateDirs = true;
  zip.SetDestDir("C:\\out");
  EXPECT_EQ(zip.UnZip(), 4);
  EXPECT_EQ(zip.GetVolumeMode(), vmFiles);
  EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{files.begin(), files.end()}));
  // The directory is on the last volume, opened under the set's own name; every entry's data is
  // then read from the first volume on, each volume asked for once.
  EXPECT_EQ(requests_, (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(answers_, (std::vector<std::string>{"C:\\set\\set.001", "C:\\set\\set.002", "C:\\set\\set.003",
                                                "C:\\set\\set.004"}));
  // The last volume opened is the component's archive now, with the directory still loaded.
  EXPECT_EQ(zip.ZipName(), "C:\\set\\set.004");
  EXPECT_EQ(zip.CurrentDisk, 3);
  EXPECT_EQ(zip.Count(), 4);
  EXPECT_TRUE(services_->prompts.empty());

  // A second run starts from that volume without reloading and reads the set again.
  fs::remove_all(root_.DriveC() + "/out");
  requests_.clear();
  EXPECT_EQ(zip.UnZip(), 4);
  EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{files.begin(), files.end()}));
  EXPECT_EQ(requests_, (std::vector<int32_t>{1, 2, 3, 4}));
}

// 1600 entries make a central directory that starts on the second volume and runs over two
// volume ends; Info-ZIP starts each record that does not fit on a fresh volume.
TEST_F(SpannedArchiveTest, ADirectorySpanningThreeVolumesLoadsEveryEntry) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  std::map<std::string, std::string> files;
  for (int i = 0; i < 1600; ++i) files["a_rather_long_file_name_number_" + std::to_string(i) + ".txt"] = std::to_string(i);
  const auto volumes = MakeNumberedSet(files, root_.DriveC() + "/many");
  ASSERT_EQ(volumes.size(), 4u);

  TUnZipper zip(nullptr);
  RecordRequests(zip);
  zip.SetZipName("C:\\many\\set.zip");
  zip.SortMode = TZipSortMode::ByName;
  zip.OpenArchive();
  ASSERT_EQ(zip.EndRecord.CentralDisk, 1) << "the fixture's directory is meant to start on volume 2";
  EXPECT_EQ(requests_, (std::vector<int32_t>{2, 3, 4}));
  ASSERT_EQ(zip.Count(), 1600);
  std::set<std::string> loaded;
  for (int32_t i = 0; i < zip.Count(); ++i) loaded.insert(zip.FullName(i));
  const auto expected = SortedNames(files);
  EXPECT_EQ(loaded, (std::set<std::string>{expected.begin(), expected.end()}));
  EXPECT_EQ(zip.CurrentDisk, 3);
  EXPECT_EQ(zip.ZipName(), "C:\\many\\set.004");

  // Entries from both ends of the directory extract from their own volumes.
  zip.SetFilesList({"a_rather_long_file_name_number_0.txt", "a_rather_long_file_name_number_1599.txt"});
  zip.SetDestDir("C:\\out");
  requests_.clear();
  EXPECT_EQ(zip.UnZip(), 2);
  EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"a_rather_long_file_name_number_0.txt", "0"},
                                                            {"a_rather_long_file_name_number_1599.txt", "1599"}}));
}

// A two-volume set written by hand: the central directory starts on volume 1 and its second
// record is cut after `left` bytes, the rest (and the end record) on volume 2. Cuts before the
// record, inside its signature and inside its fixed part are all continued on volume 2.
TEST_F(SpannedArchiveTest, ACentralRecordCutAnywhereInItsFixedPartContinuesOnTheNextVolume) {
  for (const uint32_t left : {0u, 1u, 3u, 4u, 30u, 45u}) {
    SCOPED_TRACE("bytes of the record left on volume 1: " + std::to_string(left));
    ZipBuilder b;
    for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
      ZipEntrySpec e;
      e.name = name;
      e.data = std::string("data of ") + name;
      b.entries.push_back(e);
    }
    Bytes bytes = b.Build();
    const uint32_t first_record = 46 + static_cast<uint32_t>(b.entries[0].name.size());
    const uint32_t cut = b.central_offset + first_record + left;
    bytes[b.end_offset + 4] = 1;  // this disk
    bytes[b.end_offset + 6] = 0;  // disk of the directory's start
    const std::string all(bytes.begin(), bytes.end());
    fs::remove_all(root_.DriveC() + "/cut");
    fs::remove_all(root_.DriveC() + "/out");
    fs::create_directories(root_.DriveC() + "/cut");
    testing::WriteHostFile(root_.DriveC() + "/cut/set.001", all.substr(0, cut));
    testing::WriteHostFile(root_.DriveC() + "/cut/set.002", all.substr(cut));
    testing::WriteHostFile(root_.DriveC() + "/cut/set.zip", all.substr(cut));

    TUnZipper zip(nullptr);
    requests_.clear();
    RecordRequests(zip);
    zip.SetZipName("C:\\cut\\set.zip");
    zip.DoAll = true;
    zip.SetDestDir("C:\\out");
    EXPECT_EQ(zip.UnZip(), 3);
    EXPECT_EQ(requests_, (std::vector<int32_t>{1, 2, 1}));  // directory start, its rest, the data
    EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{{"one.txt", "data of one.txt"},
                                                              {"three.txt", "data of three.txt"},
                                                              {"two.txt", "data of two.txt"}}));
  }
}

TEST_F(SpannedArchiveTest, AMissingVolumeEndsTheExtractionAsACancelledRequest) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  ASSERT_EQ(MakeNumberedSet(SetContent(), root_.DriveC() + "/set").size(), 4u);
  ASSERT_EQ(std::remove((root_.DriveC() + "/set/set.002").c_str()), 0);

  TUnZipper zip(nullptr);
  RecordRequests(zip);
  zip.SetZipName("C:\\set\\set.zip");
  zip.DoAll = true;
  zip.SetDestDir("C:\\out");
  try {
    zip.UnZip();
    FAIL() << "no exception";
  } catch (const EUserCanceled& e) {
    EXPECT_STREQ(e.what(), "User canceled loading new disk.");
  }
  // The default handler names the missing file once more, then the request ends.
  EXPECT_EQ(requests_, (std::vector<int32_t>{1, 2, 2}));
  EXPECT_EQ(zip.ArchiveStream, nullptr);
  EXPECT_EQ(zip.Run, nullptr);
}

// Handlers of every kind end a request for a missing volume: the default one, one that names the
// same missing file each time, one that gives up with an empty name, and one that tries two
// missing names before naming the same one again.
TEST_F(SpannedArchiveTest, EveryHandlerEndsARequestForAMissingVolume) {
  struct Case {
    const char* what;
    std::vector<std::string> names;  // answered in turn, the last one repeated; empty: default handler
    int expected_calls;
  };
  const std::vector<Case> cases = {
      {"default handler", {}, 2},
      {"the same missing name", {"C:\\v\\gone.001"}, 2},
      {"an empty name", {""}, 1},
      {"two names, then the second again", {"C:\\v\\gone.001", "C:\\v\\gone.002"}, 3},
  };
  fs::create_directories(root_.DriveC() + "/v");
  testing::WriteHostFile(root_.DriveC() + "/v/set.zip", "the last volume");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TUnZipper zip(nullptr);
    zip.SetZipName("C:\\v\\set.zip");
    zip.SetVolumeMode(vmFiles);
    int calls = 0;
    if (!c.names.empty()) {
      zip.OnGetNextDisk = [&](TComponent*, int32_t, std::string& name) {
        name = c.names[std::min<size_t>(static_cast<size_t>(calls), c.names.size() - 1)];
        ++calls;
      };
    } else {
      RecordRequests(zip);
    }
    requests_.clear();
    EXPECT_THROW(zip.OpenVolume(2), EUserCanceled);
    EXPECT_EQ(c.names.empty() ? static_cast<int>(requests_.size()) : calls, c.expected_calls);
    EXPECT_EQ(zip.ArchiveStream, nullptr);
    EXPECT_EQ(zip.ZipName(), "C:\\v\\set.zip");
  }
}

// Numbered names come from the name now current, so each request derives its name from the
// volume opened before; volume 1000 gets a four-digit extension. The directory stays loaded and
// the archive date becomes the volume's own.
TEST_F(SpannedArchiveTest, NumberedVolumesAreNamedFromTheCurrentNameAndBecomeTheArchive) {
  ZipBuilder b;
  ZipEntrySpec e;
  e.name = "kept.txt";
  e.data = "kept";
  b.entries = {e};
  const Bytes bytes = b.Build();
  fs::create_directories(root_.DriveC() + "/v");
  testing::WriteHostFile(root_.DriveC() + "/v/archive.zip", std::string(bytes.begin(), bytes.end()));
  const struct {
    int32_t volume;
    const char* host;
    const char* windows;
    time_t when;
  } volumes[] = {
      {1, "archive.001", "C:\\v\\archive.001", 1500000000},
      {2, "archive.002", "C:\\v\\archive.002", 1600000000},
      {1000, "archive.1000", "C:\\v\\archive.1000", 1400000000},
  };
  for (const auto& v : volumes) {
    const std::string host = root_.DriveC() + "/v/" + v.host;
    testing::WriteHostFile(host, std::string("volume ") + v.host);
    struct utimbuf times = {v.when, v.when};
    ASSERT_EQ(utime(host.c_str(), &times), 0);
  }

  TUnZipper zip(nullptr);
  zip.SetZipName("C:\\v\\archive.zip");
  zip.OpenArchive();
  ASSERT_EQ(zip.Count(), 1);
  zip.SetVolumeMode(vmFiles);
  for (const auto& v : volumes) {
    SCOPED_TRACE(v.windows);
    const double before = zip.ArchiveDate;
    TLFNFileStream* stream = zip.OpenVolume(v.volume);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream, zip.ArchiveStream.get());
    EXPECT_EQ(zip.ZipName(), v.windows);
    EXPECT_EQ(zip.CurrentDisk, v.volume - 1);
    EXPECT_EQ(zip.Count(), 1);
    double expected_date = 0.0;
    ASSERT_TRUE(DosDateTimeToDateTime(static_cast<uint32_t>(FileSystem().FileAge(v.windows)), expected_date));
    EXPECT_EQ(zip.ArchiveDate, expected_date);
    EXPECT_NE(zip.ArchiveDate, before);
    char start[7] = {};
    EXPECT_EQ(stream->Read(start, 6), 6);
    EXPECT_EQ(std::string(start), "volume");
  }
}

// With its handler cleared the component still names numbered volumes by its own rule instead of
// calling an empty handler.
TEST_F(SpannedArchiveTest, AClearedHandlerFallsBackToTheComponentsOwnNaming) {
  fs::create_directories(root_.DriveC() + "/v");
  testing::WriteHostFile(root_.DriveC() + "/v/set.zip", "last");
  testing::WriteHostFile(root_.DriveC() + "/v/set.002", "second");
  TUnZipper zip(nullptr);
  zip.SetZipName("C:\\v\\set.zip");
  zip.SetVolumeMode(vmFiles);
  zip.OnGetNextDisk = nullptr;
  ASSERT_NE(zip.OpenVolume(2), nullptr);
  EXPECT_EQ(zip.ZipName(), "C:\\v\\set.002");
  EXPECT_THROW(zip.OpenVolume(3), EUserCanceled);
}

// A request past the last volume of a loaded set (data or records that run on beyond it, or a
// damaged start disk) is a premature end: nothing is asked and the open volume stays.
TEST_F(SpannedArchiveTest, NoVolumeBeyondTheLastIsAskedFor) {
  fs::create_directories(root_.DriveC() + "/v");
  testing::WriteHostFile(root_.DriveC() + "/v/set.zip", "last");
  testing::WriteHostFile(root_.DriveC() + "/v/set.004", "beyond");
  TUnZipper zip(nullptr);
  RecordRequests(zip);
  zip.SetZipName("C:\\v\\set.zip");
  zip.SetVolumeMode(vmFiles);
  zip.EndRecord.ThisDisk = 2;  // three volumes
  zip.ArchiveStream = std::make_unique<TLFNFileStream>("C:\\v\\set.zip", fmOpenRead);
  for (const int32_t volume : {0, 4, 40000}) {
    SCOPED_TRACE(volume);
    EXPECT_THROW(zip.OpenVolume(volume), EFatalUnzipError);
  }
  EXPECT_TRUE(requests_.empty());
  EXPECT_NE(zip.ArchiveStream, nullptr);
}

// A disk set on a floppy drive: every disk carries set.zip and a label ending in its number. The
// prompt's answer swaps the drive's content and label as a user swaps disks.
class FloppySetTest : public SpannedArchiveTest {
protected:
  void SetUp() override {
    SpannedArchiveTest::SetUp();
    testing::WriteHostFile(root_.Root() + "/system.reg",
                           "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n"
                           "[Software\\\\Wine\\\\Drives] 1700000000\n\"a:\"=\"floppy\"\n");
    floppy_ = root_.Root() + "/floppy";
    mkdir(floppy_.c_str(), 0777);
    root_.MapDrive('a', floppy_);
  }

public:
  // Puts disk `disk` (1-based) in the drive, labelled `label` (no label file when none).
  void Insert(int disk, const std::optional<std::string>& label) {
    testing::WriteHostFile(floppy_ + "/set.zip", volumes_.at(static_cast<size_t>(disk - 1)));
    if (label) testing::WriteHostFile(floppy_ + "/.windows-label", *label + "\n");
    else std::remove((floppy_ + "/.windows-label").c_str());
  }
  static std::string Label(int disk) { return "BACKUP " + std::string(disk < 10 ? "00" : "0") + std::to_string(disk); }

protected:
  std::string floppy_;
  std::vector<std::string> volumes_;
};

TEST_F(FloppySetTest, DisksAreAskedForAndTheirLabelsChecked) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  const auto files = SetContent();
  volumes_ = MakeNumberedSet(files, root_.DriveC() + "/made");
  ASSERT_EQ(volumes_.size(), 4u);

  struct Case {
    const char* what;
    bool check_labels;
    // What the user does at the k-th prompt (0-based) for disk n: inserts a disk or cancels.
    std::function<int32_t(FloppySetTest&, size_t k, int n)> user;
    std::vector<int> expected_prompts;
    bool completes;
  };
  const std::vector<Case> cases = {
      {"the right disks", true,
       [](FloppySetTest& t, size_t, int n) {
         t.Insert(n, Label(n));
         return mrOk;
       },
       {1, 2, 3, 4}, true},
      {"disk 2 again when disk 3 is asked for, then disk 3", true,
       [](FloppySetTest& t, size_t k, int n) {
         t.Insert(k == 2 ? 2 : n, Label(k == 2 ? 2 : n));
         return mrOk;
       },
       {1, 2, 3, 3, 4}, true},
      {"labels not checked", false,
       [](FloppySetTest& t, size_t, int n) {
         t.Insert(n, "NO NAME");
         return mrOk;
       },
       {1, 2, 3, 4}, true},
      {"an unlabelled disk, twice", true,
       [](FloppySetTest& t, size_t, int n) {
         t.Insert(n, std::nullopt);
         return mrOk;
       },
       {1, 1}, false},
      {"cancel at the second prompt", true,
       [](FloppySetTest& t, size_t k, int n) {
         if (k == 1) return mrCancel;
         t.Insert(n, Label(n));
         return mrOk;
       },
       {1, 2}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_.DriveC() + "/out");
    services_->prompts.clear();
    services_->prompted_disks.clear();
    services_->cursor_at_prompt.clear();
    Insert(4, Label(4));
    size_t k = 0;
    services_->answer = [&](int n) { return c.user(*this, k++, n); };

    TUnZipper zip(nullptr);
    zip.SetZipName("A:\\set.zip");
    zip.SetCheckVolumeLabels(c.check_labels);
    zip.DoAll = true;
    zip.RecreateDirs = true;
    zip.SetDestDir("C:\\out");
    if (c.completes) {
      EXPECT_EQ(zip.UnZip(), 4);
      EXPECT_EQ(Extracted(), (std::map<std::string, std::string>{files.begin(), files.end()}));
      EXPECT_EQ(zip.ZipName(), "A:\\set.zip");
    } else {
      try {
        zip.UnZip();
        ADD_FAILURE() << "no exception";
      } catch (const EUserCanceled& e) {
        EXPECT_STREQ(e.what(), "User canceled loading new disk.");
      }
      EXPECT_EQ(zip.ArchiveStream, nullptr);
    }
    EXPECT_EQ(zip.GetVolumeMode(), vmDisks);
    EXPECT_EQ(services_->prompted_disks, c.expected_prompts);
    for (size_t i = 0; i < services_->prompts.size(); ++i) {
      EXPECT_EQ(services_->prompts[i],
                "Please insert disk " + std::to_string(c.expected_prompts[i]) + " of the multi-disk set.");
      EXPECT_EQ(services_->types[i], MsgDlgType::mtConfirmation);
      EXPECT_EQ(services_->button_sets[i], (std::vector<MsgDlgBtn>{MsgDlgBtn::mbOK, MsgDlgBtn::mbCancel}));
      EXPECT_EQ(services_->cursor_at_prompt[i], Cursor::Default);
    }
    EXPECT_EQ(services_->GetCursor(), Cursor::HourGlass);
  }
}

// The label check on its own: at most 11 characters of the label count and their last three
// must be the volume number, case and all; a drive without a label fails; numbered sets pass.
TEST_F(FloppySetTest, TheLabelCheckComparesTheEndOfTheFirstElevenCharacters) {
  const struct {
    std::optional<std::string> label;
    TVolumeMode mode;
    bool passes;
  } cases[] = {
      {"BACKUP 003", vmDisks, true},
      {"003", vmDisks, true},
      {"set-03-003", vmDisks, true},
      {"BACKUP 002", vmDisks, false},
      {"BACKUP 3", vmDisks, false},
      {"03", vmDisks, false},
      {"", vmDisks, false},
      {std::nullopt, vmDisks, false},
      {"XXXXXXXX003YZ", vmDisks, true},   // 13 characters; the first 11 end in 003
      {"BACKUP 003XY", vmDisks, false},   // the first 11 end in 03X
      {std::nullopt, vmFiles, true},
      {"BACKUP 002", vmSingle, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label.value_or("(no label)") + " mode " + std::to_string(c.mode));
    if (c.label) testing::WriteHostFile(floppy_ + "/.windows-label", *c.label + "\n");
    else std::remove((floppy_ + "/.windows-label").c_str());
    TUnZipper zip(nullptr);
    zip.SetZipName("a:\\set.zip");
    zip.SetVolumeMode(c.mode);
    EXPECT_EQ(zip.CheckVolumeLabel(3), c.passes);
  }
}

// The built zipread on a numbered set: all of it extracts, and without one volume the command
// fails with the cancelled request.
TEST_F(SpannedArchiveTest, ZipreadExtractsANumberedSetAndFailsOnAMissingVolume) {
  const std::string zipread = std::string(CORVINA_BINARY_DIR) + "/zipread";
  if (!fs::exists(zipread)) GTEST_SKIP() << "zipread is not built";
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  testing::TempDir work;
  const auto files = SetContent();
  const std::string set = (work.Path() / "set").string();
  ASSERT_EQ(MakeNumberedSet(files, set).size(), 4u);
  fs::create_directories(work.Path() / "prefix");

  auto run = [&](const std::string& dest, std::string& err) {
    const std::string err_file = (work.Path() / "stderr.txt").string();
    const std::string command = "cd '" + set + "' && WINEPREFIX='" + (work.Path() / "prefix").string() +
                                "' ASAN_OPTIONS=\"$ASAN_OPTIONS:exitcode=99\" "
                                "UBSAN_OPTIONS=\"$UBSAN_OPTIONS:exitcode=99\" timeout 120 '" +
                                zipread + "' extract -d '" + dest + "' set.zip </dev/null >/dev/null 2>'" + err_file +
                                "'";
    const int status = std::system(command.c_str());
    err = testing::ReadHostFile(err_file).value_or("");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  std::string err;
  const fs::path all = work.Path() / "all";
  EXPECT_EQ(run(all.string(), err), 0) << err;
  for (const auto& [name, content] : files) EXPECT_EQ(testing::ReadHostFile((all / name).string()), content) << name;

  ASSERT_EQ(std::remove((set + "/set.003").c_str()), 0);
  EXPECT_EQ(run((work.Path() / "part").string(), err), 2);
  EXPECT_NE(err.find("User canceled loading new disk."), std::string::npos) << err;
}

}  // namespace
}  // namespace corvina
