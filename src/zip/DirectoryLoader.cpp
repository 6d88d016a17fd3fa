// Loading the archive directory into TUnZipper: finding the end record, telling single archives
// from volume sets, reading the central directory, and rebuilding the directory from the local
// headers when the central directory is not where the end record says (which is also how an
// archive with a program in front of it is read).
//
// Choices a reader would not guess:
// - A load without a scan reads exactly TotalEntries central records and fails as a whole when
//   one of them cannot be read (the file ends inside the directory, a record is damaged): a
//   directory with a silent hole would extract some entries and quietly drop the rest.
// - After a scan the central records only add detail to entries that were already found, so the
//   first record that cannot be read ends the merge and the scanned entries stay: a truncated
//   archive still yields what its local headers hold.
// - The scan never moves backwards: an entry whose sizes would send it back (a negative or
//   wrapped size) ends the scan, so a damaged header cannot make the scan loop.
// - The comment of an entry on a volume set is loaded from the record that was just read, whose
//   bytes end at the stream's position, so it is the entry's own comment even when the directory
//   is not in offset order or spans volumes.
#include "zip/UnZipper.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "inflate/BufferStream.h"
#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"
#include "zip/Containers.h"
#include "zip/ZipRecords.h"

namespace corvina {

namespace {

// Where the scan starts in an archive named like a program: past the program in front of it.
constexpr int32_t kSelfExtractorScanStart = 14000;
// The scan lets the message loop run once every this many skipped bytes.
constexpr int32_t kScanYieldInterval = 10240;

// Shows the hourglass for as long as it lives.
class HourGlass {
public:
  HourGlass() { AppServices().SetCursor(Cursor::HourGlass); }
  ~HourGlass() { AppServices().SetCursor(Cursor::Default); }
  HourGlass(const HourGlass&) = delete;
  HourGlass& operator=(const HourGlass&) = delete;
};

std::unique_ptr<TSortedZip> NewDirectoryList() {
  auto list = std::make_unique<TSortedZip>(TDuplicates::RejectDuplicates);
  list->SortMode = TZipSortMode::ByNone;
  list->OwnsObjects = true;
  return list;
}

// The modification time of the open archive file in days since 30 December 1899; 0 when the
// platform cannot tell it.
double ArchiveFileDate(TLFNFileStream& stream) {
  double days = 0.0;
  if (!DosDateTimeToDateTime(static_cast<uint32_t>(stream.Handle().GetDate()), days)) return 0.0;
  return days;
}

// Loads the comment of the central record that was just read: its last bytes, which end at the
// stream's position. The position is the same afterwards.
void LoadCommentJustRead(TStream& stream, TZipHeaderInfo& entry) {
  const int32_t length = entry.CommentLength;
  stream.Seek(-length, soFromCurrent);
  std::string text(static_cast<size_t>(length), '\0');
  const int32_t got = std::max<int32_t>(0, stream.Read(text.data(), length));
  if (got == length) entry.SetComment(text);
  else stream.Seek(length - got, soFromCurrent);
}

}  // namespace

void TUnZipper::OpenArchive() {
  if (ArchiveStream == nullptr) ArchiveStream = std::make_unique<TLFNFileStream>(ZipName(), fmShareDenyWrite);
  if (Directory == nullptr) {
    ReadDirectory();
    return;
  }
  if (ArchiveFileDate(*ArchiveStream) != ArchiveDate) ReadDirectory();
}

void TUnZipper::CloseArchive() {
  if (!KeepZipOpen) ArchiveStream.reset();
}

void TUnZipper::ClearArchive() {
  ArchiveStream.reset();
  FreeDirectory();
  EndRecord.Clear();
  ArchiveDate = 0.0;
  SetVolumeMode(vmSingle);
  SetZipName(std::string());
}

void TUnZipper::ReadDirectory() {
  ArchiveDate = ArchiveFileDate(*ArchiveStream);
  FreeDirectory();
  bool scanned = false;

  auto scan_or_fail = [this, &scanned]() {
    bool ok;
    {
      HourGlass hourglass;
      ok = ScanLocalHeaders();
    }
    if (!ok) {
      ClearArchive();
      throw EBadZipFile(SBadZipFile);
    }
    scanned = true;
  };

  if (EndRecord.FindInStream(*ArchiveStream)) {
    CurrentDisk = EndRecord.ThisDisk;
    SetVolumeMode(vmSingle);
    if (EndRecord.ThisDisk > 0) {
      const std::string root = UpperCase(ZipName().substr(0, 3));
      SetVolumeMode(root.size() >= 2 && root[1] == ':' && FileSystem().GetDriveType(root) == DriveType::Removable
                        ? vmDisks
                        : vmFiles);
    }
    if (EndRecord.TotalEntries > 0) {
      if (GetVolumeMode() != vmSingle && EndRecord.CentralDisk != CurrentDisk) OpenVolume(EndRecord.CentralDisk + 1);
      // An offset past what a stream position can hold finds no signature (and is not sought).
      uint8_t sig[4] = {};
      int32_t got = 0;
      if (EndRecord.DirectoryOffset <= static_cast<uint32_t>(INT32_MAX)) {
        ArchiveStream->Seek(static_cast<int32_t>(EndRecord.DirectoryOffset), soFromBeginning);
        got = ArchiveStream->Read(sig, 4);
      }
      const uint32_t value = static_cast<uint32_t>(sig[0]) | (static_cast<uint32_t>(sig[1]) << 8) |
                             (static_cast<uint32_t>(sig[2]) << 16) | (static_cast<uint32_t>(sig[3]) << 24);
      if (got == 4 && value == kCentralHeaderSignature) {
        ArchiveStream->Seek(-4, soFromCurrent);
      } else {
        scan_or_fail();
      }
    }
  } else {
    if (OnInCompleteZip) OnInCompleteZip(this, IncompleteZipMode);
    if (IncompleteZipMode == izAssumeMulti) {
      ClearArchive();
      throw EIncompleteZip(SIncompleteZip);
    }
    scan_or_fail();
  }

  if (!scanned) {
    Directory = NewDirectoryList();
  }

  const bool spanned = GetVolumeMode() != vmSingle && !scanned;
  TNextVolumeHandler next_volume;
  if (spanned) next_volume = [this](TZipHeaderInfo& entry, TStream*& stream) { NextVolume(entry, stream); };

  for (int32_t i = 0; i < EndRecord.TotalEntries; ++i) {
    auto entry = std::make_unique<TZipHeaderInfo>();
    if (!entry->ReadCentral(*ArchiveStream, next_volume)) {
      if (scanned) break;  // the scanned entries stand on their own
      ClearArchive();
      throw EBadZipFile(SBadZipFile);
    }
    if (scanned) {
      int32_t position = 0;
      if (Directory->Search(entry.get(), position)) {
        TZipHeaderInfo* found = Directory->Entry(position);
        const uint32_t own_offset = found->LocalOffset;
        found->Assign(entry.get());
        found->LocalOffset = own_offset;
      }
      continue;
    }
    TZipHeaderInfo* added = entry.get();
    Directory->Add(entry.get());
    entry.release();
    if (EndRecord.ThisDisk > 0 && added->HasComment()) LoadCommentJustRead(*ArchiveStream, *added);
  }

  if (EndRecord.ThisDisk > 0 && EndRecord.HasComment()) {
    if (EndRecord.ThisDisk != CurrentDisk) OpenVolume(EndRecord.ThisDisk + 1);
    ReadArchiveComment();
  }
  CurrentDisk = EndRecord.ThisDisk;
  SortDirectory(SortMode);
}

bool TUnZipper::ScanLocalHeaders() {
  FreeDirectory();
  TLFNFileStream& stream = *ArchiveStream;
  const int32_t start = ExtractFileExt(ZipName()) == ".EXE" ? kSelfExtractorScanStart : 0;
  stream.Seek(start, soFromBeginning);

  // Looks for the bytes P K 3 4 one byte at a time; the buffer makes that cheap.
  static constexpr uint8_t kSignature[4] = {0x50, 0x4B, 0x03, 0x04};
  int matched = 0;
  int32_t skipped = 0;
  while (matched < 4) {
    uint8_t byte;
    if (stream.Read(&byte, 1) != 1) return false;
    if (byte == kSignature[matched]) {
      ++matched;
    } else {
      matched = byte == kSignature[0] ? 1 : 0;
      if (byte != kSignature[0] && DoProcessMessages && ++skipped % kScanYieldInterval == 0) {
        AppServices().ProcessMessages();
      }
    }
  }
  stream.Seek(-4, soFromCurrent);

  Directory = NewDirectoryList();
  int32_t count = 0;
  for (;;) {
    auto entry = std::make_unique<TZipHeaderInfo>();
    if (!entry->ReadLocal(stream)) break;
    const int64_t after_name = stream.Position();
    const int64_t next = after_name + static_cast<int64_t>(entry->PackedSize) + entry->ExtraLength +
                         (entry->HasDataDescriptor() ? kDataDescriptorSize : 0);
    Directory->Add(entry.get());
    entry.release();
    ++count;
    if (next < after_name || next > INT32_MAX) break;  // a size that would send the scan back or off
    stream.Seek(static_cast<int32_t>(next), soFromBeginning);
  }
  EndRecord.ThisDisk = 0;
  CurrentDisk = 0;
  EndRecord.DirectoryOffset = static_cast<uint32_t>(stream.Position());
  EndRecord.TotalEntries = static_cast<uint16_t>(count);
  return true;
}

void TUnZipper::SortDirectory(TZipSortMode mode) {
  SeparateView.reset();
  if (mode != TZipSortMode::ByNone) {
    auto view = std::make_unique<TSortedZip>(TDuplicates::AcceptDuplicates);
    view->SortMode = mode;
    view->OwnsObjects = false;
    if (Directory != nullptr) {
      for (int32_t i = 0; i < Directory->Count(); ++i) view->Add(Directory->Entry(i));
    }
    SeparateView = std::move(view);
  }
  SortMode = mode;
}

}  // namespace corvina
