// The fuzz targets of the reader, one entry function per target, shared by the libFuzzer programs
// (fuzz/fuzz_<target>.cpp) and the replay test of the recorded inputs (tests/reader/
// FuzzRegressions_test.cpp), so that a recorded input runs through exactly the code that found it.
// Each function takes the raw input, returns 0, and abort()s on anything that is a fault: an
// exception that is not the reader's own orderly refusal (corvina::Exception) simply passes, and
// the sanitizers report memory errors themselves.
//
// What each target makes of its bytes:
// - archive: the bytes are an archive file in a temporary Wine-style root made once per process
//   (drive C: only, so no other host folder has a Windows name). Every entry is extracted with the
//   folders recreated and existing files replaced, once without a password and once with
//   kFuzzPassword. A guarding file system aborts on any change outside the destination folder, and
//   after each run a walk of the root aborts if anything but the archive and the destination tree
//   exists there. The destination is emptied before each run.
// - inflate, unshrink: the bytes are one entry's compressed data; the unpacked size is
//   kDecoderOutputLimit, which bounds the output.
// - explode: byte 0 gives the variant (its bits 1 and 2 are the entry's BitFlags bits), bytes 1-3
//   the unpacked size (little-endian, reduced modulo kDecoderOutputLimit + 1), the rest is the data.
// - unreduce: the same, with byte 0 modulo 4 choosing the factor (methods 2 to 5).
// - wildcard: the bytes up to the first zero byte are the pattern, the rest the text.
//
// Checks beyond "no crash": a decoder's result code is one it documents; the output never exceeds
// the unpacked size; the CRC register equals a CRC computed here over the bytes written; explode
// and unreduce produce exactly the unpacked size when they report success; explode, unreduce and
// unshrink give the same output whatever the work area held before (they promise that a reference
// before the first byte reads zeros; inflate alone reads the window as the previous entry left it).
// The wildcard matcher returns an outcome from 1 to 6, IsMatch agrees with it, and a pattern with
// no wildcard character matches exactly the texts equal to it under ASCII case folding.
#pragma once

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "inflate/Explode.h"
#include "inflate/ExtractionState.h"
#include "inflate/Inflate.h"
#include "inflate/Unreduce.h"
#include "inflate/Unshrink.h"
#include "platform/AppServices.h"
#include "platform/Environment.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"
#include "zip/UnZipper.h"
#include "zip/Wildcard.h"

namespace corvina::fuzz {

inline constexpr int32_t kDecoderOutputLimit = 1 << 20;
inline constexpr const char* kFuzzPassword = "corvina";

// Prints what went wrong and ends the process the way libFuzzer and the replay test both see as a
// crash.
[[noreturn]] inline void Fault(const std::string& what) {
  std::fprintf(stderr, "fuzz target fault: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

// The ZIP CRC-32 through a table made here bit by bit: an oracle that shares nothing with the
// reader's own tables or its eight-bytes-at-a-time path.
inline uint32_t PlainCrc32(const std::vector<uint8_t>& data) {
  static const std::vector<uint32_t> table = [] {
    std::vector<uint32_t> t(256);
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t c : data) crc = table[(crc ^ c) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

// --- Decoders ---------------------------------------------------------------------------------

struct DecoderRun {
  uint16_t result = 0;
  bool refused = false;  // the run ended with the reader's own exception
  std::vector<uint8_t> output;
};

using Decoder = uint16_t (*)(ExtractionState&);

// One entry's compressed bytes through a fresh extraction state over memory streams, with the work
// area filled with slide_fill first.
inline DecoderRun RunDecoder(Decoder decoder, const uint8_t* data, size_t size, int32_t unpacked_size,
                             uint16_t flags, uint16_t method, uint8_t slide_fill) {
  TUnZipper zipper(nullptr);
  zipper.DoProcessMessages = false;
  ExtractionState state(zipper);
  TMemoryStream archive(std::vector<uint8_t>(data, data + size));
  TMemoryStream output;
  zipper.CurrentEntry.PackedSize = static_cast<int32_t>(size);
  zipper.CurrentEntry.UnpackedSize = unpacked_size;
  zipper.CurrentEntry.BitFlags = flags;
  zipper.CurrentEntry.Method = method;
  state.ArchiveStream = &archive;
  state.OutStream = &output;
  std::memset(state.Slide, slide_fill, ExtractionState::kSlideSize);
  state.ResetForEntry();
  DecoderRun run;
  try {
    run.result = decoder(state);
  } catch (const Exception&) {
    run.refused = true;
  }
  run.output = output.Data();
  if (run.output.size() > static_cast<size_t>(unpacked_size))
    Fault("output of " + std::to_string(run.output.size()) + " bytes for an unpacked size of " +
          std::to_string(unpacked_size));
  if (~zipper.RunningCrc != PlainCrc32(run.output)) Fault("CRC register differs from the CRC of the output");
  return run;
}

struct DecoderCheck {
  uint16_t max_result;         // the largest result code the decoder documents
  bool exact_size_on_success;  // result 0 means exactly the unpacked size was produced
  bool independent_of_slide;   // the output does not depend on what the work area held
};

inline void CheckDecoder(Decoder decoder, const DecoderCheck& check, const uint8_t* data, size_t size,
                         int32_t unpacked_size, uint16_t flags, uint16_t method) {
  const DecoderRun first = RunDecoder(decoder, data, size, unpacked_size, flags, method, 0xEE);
  if (first.result > check.max_result) Fault("undocumented result code " + std::to_string(first.result));
  if (check.exact_size_on_success && !first.refused && first.result == 0 &&
      first.output.size() != static_cast<size_t>(unpacked_size))
    Fault("success after " + std::to_string(first.output.size()) + " of " + std::to_string(unpacked_size) +
          " bytes");
  if (check.independent_of_slide) {
    const DecoderRun second = RunDecoder(decoder, data, size, unpacked_size, flags, method, 0x11);
    if (second.result != first.result || second.refused != first.refused || second.output != first.output)
      Fault("the output depends on what the work area held before the entry");
  }
}

// Bytes 1-3 of a decoder input: the unpacked size.
inline int32_t SizeFromHeader(const uint8_t* data) {
  const uint32_t raw = data[1] | static_cast<uint32_t>(data[2]) << 8 | static_cast<uint32_t>(data[3]) << 16;
  return static_cast<int32_t>(raw % (static_cast<uint32_t>(kDecoderOutputLimit) + 1));
}

inline int FuzzInflate(const uint8_t* data, size_t size) {
  CheckDecoder(Inflate, {3, false, false}, data, size, kDecoderOutputLimit, 0, 8);
  return 0;
}

inline int FuzzUnshrink(const uint8_t* data, size_t size) {
  CheckDecoder(Unshrink, {1, false, true}, data, size, kDecoderOutputLimit, 0, 1);
  return 0;
}

inline int FuzzExplode(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint16_t flags = data[0] & 0x06;
  CheckDecoder(Explode, {kExplodeBadTree, true, true}, data + 4, size - 4, SizeFromHeader(data), flags, 6);
  return 0;
}

inline int FuzzUnreduce(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint16_t method = static_cast<uint16_t>(2 + data[0] % 4);
  CheckDecoder(Unreduce, {kUnreduceBadMethod, true, true}, data + 4, size - 4, SizeFromHeader(data), 0, method);
  return 0;
}

// --- Wildcards --------------------------------------------------------------------------------

inline std::string FoldAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

inline int FuzzWildcard(const uint8_t* data, size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  const void* zero = std::memchr(data, 0, size);
  const size_t split = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : size;
  const std::string pattern(begin, split);
  const std::string text = split < size ? std::string(begin + split + 1, size - split - 1) : std::string();
  const int outcome = MatchPattern(pattern, text);
  if (outcome < moMatch || outcome > moMalformed) Fault("MatchPattern returned " + std::to_string(outcome));
  if (IsMatch(pattern, text) != (outcome == moMatch)) Fault("IsMatch disagrees with MatchPattern");
  if (pattern.find_first_of("*?<") == std::string::npos &&
      (outcome == moMatch) != (FoldAscii(pattern) == FoldAscii(text)))
    Fault("a pattern without wildcards matched a different text, or missed an equal one");
  return 0;
}

// --- Archives ---------------------------------------------------------------------------------

// Answers every question of the reader at once with the answer that asks for nothing more.
class SilentServices : public IAppServices {
public:
  int32_t MessageDlg(const std::string&, MsgDlgType, const std::vector<MsgDlgBtn>&) override { return mrCancel; }
  int32_t MessageBox(const std::string&, const std::string&, uint32_t style) override {
    return (style & 0xF) == MB_YESNO || (style & 0xF) == MB_YESNOCANCEL ? IDNO : IDOK;
  }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor) override {}
  Cursor GetCursor() override { return Cursor::Default; }
  void ProcessMessages() override {}
  void Terminate(int) override {}
};

// True when host path lies in folder or is folder itself, after "." and ".." are resolved by name.
inline bool HostPathWithin(const std::string& path, const std::string& folder) {
  const std::string p = std::filesystem::path(path).lexically_normal().string();
  return p == folder || (p.size() > folder.size() && p.compare(0, folder.size(), folder) == 0 &&
                         p[folder.size()] == '/');
}

// Passes every call to the real file system and aborts on a change outside the destination.
class GuardedFileSystem : public IFileSystem {
public:
  GuardedFileSystem(std::shared_ptr<IFileSystem> inner, std::string dest_host)
      : inner_(std::move(inner)), dest_host_(std::move(dest_host)) {}

  std::unique_ptr<FileHandle> Open(const std::string& path, OpenMode mode, std::string& error) override {
    if (mode != OpenMode::Read) Guard("open for writing", path);
    return inner_->Open(path, mode, error);
  }
  bool FileExists(const std::string& path) override { return inner_->FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return inner_->DirectoryExists(path); }
  bool CreateDirectory(const std::string& path) override {
    Guard("create folder", path);
    return inner_->CreateDirectory(path);
  }
  bool RemoveDirectory(const std::string& path) override {
    Guard("remove folder", path);
    return inner_->RemoveDirectory(path);
  }
  bool DeleteFile(const std::string& path) override {
    Guard("delete", path);
    return inner_->DeleteFile(path);
  }
  bool MoveFile(const std::string& from, const std::string& to) override {
    Guard("move from", from);
    Guard("move to", to);
    return inner_->MoveFile(from, to);
  }
  bool CopyFile(const std::string& from, const std::string& to, bool fail_if_exists) override {
    Guard("copy to", to);
    return inner_->CopyFile(from, to, fail_if_exists);
  }
  int32_t GetFileAttributes(const std::string& path) override { return inner_->GetFileAttributes(path); }
  bool SetFileAttributes(const std::string& path, int32_t attributes) override {
    Guard("set attributes", path);
    return inner_->SetFileAttributes(path, attributes);
  }
  int32_t FileAge(const std::string& path) override { return inner_->FileAge(path); }
  bool SetFileDate(const std::string& path, int32_t dos_date_time) override {
    Guard("set date", path);
    return inner_->SetFileDate(path, dos_date_time);
  }
  std::vector<DirEntry> ListDirectory(const std::string& path) override { return inner_->ListDirectory(path); }
  DriveType GetDriveType(const std::string& root) override { return inner_->GetDriveType(root); }
  bool GetVolumeLabel(const std::string& root, std::string& label) override {
    return inner_->GetVolumeLabel(root, label);
  }
  std::string DriveCurrentDir(int drive) override { return inner_->DriveCurrentDir(drive); }
  std::string GetCurrentDir() override { return inner_->GetCurrentDir(); }
  bool SetCurrentDir(const std::string& path) override { return inner_->SetCurrentDir(path); }
  std::string HostPath(const std::string& windows_path) override { return inner_->HostPath(windows_path); }
  std::string WindowsPath(const std::string& host_path) override { return inner_->WindowsPath(host_path); }

private:
  void Guard(const char* what, const std::string& windows_path) {
    const std::string host = inner_->HostPath(windows_path);
    // A name with no host folder cannot be written either; only one inside the destination may be.
    if (host.empty()) return;
    if (!HostPathWithin(host, dest_host_)) Fault(std::string(what) + " outside the destination: " + windows_path);
  }

  std::shared_ptr<IFileSystem> inner_;
  std::string dest_host_;
};

inline void RemoveHostTree(const std::string& path) {
  // Folders first made writable and searchable, so that a read-only folder cannot keep its files.
  nftw(
      path.c_str(),
      [](const char* name, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D || type == FTW_DNR) chmod(name, (st->st_mode & 07777) | S_IRWXU);
        return 0;
      },
      16, FTW_PHYS);
  nftw(
      path.c_str(),
      [](const char* name, const struct stat*, int type, struct FTW*) {
        if (type == FTW_DP) rmdir(name);
        else unlink(name);
        return 0;
      },
      16, FTW_DEPTH | FTW_PHYS);
}

// The per-process Wine-style root: <root>/dosdevices/c: -> ../drive_c, the archive at
// drive_c/archive.zip, the destination drive_c/dest. Removed when the process ends.
class ArchiveSandbox {
public:
  static ArchiveSandbox& Get() {
    static ArchiveSandbox sandbox;
    return sandbox;
  }

  const std::string& Root() const { return root_; }
  const std::string& ArchiveHost() const { return archive_; }
  const std::string& DestHost() const { return dest_; }

  // Aborts when the root holds anything but its own layout, the archive and the destination tree,
  // or when the destination holds anything but files and folders.
  void CheckNothingEscaped() const {
    for (const auto& item : std::filesystem::recursive_directory_iterator(root_)) {
      const std::string p = item.path().string();
      if (HostPathWithin(p, dest_)) {
        const auto type = item.symlink_status().type();
        if (type != std::filesystem::file_type::regular && type != std::filesystem::file_type::directory)
          Fault("something other than a file or folder in the destination: " + p);
        continue;
      }
      if (p == root_ + "/drive_c" || p == root_ + "/dosdevices" || p == root_ + "/dosdevices/c:" || p == archive_)
        continue;
      Fault("written outside the destination: " + p);
    }
  }

  void CleanDestination() const {
    RemoveHostTree(dest_);
    if (mkdir(dest_.c_str(), 0777) != 0) Fault("cannot recreate the destination " + dest_);
  }

private:
  ArchiveSandbox() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/corvina-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) Fault("mkdtemp failed");
    root_ = std::filesystem::path(pattern).lexically_normal().string();
    archive_ = root_ + "/drive_c/archive.zip";
    dest_ = root_ + "/drive_c/dest";
    if (mkdir((root_ + "/drive_c").c_str(), 0777) != 0 || mkdir((root_ + "/dosdevices").c_str(), 0777) != 0 ||
        symlink("../drive_c", (root_ + "/dosdevices/c:").c_str()) != 0 || mkdir(dest_.c_str(), 0777) != 0)
      Fault("cannot lay out " + root_);
    setenv("WINEPREFIX", root_.c_str(), 1);
    ResetEnvironment();
    SetFileSystem(std::make_shared<GuardedFileSystem>(RealFileSystem(), dest_));
    SetAppServices(std::make_shared<SilentServices>());
  }
  ~ArchiveSandbox() { RemoveHostTree(root_); }

  std::string root_;
  std::string archive_;
  std::string dest_;
};

inline void ExtractAll(ArchiveSandbox& sandbox, const std::string& password) {
  sandbox.CleanDestination();
  {
    TUnZipper zipper(nullptr);
    zipper.DoProcessMessages = false;
    try {
      zipper.SetZipName(FileSystem().WindowsPath(sandbox.ArchiveHost()));
      zipper.SetDestDir(FileSystem().WindowsPath(sandbox.DestHost()));
      zipper.Password = password;
      zipper.RecreateDirs = true;
      zipper.OverwriteMode = TUZOverwriteMode::Always;
      zipper.DoAll = true;
      zipper.UnZip();
    } catch (const Exception&) {
      // An orderly refusal of a damaged archive.
    }
  }
  sandbox.CheckNothingEscaped();
}

inline int FuzzArchive(const uint8_t* data, size_t size) {
  ArchiveSandbox& sandbox = ArchiveSandbox::Get();
  FILE* file = std::fopen(sandbox.ArchiveHost().c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
    Fault("cannot write the archive");
  ExtractAll(sandbox, "");
  ExtractAll(sandbox, kFuzzPassword);
  return 0;
}

// --- The targets by name ----------------------------------------------------------------------

struct Target {
  const char* name;
  int (*run)(const uint8_t* data, size_t size);
};

inline constexpr Target kTargets[] = {
    {"fuzz_archive", FuzzArchive},   {"fuzz_inflate", FuzzInflate},   {"fuzz_explode", FuzzExplode},
    {"fuzz_unshrink", FuzzUnshrink}, {"fuzz_unreduce", FuzzUnreduce}, {"fuzz_wildcard", FuzzWildcard},
};

}  // namespace corvina::fuzz
