// The built `zipread list` command on real archives: the PKZIP for DOS archives list their fifteen
// entries with the sizes and CRCs of the stored reference, Info-ZIP archives list what was put in
// them, and every odd or damaged archive of the corpus gives a listing or the reader's error,
// never a crash or a hang. Also the command line itself (usage, exit codes).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/Corpus.h"
#include "support/InfoZipArchive.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;

const std::string kZipread = std::string(CORVINA_BINARY_DIR) + "/zipread";
const fs::path kCorpus = testing::CorpusDir();

struct RunResult {
  int exit_code = -1;  // -1 when the program did not exit normally (a signal, a time-out)
  std::string out;
  std::string err;
};

// Runs zipread with the arguments (each quoted), at most 60 seconds.
RunResult Zipread(const std::vector<std::string>& args) {
  testing::TempDir dir;
  const fs::path err_file = dir.Path() / "stderr";
  std::string command = "timeout 60 '" + kZipread + "'";
  for (const std::string& a : args) command += " '" + a + "'";
  command += " 2>'" + err_file.string() + "'";
  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
  const int status = pclose(pipe);
  if (WIFEXITED(status) && WEXITSTATUS(status) != 124) result.exit_code = WEXITSTATUS(status);
  const std::vector<uint8_t> err = testing::ReadBytes(err_file);
  result.err.assign(err.begin(), err.end());
  return result;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// "<unpacked> <packed> <method> <crc> <name>" -> the parts; the name may hold spaces.
struct Listed {
  long unpacked = 0;
  long packed = 0;
  int method = 0;
  std::string crc;
  std::string name;
};

Listed Parse(const std::string& line) {
  Listed l;
  std::istringstream in(line);
  in >> l.unpacked >> l.packed >> l.method >> l.crc;
  std::getline(in, l.name);
  if (!l.name.empty() && l.name[0] == ' ') l.name.erase(0, 1);
  return l;
}

TEST(ZipreadList, PkzipArchivesListTheFifteenFilesOfTheReference) {
  const fs::path dir = kCorpus / "pkzip-dos";
  if (!fs::exists(dir)) GTEST_SKIP() << "no corpus at " << dir;
  const RunResult reference = Zipread({"list", (dir / "PKZ204E0.ZIP").string()});
  ASSERT_EQ(reference.exit_code, 0) << reference.err;
  std::map<std::string, std::pair<long, std::string>> expected;  // name -> size, CRC
  for (const std::string& line : Lines(reference.out)) {
    const Listed l = Parse(line);
    EXPECT_EQ(l.method, 0) << line;
    EXPECT_EQ(l.unpacked, l.packed) << line;
    EXPECT_EQ(l.crc.size(), 8u) << line;
    expected[l.name] = {l.unpacked, l.crc};
  }
  ASSERT_EQ(expected.size(), 15u);
  EXPECT_EQ(expected.count("TEST.BMP"), 1u);

  int archives = 0;
  for (const auto& file : fs::directory_iterator(dir)) {
    SCOPED_TRACE(file.path().filename().string());
    ++archives;
    const RunResult r = Zipread({"list", file.path().string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> lines = Lines(r.out);
    EXPECT_EQ(lines.size(), 15u);
    for (const std::string& line : lines) {
      const Listed l = Parse(line);
      const auto it = expected.find(l.name);
      ASSERT_NE(it, expected.end()) << line;
      EXPECT_EQ(l.unpacked, it->second.first) << line;
      EXPECT_EQ(l.crc, it->second.second) << line;
    }
  }
  EXPECT_GT(archives, 1);
}

TEST(ZipreadList, OddAndDamagedArchivesGiveAListingOrTheReadersError) {
  if (!fs::exists(kCorpus)) GTEST_SKIP() << "no corpus at " << kCorpus;
  for (const char* sub : {"zip-rs", "zip-slip"}) {
    for (const auto& file : fs::recursive_directory_iterator(kCorpus / sub)) {
      if (!file.is_regular_file() || file.path().extension() != ".zip") continue;
      SCOPED_TRACE(file.path().string());
      const RunResult r = Zipread({"list", file.path().string()});
      ASSERT_TRUE(r.exit_code == 0 || r.exit_code == 2) << "exit " << r.exit_code << ": " << r.err;
      if (r.exit_code == 2) {
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err, "");
      }
    }
  }
  // Two that the reader reads whole: the shrunk entry of the legacy set and the climbing names,
  // which are listed as stored, with backslashes.
  const RunResult shrink = Zipread({"list", (kCorpus / "zip-rs" / "legacy" / "shrink.zip").string()});
  ASSERT_EQ(shrink.exit_code, 0) << shrink.err;
  EXPECT_EQ(shrink.out, "1092 709 1 22957a6e FIRST.TXT\n");
  const RunResult slip = Zipread({"list", (kCorpus / "zip-slip" / "zip-slip.zip").string()});
  ASSERT_EQ(slip.exit_code, 0) << slip.err;
  const std::vector<std::string> lines = Lines(slip.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(Parse(lines[1]).name.find("..\\..\\"), std::string::npos);
}

TEST(ZipreadList, ListsAnInfoZipArchiveInDirectoryOrder) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "zip is not installed";
  testing::TempDir dir;
  testing::WriteBytes(dir.Path() / "zeta.txt", std::vector<uint8_t>(5000, 'z'));
  testing::WriteBytes(dir.Path() / "alpha.txt", {'a', 'b', 'c'});
  fs::create_directory(dir.Path() / "d");
  testing::WriteBytes(dir.Path() / "d" / "\xD0\x96.txt", {'x'});  // a Cyrillic name, as UTF-8 on the host
  ASSERT_TRUE(testing::RunZip(dir.Path(), "-r -9 a.zip zeta.txt alpha.txt d"));
  const RunResult r = Zipread({"list", (dir.Path() / "a.zip").string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::vector<std::string> lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 4u) << r.out;
  EXPECT_EQ(Parse(lines[0]).name, "zeta.txt");
  EXPECT_EQ(Parse(lines[0]).unpacked, 5000);
  EXPECT_EQ(Parse(lines[0]).method, 8);
  EXPECT_LT(Parse(lines[0]).packed, 5000);
  EXPECT_EQ(lines[1], "3 3 0 352441c2 alpha.txt");
  EXPECT_EQ(Parse(lines[2]).name, "d\\");
  EXPECT_EQ(Parse(lines[3]).name.substr(0, 2), "d\\");
}

TEST(ZipreadList, CommandLineErrors) {
  testing::TempDir dir;
  testing::WriteBytes(dir.Path() / "junk.zip", std::vector<uint8_t>(100, 'j'));
  struct Case {
    std::vector<std::string> args;
    std::string err_part;
  } cases[] = {
      {{}, "usage"},
      {{"frobnicate", "x.zip"}, "usage"},
      {{"list"}, "usage"},
      {{"list", "a.zip", "b.zip"}, "usage"},
      {{"list", (dir.Path() / "missing.zip").string()}, "Cannot open file"},
      {{"list", (dir.Path() / "junk.zip").string()}, "Incomplete Zip File"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0]);
    const RunResult r = Zipread(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(c.err_part), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace corvina
