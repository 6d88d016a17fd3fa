// Test fixtures made with the Info-ZIP `zip` command at test time: a temporary folder, running
// `zip` in it, and a minimal reader of the archive it wrote (central directory, then each entry's
// raw compressed bytes behind its local header). The reader trusts its input: it only ever sees
// archives that `zip` has just written. Header-only and free of the reader's own code, so that it
// can serve as an independent oracle for the decoders' tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

namespace corvina::testing {

// A folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvina-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool InfoZipAvailable() { return std::system("zip -v >/dev/null 2>&1") == 0; }

// Runs `zip <arguments>` inside folder; true when it exits with 0.
inline bool RunZip(const std::filesystem::path& folder, const std::string& arguments) {
  const std::string command = "cd '" + folder.string() + "' && zip -q -X " + arguments + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

struct RawEntry {
  std::string name;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dos_date_time = 0;  // time in the low 16 bits
  uint32_t crc = 0;
  uint32_t packed_size = 0;
  uint32_t unpacked_size = 0;
  std::vector<uint8_t> data;  // the packed bytes, encryption header included
};

inline uint32_t Le(const std::vector<uint8_t>& b, size_t at, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = v << 8 | b.at(at + static_cast<size_t>(i));
  return v;
}

// Every entry of an archive without an archive comment, in central-directory order.
inline std::vector<RawEntry> ReadRawEntries(const std::vector<uint8_t>& zip) {
  if (zip.size() < 22) throw std::runtime_error("archive too short");
  const size_t end = zip.size() - 22;
  if (Le(zip, end, 4) != 0x06054B50u) throw std::runtime_error("no end record");
  const uint32_t count = Le(zip, end + 10, 2);
  size_t at = Le(zip, end + 16, 4);
  std::vector<RawEntry> entries;
  for (uint32_t i = 0; i < count; ++i) {
    if (Le(zip, at, 4) != 0x02014B50u) throw std::runtime_error("bad central record");
    RawEntry e;
    e.flags = static_cast<uint16_t>(Le(zip, at + 8, 2));
    e.method = static_cast<uint16_t>(Le(zip, at + 10, 2));
    e.dos_date_time = Le(zip, at + 12, 4);
    e.crc = Le(zip, at + 16, 4);
    e.packed_size = Le(zip, at + 20, 4);
    e.unpacked_size = Le(zip, at + 24, 4);
    const uint32_t name_length = Le(zip, at + 28, 2);
    const uint32_t extra_length = Le(zip, at + 30, 2);
    const uint32_t comment_length = Le(zip, at + 32, 2);
    const uint32_t local = Le(zip, at + 42, 4);
    e.name.assign(zip.begin() + static_cast<long>(at + 46), zip.begin() + static_cast<long>(at + 46 + name_length));
    const size_t data_at = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    e.data.assign(zip.begin() + static_cast<long>(data_at),
                  zip.begin() + static_cast<long>(data_at + e.packed_size));
    entries.push_back(std::move(e));
    at += 46 + name_length + extra_length + comment_length;
  }
  return entries;
}

}  // namespace corvina::testing
