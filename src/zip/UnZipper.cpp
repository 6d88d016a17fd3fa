// The unzip component: construction, the property setters with their dialogs, the index and
// comment accessors, and the default volume request.
#include "zip/UnZipper.h"

#include <cstring>

#include "platform/AppServices.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Strings.h"

namespace corvina {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A stored comment as the accessors hand it out: up to its first zero byte.
std::string UpToZero(const std::string& text) {
  const size_t zero = text.find('\0');
  return zero == std::string::npos ? text : text.substr(0, zero);
}

// Puts the stream back where it was when the reading around it is done, also on an exception.
class PositionKeeper {
public:
  explicit PositionKeeper(TStream& stream) : stream_(stream), position_(stream.Position()) {}
  ~PositionKeeper() {
    try {
      stream_.SetPosition(position_);
    } catch (...) {
      // The reading failed already; its exception is the one that matters.
    }
  }
  PositionKeeper(const PositionKeeper&) = delete;
  PositionKeeper& operator=(const PositionKeeper&) = delete;

private:
  TStream& stream_;
  int64_t position_;
};

}  // namespace

TUnZipper::TUnZipper(TComponent* owner) : TComponent(owner) {
  OnGetNextDisk = [this](TComponent* sender, int32_t next_disk, std::string& name) {
    DefaultGetNextDisk(sender, next_disk, name);
  };
}

// The members release themselves: the separate view before the directory (which frees the
// entries), the archive stream last.
TUnZipper::~TUnZipper() = default;

void TUnZipper::Loaded() {
  TComponent::Loaded();
  this_version_ = kThisVersion;
  if (!OnGetNextDisk) {
    OnGetNextDisk = [this](TComponent* sender, int32_t next_disk, std::string& name) {
      DefaultGetNextDisk(sender, next_disk, name);
    };
  }
}

void TUnZipper::SetThisVersion(int32_t) { this_version_ = kThisVersion; }

void TUnZipper::SetZipName(const std::string& value) {
  if (Designing()) {
    zip_name_ = value;
    return;
  }
  if (AnsiSameText(value, zip_name_)) return;
  std::string name = value;
  if (!value.empty() && value.back() == '?') {
    const std::string folder = ExtractFilePath(value);
    std::string chosen = !folder.empty() && FileSystem().DirectoryExists(folder) ? folder : std::string("C:\\");
    if (!AppServices().OpenFileDialog(SOpenZipTitle, SOpenZipFilter, chosen)) throw EUserCanceled(SCanceledZipName);
    name = chosen;
  }
  zip_name_ = name;
  FreeDirectory();
  ArchiveDate = 0.0;
  EndRecord.Clear();
  ArchiveStream.reset();
}

void TUnZipper::SetDestDir(const std::string& value) {
  if (value != "?") {
    dest_dir_ = value;
  } else {
    std::string folder = dest_dir_;
    if (!FileSystem().DirectoryExists(IncludeTrailingBackslash(folder))) folder = FileSystem().DriveCurrentDir(0);
    if (!AppServices().SelectDirectory(folder)) throw EUserCanceled(SCanceledDestDir);
    dest_dir_ = folder;
  }
  if (!dest_dir_.empty() && dest_dir_.back() == '\\') dest_dir_.pop_back();
}

void TUnZipper::SetRootDir(const std::string& value) {
  root_dir_ = value.empty() ? std::string() : IncludeTrailingBackslash(value);
}

TZipHeaderInfo& TUnZipper::EntryAt(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError(Format(SIndexOutOfRange, {static_cast<int64_t>(Index)}));
  return *SortedView()->Entry(Index);
}

std::string TUnZipper::Filename(int32_t Index) const { return EntryAt(Index).EntryName(); }

std::string TUnZipper::FullName(int32_t Index) const {
  const TZipHeaderInfo& entry = EntryAt(Index);
  return entry.EntryDir() + entry.EntryName();
}

std::string TUnZipper::ReadEntryComment(TZipHeaderInfo& entry) {
  TStream& stream = *ArchiveStream;
  PositionKeeper keep(stream);
  stream.SetPosition(entry.CentralOffset);
  uint8_t record[kCentralHeaderSize];
  stream.ReadBuffer(record, kCentralHeaderSize);
  // A central record that is not where the entry says belongs to another archive (or a damaged
  // one): its bytes are no comment of this entry.
  if (Get32(record) != kCentralHeaderSignature) throw EBadZipFile(SBadZipFile);
  const uint16_t name_length = Get16(record + 28);
  const uint16_t extra_length = Get16(record + 30);
  const uint16_t comment_length = Get16(record + 32);
  stream.Seek64(static_cast<int64_t>(name_length) + extra_length, soFromCurrent);
  std::string text(comment_length, '\0');
  if (comment_length > 0) stream.ReadBuffer(text.data(), comment_length);
  entry.SetComment(text);
  return UpToZero(text);
}

std::string TUnZipper::ReadArchiveComment() {
  TStream& stream = *ArchiveStream;
  PositionKeeper keep(stream);
  stream.SetPosition(EndRecord.CommentOffset);
  std::string text(EndRecord.CommentLength, '\0');
  if (!text.empty()) stream.ReadBuffer(text.data(), static_cast<int32_t>(text.size()));
  EndRecord.SetComment(text);
  EndRecord.CommentLength = static_cast<uint16_t>(text.size());
  return UpToZero(text);
}

void TUnZipper::FreeDirectory() {
  SeparateView.reset();
  Directory.reset();
}

void TUnZipper::DefaultGetNextDisk(TComponent*, int32_t NextDisk, std::string& FName) {
  if (GetVolumeMode() == vmDisks) {
    AppServices().SetCursor(Cursor::Default);
    const std::string text = "Please insert disk " + IntToStr(NextDisk) + " of the multi-disk set.";
    if (AppServices().MessageDlg(text, MsgDlgType::mtConfirmation, {MsgDlgBtn::mbOK, MsgDlgBtn::mbCancel}) ==
        mrCancel)
      FName.clear();
    AppServices().SetCursor(Cursor::HourGlass);
  } else {
    FName = ChangeFileExt(FName, "." + Format("%3.3d", {static_cast<int64_t>(NextDisk)}));
  }
}

std::string TUnZipper::FileComment(int32_t Index) {
  TZipHeaderInfo& entry = EntryAt(Index);
  if (entry.CommentLength == 0) return std::string();
  if (entry.Comment()) return UpToZero(*entry.Comment());
  OpenArchive();
  struct Closer {
    TUnZipper& z;
    ~Closer() { z.CloseArchive(); }
  } closer{*this};
  // Opening reloads a directory whose file has changed, which frees the old entries: the entry is
  // looked up again.
  TZipHeaderInfo& current = EntryAt(Index);
  if (current.CommentLength == 0) return std::string();
  if (current.Comment()) return UpToZero(*current.Comment());
  return ReadEntryComment(current);
}

std::string TUnZipper::ZipComment() {
  if (Directory) {
    if (EndRecord.CommentLength == 0) return std::string();
    if (EndRecord.Comment()) return UpToZero(*EndRecord.Comment());
  } else if (zip_name_.empty()) {
    return std::string();
  }
  // Nothing loaded yet: the end record, and with it the comment's length, is known only once the
  // archive has been opened, so an unloaded component opens it instead of reporting no comment.
  OpenArchive();
  struct Closer {
    TUnZipper& z;
    ~Closer() { z.CloseArchive(); }
  } closer{*this};
  // A reload may have brought another end record.
  if (EndRecord.CommentLength == 0) return std::string();
  if (EndRecord.Comment()) return UpToZero(*EndRecord.Comment());
  return ReadArchiveComment();
}

}  // namespace corvina
