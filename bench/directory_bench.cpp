// Times loading a directory of 65,534 entries through the unzip component, in archive order
// (ByNone) and sorted by name (ByName), beside `unzip -l` on the same file, and checks that loading
// grows no faster than n log n by timing a quarter-size archive too.
//
// The archive is written directly (stored, empty-ish entries with names spread over 256 folders in
// an order unrelated to their names), so the figures measure the directory and nothing else.
//
// usage: directory_bench [WORK_FOLDER]      (built by `cmake --build build-release --target directory_bench`)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "zip/UnZipper.h"

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// An archive of n one-byte stored entries ("x", CRC 0x8CDC1683).
std::string MakeArchive(int n) {
  std::string locals, central;
  uint32_t state = 12345;
  for (int i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    char name[64];
    std::snprintf(name, sizeof name, "dir%03u/file%08u.txt", (state >> 8) % 256, state >> 4);
    uint32_t offset = static_cast<uint32_t>(locals.size());
    auto header = [&](std::string& out, bool is_central) {
      Put32(out, is_central ? 0x02014b50 : 0x04034b50);
      if (is_central) Put16(out, 20);
      Put16(out, 10); Put16(out, 0); Put16(out, 0);
      Put16(out, 0x6000); Put16(out, 0x5A21);  // a 2025 date
      Put32(out, 0x8CDC1683); Put32(out, 1); Put32(out, 1);
      Put16(out, static_cast<uint32_t>(std::char_traits<char>::length(name))); Put16(out, 0);
      if (is_central) {
        Put16(out, 0); Put16(out, 0); Put16(out, 0); Put32(out, 0x20); Put32(out, offset);
      }
      out += name;
    };
    header(locals, false);
    locals += 'x';
    header(central, true);
  }
  std::string archive = locals + central;
  Put32(archive, 0x06054b50); Put16(archive, 0); Put16(archive, 0);
  Put16(archive, n); Put16(archive, n);
  Put32(archive, static_cast<uint32_t>(central.size())); Put32(archive, static_cast<uint32_t>(locals.size()));
  Put16(archive, 0);
  return archive;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double TimeLoad(const std::string& host_path, corvina::TZipSortMode mode, int32_t expected) {
  std::vector<double> times;
  for (int round = 0; round < 5; ++round) {
    corvina::TUnZipper zipper(nullptr);
    zipper.SortMode = mode;
    zipper.SetZipName(corvina::FileSystem().WindowsPath(host_path));
    auto start = std::chrono::steady_clock::now();
    zipper.OpenArchive();
    zipper.CloseArchive();
    times.push_back(Seconds(std::chrono::steady_clock::now() - start));
    if (zipper.Count() != expected) {
      std::fprintf(stderr, "loaded %d entries, expected %d\n", zipper.Count(), expected);
      std::exit(1);
    }
  }
  return Median(times);
}

double TimeCommand(const std::string& command) {
  std::vector<double> times;
  for (int round = 0; round < 5; ++round) {
    auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    times.push_back(Seconds(std::chrono::steady_clock::now() - start));
  }
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  std::string work = argc > 1 ? argv[1] : "/tmp";
  const int sizes[] = {16383, 65534};
  double by_none[2] = {}, by_name[2] = {};
  for (int k = 0; k < 2; ++k) {
    std::string path = work + "/directory-bench-" + std::to_string(sizes[k]) + ".zip";
    std::string archive = MakeArchive(sizes[k]);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(archive.data(), 1, archive.size(), f) != archive.size()) return 1;
    std::fclose(f);
    by_none[k] = TimeLoad(path, corvina::TZipSortMode::ByNone, sizes[k]);
    by_name[k] = TimeLoad(path, corvina::TZipSortMode::ByName, sizes[k]);
    double unzip = TimeCommand("unzip -l '" + path + "' >/dev/null");
    std::printf("%6d entries: ByNone %.4f s, ByName %.4f s, unzip -l %.4f s (ByNone/unzip %.2f)\n", sizes[k],
                by_none[k], by_name[k], unzip, unzip > 0 ? by_none[k] / unzip : 0.0);
  }
  // n log n from the small size to the large one predicts this growth; allow generous noise.
  double n0 = sizes[0], n1 = sizes[1];
  double predicted = (n1 * std::log2(n1)) / (n0 * std::log2(n0));
  double growth = by_none[1] / by_none[0];
  std::printf("ByNone growth x%.2f for x%.2f entries (n log n predicts x%.2f)\n", growth, n1 / n0, predicted);
  return growth <= predicted * 1.5 ? 0 : 3;
}
