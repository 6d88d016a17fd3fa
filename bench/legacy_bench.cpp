// Times the legacy decoders (explode, unshrink, unreduce) on TEST.EXE of the PKZIP for DOS corpus
// (2,426,368 bytes), beside Info-ZIP `unzip -p` on the same entry when that program is installed.
// Each decoder runs on the entry's compressed bytes held in memory, through a real ExtractionState
// (CRC-32 and output flushes included, the output kept in memory); the median of the rounds is
// printed. unzip's time includes its start and its reading of the archive, so it flatters us a
// little on small inputs; on 2.4 MB the decoding dominates.
//
// Built by name, not by the test build:
//   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
//   cmake --build build-release --target legacy_bench
//   build-release/legacy_bench [CORPUS_DIR] [ROUNDS]      (default ../shared/corpus/pkzip-dos, 9 rounds)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "inflate/Explode.h"
#include "inflate/ExtractionState.h"
#include "inflate/Unreduce.h"
#include "inflate/Unshrink.h"
#include "platform/Stream.h"
#include "zip/UnZipper.h"

namespace {

using namespace corvina;
using Bytes = std::vector<uint8_t>;

struct Entry {
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t crc = 0;
  int32_t unpacked = 0;
  Bytes data;
};

uint32_t Le(const Bytes& b, size_t at, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

// The named entry of an archive, from its central directory and local header.
bool FindEntry(const std::string& path, const std::string& name, Entry& out) {
  std::ifstream file(path, std::ios::binary);
  const Bytes zip((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (zip.size() < 22) return false;
  size_t end = zip.size() - 22;
  while (end > 0 && Le(zip, end, 4) != 0x06054B50u) --end;
  size_t p = Le(zip, end + 16, 4);
  for (uint32_t i = 0, n = Le(zip, end + 10, 2); i < n && Le(zip, p, 4) == 0x02014B50u; ++i) {
    const uint32_t name_length = Le(zip, p + 28, 2);
    const std::string entry_name(zip.begin() + static_cast<std::ptrdiff_t>(p + 46),
                                 zip.begin() + static_cast<std::ptrdiff_t>(p + 46 + name_length));
    if (entry_name == name) {
      out.flags = static_cast<uint16_t>(Le(zip, p + 8, 2));
      out.method = static_cast<uint16_t>(Le(zip, p + 10, 2));
      out.crc = Le(zip, p + 16, 4);
      const uint32_t packed = Le(zip, p + 20, 4);
      out.unpacked = static_cast<int32_t>(Le(zip, p + 24, 4));
      const size_t local = Le(zip, p + 42, 4);
      const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
      out.data.assign(zip.begin() + static_cast<std::ptrdiff_t>(data),
                      zip.begin() + static_cast<std::ptrdiff_t>(data + packed));
      return true;
    }
    p += 46 + name_length + Le(zip, p + 30, 2) + Le(zip, p + 32, 2);
  }
  return false;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Seconds of one decoding of the entry; false when the CRC does not match.
bool DecodeOnce(const Entry& e, double& seconds) {
  TUnZipper zipper(nullptr);
  zipper.DoProcessMessages = false;
  ExtractionState state(zipper);
  TMemoryStream archive(e.data);
  TMemoryStream output;
  output.SetSize(e.unpacked);
  output.Seek64(0, 0);
  zipper.CurrentEntry.PackedSize = static_cast<int32_t>(e.data.size());
  zipper.CurrentEntry.UnpackedSize = e.unpacked;
  zipper.CurrentEntry.BitFlags = e.flags;
  zipper.CurrentEntry.Method = e.method;
  state.ArchiveStream = &archive;
  state.OutStream = &output;
  state.ResetForEntry();
  const auto start = std::chrono::steady_clock::now();
  if (e.method == 1) {
    Unshrink(state);
  } else if (e.method >= 2 && e.method <= 5) {
    Unreduce(state);
  } else {
    Explode(state);
  }
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return ~zipper.RunningCrc == e.crc;
}

double TimeUnzip(const std::string& archive, int rounds) {
  if (std::system("command -v unzip >/dev/null 2>&1") != 0) return -1;
  std::vector<double> times;
  const std::string command = "unzip -p '" + archive + "' TEST.EXE >/dev/null";
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string corpus = argc > 1 ? argv[1] : "../shared/corpus/pkzip-dos";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  const struct {
    const char* label;
    const char* archive;
  } cases[] = {
      {"explode (4K, two trees)", "PKZ110EI.ZIP"},
      {"unshrink", "PKZ110ES.ZIP"},
      {"unreduce (factor 1)", "PKZ90B1.ZIP"},
      {"unreduce (factor 4)", "PKZ90B4.ZIP"},
  };
  std::printf("%-26s %-14s %10s %10s %8s\n", "decoder", "archive", "ours ms", "unzip ms", "ratio");
  int failures = 0;
  for (const auto& c : cases) {
    const std::string path = corpus + "/" + c.archive;
    Entry e;
    if (!FindEntry(path, "TEST.EXE", e)) {
      std::printf("%-26s %-14s  (TEST.EXE not found)\n", c.label, c.archive);
      ++failures;
      continue;
    }
    std::vector<double> times;
    bool ok = true;
    for (int i = 0; i < rounds; ++i) {
      double t = 0;
      ok = DecodeOnce(e, t) && ok;
      times.push_back(t);
    }
    const double ours = Median(times);
    const double unzip = TimeUnzip(path, rounds);
    if (!ok) ++failures;
    if (unzip > 0) {
      std::printf("%-26s %-14s %10.2f %10.2f %8.2f%s\n", c.label, c.archive, ours * 1e3, unzip * 1e3, unzip / ours,
                  ok ? "" : "  CRC MISMATCH");
    } else {
      std::printf("%-26s %-14s %10.2f %10s %8s%s\n", c.label, c.archive, ours * 1e3, "-", "-", ok ? "" : "  CRC MISMATCH");
    }
  }
  return failures == 0 ? 0 : 1;
}
