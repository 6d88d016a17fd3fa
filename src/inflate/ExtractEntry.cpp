// ExtractEntry: one entry of the loaded directory to one file. It positions the archive at the
// entry's data, works out the destination folder (RootDir, RecreateDirs, drives and leading
// backslashes kept below DestDir), applies the overwrite policy, checks the password of an
// encrypted entry, runs the decoder of the entry's method, dates the finished file and compares
// the CRC-32. Outcomes go out through the component's events and the run's ExtractedCount and
// RetryEntry; only failures of the archive or of creating the output file leave as exceptions.
//
// Choices a reader would not guess:
// - An entry whose stored path would lead out of the destination (a ".." folder, or a file name
//   that is "." or ".." or still holds a separator) or holds a zero byte (where the host would cut
//   the name short) is never written anywhere: it is reported as a file that cannot be opened
//   (srFileOpenError) and not counted, and no folder is made for it; the run goes on.
// - A finished file whose size on disk is not what the decoder wrote (a full disk, a failing
//   write) is not passed off as extracted: it is deleted and reported as srFileOpenError, because
//   its CRC was computed over bytes that never reached the file.
// - A file that fails its check is made writable before it is deleted, so an entry stored
//   read-only cannot leave its damaged output behind.
// - The output file is owned by a unique_ptr for its whole life, so it is flushed and closed on
//   every way out, an exception included; it is dated only when the decoder ran to its end.
#include <cstdint>
#include <memory>
#include <string>

#include "inflate/BufferStream.h"
#include "inflate/Crypt.h"
#include "inflate/Explode.h"
#include "inflate/ExtractionState.h"
#include "inflate/Inflate.h"
#include "inflate/Support.h"
#include "inflate/Unreduce.h"
#include "inflate/Unshrink.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

constexpr const char* kReplaceQuestion = "Replace existing file ";
constexpr const char* kFileExistsCaption = "File Exists Alert";
constexpr const char* kUnknownMethod = "Unknown Compression Method";
constexpr const char* kZipErrorCaption = "Zip Error";

bool IsDotName(const std::string& part) { return part == "." || part == ".."; }

// True when a folder path (backslash-separated, as stored) climbs above its start: one of its
// components is "..". A "/" counts as a separator too, since the host would read it as one. A
// zero byte counts as well: the host would end the name there and use only what comes before it.
bool ClimbsOut(const std::string& path) {
  if (path.find('\0') != std::string::npos) return true;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (part == "..") return true;
      part.clear();
    } else {
      part += c;
    }
  }
  return part == "..";
}

// True when a file name could name something other than a file inside its folder.
bool UnsafeFileName(const std::string& name) {
  return IsDotName(name) || name.find_first_of(std::string("\\/:\0", 4)) != std::string::npos;
}

// The file's size on disk, -1 when it cannot be opened.
int64_t SizeOnDisk(const std::string& path) {
  std::string error;
  std::unique_ptr<FileHandle> file = FileSystem().Open(path, OpenMode::Read, error);
  return file ? file->Size() : -1;
}

// Deletes a file that failed its check, read-only or not.
void DeleteFailedFile(const std::string& path) {
  IFileSystem& fs = FileSystem();
  const int32_t attributes = fs.GetFileAttributes(path);
  if (attributes >= 0 && (attributes & faReadOnly) != 0) fs.SetFileAttributes(path, attributes & ~faReadOnly);
  fs.DeleteFile(path);
}

}  // namespace

void TUnZipper::ExtractEntry(int32_t FileIndex) {
  // The buffers, counters and archive stream belong to a run of ExtractSelection.
  if (Run == nullptr) throw Exception("ExtractEntry called outside an extraction run");
  ExtractionState& run = *Run;
  run.RetryEntry = false;
  CurrentEntry = *SortedView()->Entry(FileIndex);
  const std::string stored_name = CurrentEntry.EntryDir() + CurrentEntry.EntryName();

  auto skip = [&](TSkipReason reason) {
    if (OnSkippingFile) OnSkippingFile(this, reason, stored_name, FileIndex);
    --run.ExtractedCount;
  };

  // Position the archive at the entry's data (directory entries have none).
  if (!CurrentEntry.EntryName().empty()) {
    if (EndRecord.ThisDisk != 0 && CurrentEntry.StartDisk != CurrentDisk)
      run.ArchiveStream = OpenVolume(CurrentEntry.StartDisk + 1);
    TStream& archive = *run.ArchiveStream;
    archive.Seek(static_cast<int32_t>(CurrentEntry.LocalOffset), soFromBeginning);
    if (archive.Read(LocalHeader, kLocalHeaderSize) != kLocalHeaderSize) throw EFatalUnzipError(SPrematureEnd);
    const LocalHeaderImage local = LocalHeaderImage::Parse(LocalHeader);
    archive.Seek(static_cast<int32_t>(local.NameLength) + local.ExtraLength, soFromCurrent);
  }

  // The destination folder.
  std::string dir;
  if (RecreateDirs && !CurrentEntry.EntryDir().empty()) {
    std::string path = CurrentEntry.EntryDir();
    if (!RootDir().empty() && AnsiSameText(HeadOf(path, static_cast<int32_t>(RootDir().size())), RootDir()))
      path.erase(0, RootDir().size());
    if (ClimbsOut(path) || UnsafeFileName(CurrentEntry.EntryName())) {
      skip(srFileOpenError);
      return;
    }
    const bool rooted = !path.empty() && path[0] == '\\';
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (!rooted && !drive) dir = DestDir() + "\\" + path;
    else if (DestDir().empty()) dir = path;
    else if (rooted) dir = DestDir() + path;
    else dir = DestDir() + path.substr(2);
    if (!DirIsPresent(dir)) CreateDirTree(dir);
  } else {
    if (UnsafeFileName(CurrentEntry.EntryName())) {
      skip(srFileOpenError);
      return;
    }
    dir = DestDir() + "\\";
  }

  // A directory entry has done its work once its folder is there.
  if (CurrentEntry.EntryName().empty()) {
    if (RecreateDirs && OnStartUnZip) {
      bool ignored = false;
      OnStartUnZip(this, FileIndex, dir, ignored);
    }
    return;
  }

  std::string name = dir + CurrentEntry.EntryName();

  if (CurrentEntry.IsEncrypted()) {
    for (;;) {
      const uint8_t expected =
          ExpectedCheckByte(CurrentEntry.BitFlags, CurrentEntry.DosDateTime, CurrentEntry.Crc);
      CipherKeys keys;
      const uint8_t check = DecryptHeader(keys, Password, *run.ArchiveStream);
      CurrentEntry.PackedSize -= kEncryptionHeaderSize;
      Key0 = keys.Key0;
      Key1 = keys.Key1;
      Key2 = keys.Key2;
      if (check == expected) break;
      if (OnBadPassword) {
        std::string new_password = Password;
        OnBadPassword(this, FileIndex, new_password);
        if (new_password != Password) {
          Password = new_password;
          run.ArchiveStream->Seek(-kEncryptionHeaderSize, soFromCurrent);
          CurrentEntry.PackedSize += kEncryptionHeaderSize;
          continue;
        }
      }
      skip(srBadPassword);
      return;
    }
  }

  // The overwrite policy.
  if (OverwriteMode != TUZOverwriteMode::Always && FileIsPresent(name)) {
    bool overwrite = false;
    if (OverwriteMode == TUZOverwriteMode::Prompt) {
      if (OnPromptForOverwrite) {
        OnPromptForOverwrite(this, overwrite, FileIndex, name);
      } else {
        overwrite = AppServices().MessageBox(kReplaceQuestion + CurrentEntry.EntryName() + "?", kFileExistsCaption,
                                             MB_YESNO) == IDYES;
      }
    }
    if (!overwrite) {
      skip(srNoOverwrite);
      return;
    }
  }

  bool complete = false;
  {
    auto out = std::make_unique<TLFNFileStream>(name, fmCreate);
    run.OutStream = out.get();
    struct OutputRelease {
      ExtractionState& run;
      ~OutputRelease() { run.OutStream = nullptr; }
    } release{run};

    run.ResetForEntry();
    bool skipped = false;
    if (OnStartUnZip) OnStartUnZip(this, FileIndex, name, skipped);
    if (skipped) return;  // the file stays, empty; the entry still counts

    try {
      switch (CurrentEntry.Method) {
        case 0:
          run.CopyStored();
          break;
        case 1:
          Unshrink(run);
          break;
        case 2:
        case 3:
        case 4:
        case 5:
          Unreduce(run);
          break;
        case 6:
          Explode(run);
          break;
        case 8:
          Inflate(run);
          break;
        default:
          AppServices().MessageBox(kUnknownMethod, kZipErrorCaption, MB_OK);
          break;
      }
    } catch (const EBiggerThanUncompressed&) {
      // The size check refused the block; what came before it is in the file.
    }
    complete = true;
    out.reset();  // writes the last buffered bytes and closes the file
  }

  bool written_in_full = true;
  if (complete) {
    std::string error;
    if (std::unique_ptr<FileHandle> file = FileSystem().Open(name, OpenMode::ReadWrite, error))
      file->SetDate(static_cast<int32_t>(CurrentEntry.DosDateTime));
    if (RetainAttributes) FileSystem().SetFileAttributes(name, static_cast<int32_t>(CurrentEntry.ExternalAttr));
    written_in_full = SizeOnDisk(name) == run.FileBytesDone;
  }

  RunningCrc = ~RunningCrc;
  if (!written_in_full) {
    DeleteFailedFile(name);
    skip(srFileOpenError);
    return;
  }
  if (RunningCrc == CurrentEntry.Crc) {
    if (OnEndUnZip) OnEndUnZip(this, FileIndex, name);
    return;
  }
  if (CurrentEntry.IsEncrypted()) {
    if (OnBadPassword) {
      std::string new_password = Password;
      OnBadPassword(this, FileIndex, new_password);
      if (new_password != Password) {
        Password = new_password;
        run.RetryEntry = true;
      }
    }
    if (!run.RetryEntry && OnSkippingFile) OnSkippingFile(this, srBadPassword, stored_name, FileIndex);
  } else if (OnBadCRC) {
    OnBadCRC(this, static_cast<int32_t>(RunningCrc), static_cast<int32_t>(CurrentEntry.Crc), FileIndex);
  }
  DeleteFailedFile(name);
  if (!run.RetryEntry) --run.ExtractedCount;
}

}  // namespace corvina
