#include "inflate/Support.h"

#include <cstring>

#include "platform/FileSystem.h"

namespace corvina {

namespace {

// Done * 100 / Total rounded half to even, for 0 < Done < Total (so the quotient is below 100 and
// Done * 100 fits in 128 bits for any 64-bit operands).
int32_t RoundedPercent(__int128 total, __int128 done) {
  const __int128 scaled = done * 100;
  __int128 quotient = scaled / total;
  const __int128 twiceRemainder = (scaled % total) * 2;
  if (twiceRemainder > total || (twiceRemainder == total && (quotient & 1) != 0)) ++quotient;
  return static_cast<int32_t>(quotient);
}

int32_t PercentOf(int64_t total, int64_t done) {
  if (total <= 0 || done <= 0) return 0;
  if (done >= total) return 100;
  return RoundedPercent(total, done);
}

}  // namespace

int32_t Percentage(int32_t Total, int32_t Done) { return PercentOf(Total, Done); }

int32_t BigPercentage(int64_t Total, int64_t Done) { return PercentOf(Total, Done); }

std::string TailOf(const std::string& s, int32_t count) {
  if (count <= 0) return std::string();
  if (static_cast<size_t>(count) >= s.size()) return s;
  return s.substr(s.size() - static_cast<size_t>(count));
}

std::string HeadOf(const std::string& s, int32_t count) {
  if (count <= 0) return std::string();
  return s.substr(0, static_cast<size_t>(count));
}

void CreateDirTree(const std::string& path) { ForceDirectories(path); }

bool FileIsPresent(const std::string& name) { return FileSystem().FileExists(name); }

bool DirIsPresent(const std::string& path) { return FileSystem().DirectoryExists(path); }

void DriveCurrentDir(int drive, std::string& path) { path = FileSystem().DriveCurrentDir(drive); }

void ReadVolumeLabel(const std::string& root, std::string& label) {
  constexpr size_t kLabelBuffer = 14;  // 13 characters and the terminator
  std::string asked;
  if (!FileSystem().GetVolumeLabel(root, asked)) {
    label.clear();
    return;
  }
  // What the buffer would hold: up to its first zero, and no more than 13 characters.
  TextFromZeroTerminated(asked.c_str(), label);
  if (label.size() > kLabelBuffer - 1) label.resize(kLabelBuffer - 1);
}

void TextFromZeroTerminated(const char* p, std::string& s) {
  if (p == nullptr) {
    s.clear();
    return;
  }
  s.assign(p, std::strlen(p));
}

std::unique_ptr<char[]> ZeroTerminatedCopy(const std::string& s) {
  auto copy = std::make_unique<char[]>(s.size() + 1);
  std::memcpy(copy.get(), s.data(), s.size());
  copy[s.size()] = '\0';
  return copy;
}

const char* ZeroTerminated(const std::string& s) { return s.c_str(); }

}  // namespace corvina
