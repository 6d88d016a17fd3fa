#include "platform/ShellLink.h"

#include <memory>

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

namespace corvina {
namespace {

// Link flags.
constexpr uint32_t kHasLinkInfo = 0x00000002;
constexpr uint32_t kHasWorkingDir = 0x00000010;
constexpr uint32_t kHasArguments = 0x00000020;
constexpr uint32_t kIsUnicode = 0x00000080;

constexpr uint32_t kHeaderSize = 0x4C;
// The shell link class {00021401-0000-0000-C000-000000000046} in its stored byte order: the first
// three fields little-endian, the last eight bytes as written.
constexpr uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kShowNormal = 1;

// LinkInfo with the two Unicode offsets has a header of 0x24 bytes; the only location kind
// written is a volume with a local base path.
constexpr uint32_t kLinkInfoHeaderSize = 0x24;
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr uint32_t kVolumeIdHeaderSize = 0x10;

// Seconds between 1601-01-01 and 1970-01-01, the two epochs of FILETIME and host time.
constexpr int64_t kFileTimeEpochOffset = 11644473600;

void Put16(std::string& out, uint16_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>(value >> 8));
}

void Put32(std::string& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void Put64(std::string& out, uint64_t value) {
  Put32(out, static_cast<uint32_t>(value));
  Put32(out, static_cast<uint32_t>(value >> 32));
}

void Set32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutUtf16(std::string& out, const std::u16string& text) {
  for (char16_t unit : text) Put16(out, static_cast<uint16_t>(unit));
}

// One StringData entry: a count of UTF-16 units and the units, without a terminating zero.
bool PutCountedString(std::string& out, const std::string& ansi) {
  std::u16string text = AnsiToUtf16(ansi);
  if (text.size() > 0xFFFF) return false;
  Put16(out, static_cast<uint16_t>(text.size()));
  PutUtf16(out, text);
  return true;
}

bool IsDrivePath(const std::string& path) {
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') return false;
  char letter = UpCaseAscii(path[0]);
  return letter >= 'A' && letter <= 'Z';
}

std::string LinkInfoBlock(const ShellLinkData& link) {
  std::string block(kLinkInfoHeaderSize, '\0');
  // VolumeID: its size, the drive type, a serial number of 0 and the label right after the header.
  const size_t volume_at = block.size();
  Put32(block, 0);
  Put32(block, link.DriveType);
  Put32(block, 0);
  Put32(block, kVolumeIdHeaderSize);
  block += link.VolumeLabel;
  block.push_back('\0');
  Set32(block, volume_at, static_cast<uint32_t>(block.size() - volume_at));

  const size_t base_path_at = block.size();
  block += link.Target;
  block.push_back('\0');
  const size_t suffix_at = block.size();
  block.push_back('\0');  // empty common path suffix
  const size_t base_path_unicode_at = block.size();
  PutUtf16(block, AnsiToUtf16(link.Target));
  Put16(block, 0);
  const size_t suffix_unicode_at = block.size();
  Put16(block, 0);

  Set32(block, 0, static_cast<uint32_t>(block.size()));
  Set32(block, 4, kLinkInfoHeaderSize);
  Set32(block, 8, kVolumeIdAndLocalBasePath);
  Set32(block, 12, static_cast<uint32_t>(volume_at));
  Set32(block, 16, static_cast<uint32_t>(base_path_at));
  Set32(block, 20, 0);  // no network location
  Set32(block, 24, static_cast<uint32_t>(suffix_at));
  Set32(block, 28, static_cast<uint32_t>(base_path_unicode_at));
  Set32(block, 32, static_cast<uint32_t>(suffix_unicode_at));
  return block;
}

// The facts a shell records about the target when the path is set.
void FillTargetFacts(ShellLinkData& link) {
  IFileSystem& fs = FileSystem();
  int32_t attributes = fs.GetFileAttributes(link.Target);
  if (attributes != -1) link.TargetAttributes = attributes == 0 ? 0x80 /* FILE_ATTRIBUTE_NORMAL */ : attributes;
  std::string error;
  if (auto file = fs.Open(link.Target, OpenMode::Read, error)) {
    int64_t size = file->Size();
    if (size > 0) link.TargetSize = static_cast<uint32_t>(size);  // the low 32 bits, as the format keeps it
  }
  int64_t unix_time = 0;
  int32_t age = fs.FileAge(link.Target);
  if (age != -1 && DosDateTimeToUnixTime(age, unix_time) && unix_time > -kFileTimeEpochOffset)
    link.TargetWriteTime = (unix_time + kFileTimeEpochOffset) * 10000000;
  const std::string root = link.Target.substr(0, 3);
  link.DriveType = static_cast<uint32_t>(fs.GetDriveType(root)) + 1;  // NoRootDir is 1 on Windows
  std::string label;
  if (fs.GetVolumeLabel(root, label)) link.VolumeLabel = label;
}

}  // namespace

bool BuildShellLink(const ShellLinkData& link, std::string& bytes) {
  if (!IsDrivePath(link.Target)) return false;
  uint32_t flags = kHasLinkInfo | kIsUnicode;
  if (!link.WorkingDirectory.empty()) flags |= kHasWorkingDir;
  if (!link.Arguments.empty()) flags |= kHasArguments;

  std::string out;
  Put32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClsid), sizeof kLinkClsid);
  Put32(out, flags);
  Put32(out, static_cast<uint32_t>(link.TargetAttributes));
  const uint64_t time = static_cast<uint64_t>(link.TargetWriteTime);
  Put64(out, time);  // creation
  Put64(out, time);  // last access
  Put64(out, time);  // last write
  Put32(out, link.TargetSize);
  Put32(out, 0);  // icon index
  Put32(out, kShowNormal);
  Put16(out, 0);  // no hotkey
  Put16(out, 0);
  Put32(out, 0);
  Put32(out, 0);

  out += LinkInfoBlock(link);
  // String data in the format's fixed order: name, relative path, working folder, arguments, icon.
  if ((flags & kHasWorkingDir) != 0 && !PutCountedString(out, link.WorkingDirectory)) return false;
  if ((flags & kHasArguments) != 0 && !PutCountedString(out, link.Arguments)) return false;
  Put32(out, 0);  // terminal block: no extra data
  bytes = std::move(out);
  return true;
}

bool CreateShellLink(const std::string& target, const std::string& arguments, const std::string& directory,
                     const std::string& path) {
  // The link's name passes a 200-unit buffer with its terminating zero; code page 1251 has one
  // UTF-16 unit per byte, so the byte count is the unit count.
  if (path.empty() || path.size() > MaxShellLinkPathLength) return false;
  ShellLinkData link;
  link.Target = target;
  link.Arguments = arguments;
  link.WorkingDirectory = directory;
  if (!IsDrivePath(target)) return false;
  FillTargetFacts(link);
  std::string bytes;
  if (!BuildShellLink(link, bytes)) return false;

  IFileSystem& fs = FileSystem();
  std::string error;
  std::unique_ptr<FileHandle> file = fs.Open(path, OpenMode::Create, error);
  if (!file) return false;
  bool written = file->Write(bytes.data(), static_cast<int64_t>(bytes.size())) == static_cast<int64_t>(bytes.size());
  file.reset();  // closes the file
  if (!written) {
    fs.DeleteFile(path);  // no half-written link stays behind
    return false;
  }
  return true;
}

}  // namespace corvina
