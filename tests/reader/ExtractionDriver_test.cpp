// The extraction driver through TUnZipper::UnZip: which entries are selected (DoAll, RecreateDirs,
// FilesList patterns), what OnStartUnZipInfo is told and what StopNow does, the result count, the
// total progress, archive order for volume sets with the caller's order restored (also when the
// run ends with an exception), the destination folder; and, end to end, archives from Info-ZIP
// `zip` at every level and the PKZIP 2.04 corpus, extracted byte for byte as `unzip` extracts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/AppServices.h"
#include "platform/FileSystem.h"
#include "support/Corpus.h"
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

const fs::path kCorpus = testing::CorpusDir();

ZipEntrySpec Entry(const std::string& name, const std::string& data) {
  ZipEntrySpec e;
  e.name = name;
  e.data = data;
  return e;
}

// Every file and folder below a host folder, relative, folders with a trailing "/", with contents.
std::map<std::string, std::string> Tree(const fs::path& folder) { return testing::HostTree(folder); }

class ExtractionDriverTest : public ::testing::Test {
protected:
  void SetUp() override {
    archives_ = root_.Root() + "/archives";
    fs::create_directory(archives_);
    root_.MapDrive('d', archives_);
  }

  std::string Put(const std::string& name, const Bytes& bytes) {
    testing::WriteHostFile(archives_ + "/" + name, std::string(bytes.begin(), bytes.end()));
    return "D:\\" + name;
  }
  fs::path Out() const { return fs::path(root_.DriveC()) / "out"; }
  void ClearOut() { fs::remove_all(Out()); }

  std::unique_ptr<TUnZipper> Zipper(const std::string& archive) {
    auto zip = std::make_unique<TUnZipper>(nullptr);
    zip->SetZipName(archive);
    zip->SetDestDir("C:\\out");
    zip->OverwriteMode = TUZOverwriteMode::Always;
    zip->OnStartUnZip = [this](TComponent*, int32_t i, const std::string& name, bool&) {
      started_.push_back(std::to_string(i) + " " + name);
    };
    return zip;
  }

  testing::WineRoot root_;
  std::string archives_;
  std::vector<std::string> started_;
};

TEST_F(ExtractionDriverTest, SelectionByDoAllRecreateDirsAndPatterns) {
  ZipBuilder b;
  b.entries = {Entry("docs/a.txt", "1"), Entry("A.TXT", "22"), Entry("docs/sub/b.dat", "333"),
               Entry("other/c.txt", "4444"), Entry("docs/", "")};
  const std::string archive = Put("sel.zip", b.Build());
  struct Case {
    bool do_all;
    bool recreate;
    std::vector<std::string> patterns;
    int32_t num_files;
    int64_t total_bytes;
    std::vector<int32_t> started;  // indexes handed to OnStartUnZip, in order
  };
  const Case cases[] = {
      {false, true, {}, 0, 0, {}},
      {true, false, {}, 4, 10, {0, 1, 2, 3}},
      {true, true, {}, 5, 10, {0, 1, 2, 3, 4}},
      {false, false, {"*.txt"}, 3, 7, {0, 1, 3}},
      {false, false, {"*.TXT"}, 3, 7, {0, 1, 3}},
      {false, true, {"docs\\*"}, 3, 4, {0, 2, 4}},
      {false, false, {"docs\\*"}, 2, 4, {0, 2}},
      {false, false, {"nothing", "*.dat", "a.txt"}, 2, 5, {1, 2}},
      {true, false, {"no match"}, 4, 10, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "DoAll " << c.do_all << " RecreateDirs " << c.recreate << " patterns "
                                      << ::testing::PrintToString(c.patterns));
    ClearOut();
    started_.clear();
    auto zip = Zipper(archive);
    zip->DoAll = c.do_all;
    zip->RecreateDirs = c.recreate;
    zip->SetFilesList(c.patterns);
    int infos = 0;
    zip->OnStartUnZipInfo = [&](TComponent*, int32_t n, int64_t total, bool&) {
      ++infos;
      EXPECT_EQ(n, c.num_files);
      EXPECT_EQ(total, c.total_bytes);
    };
    EXPECT_EQ(zip->UnZip(), c.num_files);
    EXPECT_EQ(infos, 1);
    std::vector<int32_t> started;
    for (const std::string& s : started_) started.push_back(std::stoi(s));
    EXPECT_EQ(started, c.started);
    for (int32_t i = 0; i < zip->Count(); ++i) {
      const bool marked = std::find(c.started.begin(), c.started.end(), i) != c.started.end();
      EXPECT_EQ(zip->SortedView()->Entry(i)->Marked, marked) << i;
    }
  }
}

TEST_F(ExtractionDriverTest, StopNowExtractsNothingAndReturnsTheSelection) {
  ZipBuilder b;
  b.entries = {Entry("a.txt", "a"), Entry("b.txt", "b")};
  auto zip = Zipper(Put("stop.zip", b.Build()));
  zip->DoAll = true;
  zip->OnStartUnZipInfo = [](TComponent*, int32_t, int64_t, bool& stop) { stop = true; };
  EXPECT_EQ(zip->UnZip(), 2);
  EXPECT_TRUE(started_.empty());
  EXPECT_EQ(Tree(Out()), (std::map<std::string, std::string>{}));
}

TEST_F(ExtractionDriverTest, TheDestinationIsCreatedIgnoredWhenAQuestionMarkAndFatalWhenUnreachable) {
  ZipBuilder b;
  b.entries = {Entry("a.txt", "a")};
  const std::string archive = Put("dest.zip", b.Build());
  auto zip = Zipper(archive);
  zip->DoAll = true;
  zip->SetDestDir("C:\\deep\\er\\out");
  EXPECT_EQ(zip->UnZip(), 1);
  EXPECT_EQ(testing::ReadHostFile(root_.DriveC() + "/deep/er/out/a.txt"), "a");

  // A folder dialog that hands back "?" itself leaves that as the destination: nothing is read.
  struct QuestionMarkFolder : IAppServices {
    int32_t MessageDlg(const std::string&, MsgDlgType, const std::vector<MsgDlgBtn>&) override { return mrCancel; }
    int32_t MessageBox(const std::string&, const std::string&, uint32_t) override { return IDCANCEL; }
    bool SelectDirectory(std::string& folder) override {
      folder = "?";
      return true;
    }
    bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
    void SetCursor(Cursor) override {}
    Cursor GetCursor() override { return Cursor::Default; }
    void ProcessMessages() override {}
    void Terminate(int) override {}
  };
  SetAppServices(std::make_shared<QuestionMarkFolder>());
  TUnZipper asking(nullptr);
  asking.SetZipName("D:\\missing.zip");
  asking.DoAll = true;
  asking.SetDestDir("?");
  SetAppServices(nullptr);
  ASSERT_EQ(asking.DestDir(), "?");
  EXPECT_EQ(asking.UnZip(), 0);  // the archive does not even exist: it was never opened
  EXPECT_EQ(asking.Count(), 0);

  // A destination that cannot be made fails before any event; so does a call outside a run.
  auto nowhere = Zipper(archive);
  nowhere->DoAll = true;
  nowhere->SetDestDir("Q:\\unmapped\\out");
  bool announced = false;
  nowhere->OnStartUnZipInfo = [&](TComponent*, int32_t, int64_t, bool&) { announced = true; };
  EXPECT_THROW(nowhere->UnZip(), EInOutError);
  EXPECT_FALSE(announced);
  EXPECT_EQ(nowhere->Run, nullptr);
  EXPECT_THROW(nowhere->ExtractEntry(0), Exception);
}

// Total progress: with every marked entry written in full the last event reports 100; an entry
// kept because its target exists leaves the last event below 100. Each file is larger than one
// output block, so every entry raises several events.
TEST_F(ExtractionDriverTest, TotalPercentEndsAtOneHundredOnlyWhenEverythingWasWritten) {
  ZipBuilder b;
  b.entries = {Entry("a.bin", std::string(40000, 'a')), Entry("b.bin", std::string(40000, 'b'))};
  const std::string archive = Put("pct.zip", b.Build());
  for (bool keep_existing : {false, true}) {
    SCOPED_TRACE(keep_existing);
    ClearOut();
    if (keep_existing) {
      fs::create_directories(Out());
      testing::WriteHostFile((Out() / "b.bin").string(), "old");
    }
    auto zip = Zipper(archive);
    zip->DoAll = true;
    zip->OverwriteMode = keep_existing ? TUZOverwriteMode::Never : TUZOverwriteMode::Always;
    std::vector<int32_t> percents;
    zip->OnTotalPercentDone = [&](TComponent*, int32_t p) { percents.push_back(p); };
    EXPECT_EQ(zip->UnZip(), keep_existing ? 1 : 2);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), keep_existing ? 50 : 100);
    EXPECT_EQ(zip->TotalBytes, 80000);
  }
}

// A CRC failure lowers the result by one; every other entry still counts.
TEST_F(ExtractionDriverTest, AFailedEntryLowersTheResult) {
  ZipBuilder b;
  b.entries = {Entry("a.txt", "a"), Entry("bad.txt", "b"), Entry("c.txt", "c")};
  b.entries[1].crc = 1;
  auto zip = Zipper(Put("crc.zip", b.Build()));
  zip->DoAll = true;
  int bad = 0;
  zip->OnBadCRC = [&](TComponent*, int32_t, int32_t stored, int32_t i) {
    ++bad;
    EXPECT_EQ(stored, 1);
    EXPECT_EQ(i, 1);
  };
  EXPECT_EQ(zip->UnZip(), 2);
  EXPECT_EQ(bad, 1);
}

// An archive whose end record says it is volume 2 of a set, with every entry on that volume: the
// run goes in archive order although the view is sorted by name, the FileIndex values refer to
// that order, and the view is in name order again afterwards, also when the run fails.
TEST_F(ExtractionDriverTest, AVolumeSetIsExtractedInArchiveOrderAndTheSortOrderComesBack) {
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail);
    ClearOut();
    started_.clear();
    ZipBuilder b;
    b.entries = {Entry("b.txt", "b"), Entry("a.txt", "a"), Entry("c.txt", "c")};
    for (ZipEntrySpec& e : b.entries) e.start_disk = 1;
    if (fail) {
      // The last entry's data runs past the end of the file: the run ends with an exception.
      b.entries[2].method = 8;
      b.entries[2].packed_size = 50000;
    }
    Bytes bytes = b.Build();
    bytes[b.end_offset + 4] = 1;  // this disk
    bytes[b.end_offset + 6] = 1;  // disk of the central directory
    auto zip = Zipper(Put("set.zip", bytes));
    zip->DoAll = true;
    zip->SortMode = TZipSortMode::ByName;
    if (fail) {
      EXPECT_THROW(zip->UnZip(), Exception);
    } else {
      EXPECT_EQ(zip->UnZip(), 3);
    }
    EXPECT_EQ(started_[0], "0 C:\\out\\b.txt");
    EXPECT_EQ(started_[1], "1 C:\\out\\a.txt");
    EXPECT_EQ(zip->SortMode, TZipSortMode::ByName);
    ASSERT_EQ(zip->Count(), 3);
    EXPECT_EQ(zip->FullName(0), "a.txt");
    EXPECT_EQ(zip->FullName(1), "b.txt");
    EXPECT_EQ(zip->FullName(2), "c.txt");
    EXPECT_EQ(zip->Run, nullptr);
  }
}

// A single archive keeps the order of the view: FileIndex follows SortMode.
TEST_F(ExtractionDriverTest, ASingleArchiveIsExtractedInTheOrderOfTheView) {
  ZipBuilder b;
  b.entries = {Entry("b.txt", "b"), Entry("a.txt", "a")};
  auto zip = Zipper(Put("single.zip", b.Build()));
  zip->DoAll = true;
  zip->SortMode = TZipSortMode::ByName;
  EXPECT_EQ(zip->UnZip(), 2);
  EXPECT_EQ(started_, (std::vector<std::string>{"0 C:\\out\\a.txt", "1 C:\\out\\b.txt"}));
}

// --- End to end against Info-ZIP --------------------------------------------------------------

// Deterministic content: text-like runs (compressible) and noise (not), so that every level
// produces dynamic, fixed and stored blocks.
std::string Content(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string out;
  out.reserve(size);
  static const char* words[] = {"alpha ", "beta ", "gamma ", "delta\n", "epsilon ", "zeta, ", "eta. "};
  while (out.size() < size) {
    if (random() % 4 == 0) {
      for (int i = 0; i < 200 && out.size() < size; ++i) out += static_cast<char>(random());
    } else {
      out += words[random() % 7];
    }
  }
  out.resize(size);
  return out;
}

class InfoZipEndToEnd : public ExtractionDriverTest {
protected:
  void SetUp() override {
    ExtractionDriverTest::SetUp();
    if (!testing::InfoZipAvailable() || std::system("unzip -v >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "Info-ZIP zip and unzip are needed";
    source_ = fs::path(archives_) / "src";
    fs::create_directories(source_ / "sub" / "deeper");
    testing::WriteHostFile((source_ / "empty.txt").string(), "");
    testing::WriteHostFile((source_ / "small.txt").string(), "small\n");
    testing::WriteHostFile((source_ / "sub" / "over64k.bin").string(), Content(70000, 1));
    testing::WriteHostFile((source_ / "sub" / "deeper" / "text.txt").string(), Content(300000, 2));
  }

  // Extracts host archive through the component (folders recreated) and through unzip, and
  // compares the trees.
  void ExpectSameAsUnzip(const fs::path& archive, const std::string& password = "") {
    ClearOut();
    fs::path copy = fs::path(archives_) / archive.filename();
    if (archive != copy) fs::copy_file(archive, copy, fs::copy_options::overwrite_existing);
    auto zip = Zipper("D:\\" + archive.filename().string());
    zip->DoAll = true;
    zip->RecreateDirs = true;
    zip->Password = password;
    int32_t selected = -1;
    zip->OnStartUnZipInfo = [&](TComponent*, int32_t n, int64_t, bool&) { selected = n; };
    EXPECT_EQ(zip->UnZip(), selected);
    testing::TempDir reference;
    const std::string command = "unzip -qq -o " + (password.empty() ? "" : "-P '" + password + "' ") + "'" +
                                copy.string() + "' -d '" + reference.Path().string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const auto expected = Tree(reference.Path());
    const auto got = Tree(Out());
    EXPECT_FALSE(expected.empty());
    ASSERT_EQ(got.size(), expected.size());
    for (const auto& [name, content] : expected) {
      auto it = got.find(name);
      ASSERT_NE(it, got.end()) << name;
      EXPECT_TRUE(it->second == content) << name << " differs";
    }
  }

  fs::path source_;
};

TEST_F(InfoZipEndToEnd, EveryLevelStoredAndDeflated) {
  for (int level = 0; level <= 9; ++level) {
    SCOPED_TRACE(level);
    const std::string name = "level" + std::to_string(level) + ".zip";
    ASSERT_TRUE(testing::RunZip(source_, "-r -" + std::to_string(level) + " ../" + name + " ."));
    ExpectSameAsUnzip(fs::path(archives_) / name);
  }
}

TEST_F(InfoZipEndToEnd, DataDescriptorsAndStreamedInput) {
  ASSERT_TRUE(testing::RunZip(source_, "-r -fd ../fd.zip ."));
  ExpectSameAsUnzip(fs::path(archives_) / "fd.zip");
  // From standard input zip knows neither size nor CRC in advance: one entry named "-".
  const std::string piped = "cd '" + source_.string() + "' && cat sub/deeper/text.txt | zip -q - - > ../piped.zip";
  ASSERT_EQ(std::system(piped.c_str()), 0);
  ExpectSameAsUnzip(fs::path(archives_) / "piped.zip");
  ASSERT_TRUE(testing::RunZip(source_, "-r -P pw ../enc.zip ."));
  ExpectSameAsUnzip(fs::path(archives_) / "enc.zip", "pw");
}

TEST_F(InfoZipEndToEnd, AFileOverSixteenMebibytes) {
  testing::WriteHostFile((source_ / "big.bin").string(), Content((16u << 20) + 12345, 3));
  ASSERT_TRUE(testing::RunZip(source_, "../big.zip big.bin"));
  ExpectSameAsUnzip(fs::path(archives_) / "big.zip");
  ASSERT_TRUE(testing::RunZip(source_, "-0 ../big0.zip big.bin"));
  ExpectSameAsUnzip(fs::path(archives_) / "big0.zip");
}

TEST_F(InfoZipEndToEnd, PkzipDeflatedAndStoredCorpus) {
  const fs::path dir = kCorpus / "pkzip-dos";
  if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
  for (const char* name : {"PKZ204E0.ZIP", "PKZ204EF.ZIP", "PKZ204EN.ZIP", "PKZ204ES.ZIP", "PKZ204EX.ZIP"}) {
    SCOPED_TRACE(name);
    ExpectSameAsUnzip(dir / name);
  }
}

// The older PKZIP methods (shrink, reduce, implode) decode to the plain files that PKZ204E0.ZIP
// stores.
TEST_F(ExtractionDriverTest, PkzipLegacyMethodsGiveTheStoredFiles) {
  const fs::path dir = kCorpus / "pkzip-dos";
  if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
  auto extract = [&](const fs::path& archive) {
    ClearOut();
    fs::copy_file(archive, fs::path(archives_) / archive.filename(), fs::copy_options::overwrite_existing);
    auto zip = Zipper("D:\\" + archive.filename().string());
    zip->DoAll = true;
    int32_t failures = 0;
    zip->OnBadCRC = [&](TComponent*, int32_t, int32_t, int32_t) { ++failures; };
    EXPECT_EQ(zip->UnZip(), 15);
    EXPECT_EQ(failures, 0);
    return Tree(Out());
  };
  const auto stored = extract(dir / "PKZ204E0.ZIP");
  ASSERT_EQ(stored.size(), 15u);
  for (const char* name : {"PKZ80A1.ZIP", "PKZ80B1.ZIP", "PKZ80B2.ZIP", "PKZ80B3.ZIP", "PKZ80B4.ZIP",
                           "PKZ90A4.ZIP", "PKZ110.ZIP", "PKZ110EI.ZIP", "PKZ110ES.ZIP", "PKZ110EX.ZIP"}) {
    SCOPED_TRACE(name);
    const auto got = extract(dir / name);
    EXPECT_TRUE(got == stored);
  }
}

}  // namespace
}  // namespace corvina
