// The ZIP records: parsing of the byte images, the record readers, the end-record search and the
// assignment between records.
#include "zip/ZipRecords.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/Strings.h"

namespace corvina {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads count bytes (count > 0) into a string; false on a short read.
bool ReadName(TStream& stream, uint16_t count, std::string& name) {
  name.assign(count, '\0');
  return stream.Read(name.data(), count) == count;
}

}  // namespace

// ---- TPersistent ----

void TPersistent::AssignTo(TPersistent& dest) const { dest.AssignError(this); }

void TPersistent::DefineProperties(TFiler&) {}

void TPersistent::Assign(const TPersistent* source) {
  if (source == nullptr) AssignError(nullptr);
  source->AssignTo(*this);
}

void TPersistent::AssignError(const TPersistent* source) const {
  std::string source_name = source != nullptr ? source->ClassName() : "nil";
  throw EConvertError(Format(SAssignError, {source_name, std::string(ClassName())}));
}

// ---- record images ----

CentralHeaderImage CentralHeaderImage::Parse(const uint8_t* b) {
  CentralHeaderImage r;
  r.Signature = Get32(b + 0);
  r.MadeBy = Get16(b + 4);
  r.NeededVersion = Get16(b + 6);
  r.BitFlags = Get16(b + 8);
  r.Method = Get16(b + 10);
  r.DosDateTime = Get32(b + 12);
  r.Crc = Get32(b + 16);
  r.PackedSize = static_cast<int32_t>(Get32(b + 20));
  r.UnpackedSize = static_cast<int32_t>(Get32(b + 24));
  r.NameLength = Get16(b + 28);
  r.ExtraLength = Get16(b + 30);
  r.CommentLength = Get16(b + 32);
  r.StartDisk = Get16(b + 34);
  r.InternalAttr = Get16(b + 36);
  r.ExternalAttr = Get32(b + 38);
  r.LocalOffset = Get32(b + 42);
  return r;
}

LocalHeaderImage LocalHeaderImage::Parse(const uint8_t* b) {
  LocalHeaderImage r;
  r.Signature = Get32(b + 0);
  r.NeededVersion = Get16(b + 4);
  r.BitFlags = Get16(b + 6);
  r.Method = Get16(b + 8);
  r.DosDateTime = Get32(b + 10);
  r.Crc = Get32(b + 14);
  r.PackedSize = static_cast<int32_t>(Get32(b + 18));
  r.UnpackedSize = static_cast<int32_t>(Get32(b + 22));
  r.NameLength = Get16(b + 26);
  r.ExtraLength = Get16(b + 28);
  return r;
}

// ---- names and dates ----

void ConvertEntryName(std::string& name) {
  std::replace(name.begin(), name.end(), '/', '\\');
  name = OemToChar(name);
}

uint32_t RepairDosDateTime(uint32_t value) {
  const uint32_t time = value & 0xFFFFu;
  const uint32_t date = value >> 16;
  uint32_t hours = time >> 11;
  uint32_t minutes = (time >> 5) & 0x3F;
  uint32_t seconds = (time & 0x1F) * 2;
  uint32_t year = 1980 + (date >> 9);
  uint32_t month = (date >> 5) & 0x0F;
  uint32_t day = date & 0x1F;

  bool clamped = false;
  auto clamp_above = [&clamped](uint32_t& field, uint32_t limit) {
    if (field > limit) {
      field = limit;
      clamped = true;
    }
  };
  clamp_above(hours, 23);
  clamp_above(minutes, 59);
  clamp_above(seconds, 59);
  clamp_above(year, 2099);
  clamp_above(month, 12);
  if (month == 0) {
    month = 1;
    clamped = true;
  }
  if (day == 0) {
    day = 1;
    clamped = true;
  }
  if (!clamped) return value;

  const uint32_t new_date = day + month * 32 + (year - 1980) * 512;
  const uint32_t new_time = seconds / 2 + minutes * 32 + hours * 2048;
  return (new_date << 16) | new_time;
}

// ---- TZipHeaderInfo ----

void TZipHeaderInfo::Clear() {
  MadeBy = 20;
  NeededVersion = 20;
  BitFlags = 0;
  Method = 8;
  DosDateTime = 0;
  Crc = 0xFFFFFFFFu;
  PackedSize = 0;
  UnpackedSize = 0;
  NameLength = 0;
  ExtraLength = 0;
  CommentLength = 0;
  StartDisk = 0;
  InternalAttr = 1;
  ExternalAttr = 0x20;  // the archive attribute
  LocalOffset = 0;
  CentralOffset = 0;
  entry_name_.clear();
  entry_dir_.clear();
  comment_.reset();
  Marked = false;
}

void TZipHeaderInfo::CopyFrom(const TZipHeaderInfo& s) {
  MadeBy = s.MadeBy;
  NeededVersion = s.NeededVersion;
  BitFlags = s.BitFlags;
  Method = s.Method;
  DosDateTime = s.DosDateTime;
  Crc = s.Crc;
  PackedSize = s.PackedSize;
  UnpackedSize = s.UnpackedSize;
  NameLength = s.NameLength;
  ExtraLength = s.ExtraLength;
  CommentLength = s.CommentLength;
  StartDisk = s.StartDisk;
  InternalAttr = s.InternalAttr;
  ExternalAttr = s.ExternalAttr;
  LocalOffset = s.LocalOffset;
  CentralOffset = s.CentralOffset;
  Marked = s.Marked;
  SetEntryName(s.entry_name_);
  SetEntryDir(s.entry_dir_);
  // The comment travels with its record: a copy when the source has one loaded, else none.
  if (s.CommentLength > 0 && s.comment_.has_value()) comment_ = s.comment_;
  else comment_.reset();
}

void TZipHeaderInfo::Assign(const TPersistent* source) {
  if (const auto* info = dynamic_cast<const TZipHeaderInfo*>(source)) {
    if (info != this) CopyFrom(*info);
    return;
  }
  TPersistent::Assign(source);
}

void TZipHeaderInfo::AssignTo(TPersistent& dest) const {
  if (auto* info = dynamic_cast<TZipHeaderInfo*>(&dest)) {
    if (info != this) info->CopyFrom(*this);
    return;
  }
  TPersistent::AssignTo(dest);
}

void TZipHeaderInfo::SetEntryName(const std::string& name) {
  if (name == entry_name_) return;
  entry_name_ = name;
  NameLength = static_cast<uint16_t>(entry_dir_.size() + entry_name_.size());
}

void TZipHeaderInfo::SetEntryDir(const std::string& dir) {
  std::string value = dir;
  if (!value.empty() && value.back() != '\\') value += '\\';
  if (value == entry_dir_) return;
  entry_dir_ = std::move(value);
  NameLength = static_cast<uint16_t>(entry_dir_.size() + entry_name_.size());
}

void TZipHeaderInfo::SetFullName(const std::string& name) {
  SetEntryName(ExtractFileName(name));
  SetEntryDir(ExtractFilePath(name));
}

void TZipHeaderInfo::SetComment(const std::optional<std::string>& comment) {
  comment_ = comment;
  CommentLength = comment_.has_value() ? static_cast<uint16_t>(comment_->size()) : 0;
  if (CommentLength == 0) comment_.reset();
}

void TZipHeaderInfo::FillFromCentral(const CentralHeaderImage& image, const std::string& name) {
  MadeBy = image.MadeBy;
  NeededVersion = image.NeededVersion;
  BitFlags = image.BitFlags;
  Method = image.Method;
  DosDateTime = RepairDosDateTime(image.DosDateTime);
  Crc = image.Crc;
  PackedSize = image.PackedSize;
  UnpackedSize = image.UnpackedSize;
  NameLength = image.NameLength;
  ExtraLength = image.ExtraLength;
  CommentLength = image.CommentLength;
  StartDisk = image.StartDisk;
  InternalAttr = image.InternalAttr;
  ExternalAttr = image.ExternalAttr;
  LocalOffset = image.LocalOffset;
  CentralOffset = 0;
  SetFullName(name);
  comment_.reset();
  Marked = false;
}

void TZipHeaderInfo::FillFromLocal(const LocalHeaderImage& image, const std::string& name) {
  MadeBy = 0;
  NeededVersion = image.NeededVersion;
  BitFlags = image.BitFlags;
  Method = image.Method;
  DosDateTime = RepairDosDateTime(image.DosDateTime);
  Crc = image.Crc;
  PackedSize = image.PackedSize;
  UnpackedSize = image.UnpackedSize;
  NameLength = image.NameLength;
  ExtraLength = image.ExtraLength;
  CommentLength = 0;
  StartDisk = 0;
  InternalAttr = 0;
  ExternalAttr = 0;
  LocalOffset = 0;
  CentralOffset = 0;
  SetFullName(name);
  comment_.reset();
  Marked = false;
}

bool TZipHeaderInfo::ReadCentral(TStream& first_stream, const TNextVolumeHandler& next_volume) {
  TStream* stream = &first_stream;
  const int32_t start = static_cast<int32_t>(stream->Position());
  bool switched = false;
  // Puts the stream back at the record's start, unless it is no longer the stream the record
  // started on (the handler may have destroyed that one).
  auto fail = [&]() {
    if (!switched) stream->Seek(start, soFromBeginning);
    return false;
  };

  uint8_t image[kCentralHeaderSize];
  int32_t n = std::max<int32_t>(0, stream->Read(image, kCentralHeaderSize));
  if (next_volume && n < kCentralHeaderSize) {
    uint8_t signature[4];
    for (int i = 0; i < 4; ++i) signature[i] = static_cast<uint8_t>(kCentralHeaderSignature >> (8 * i));
    const bool begins_record =
        n == 0 || std::memcmp(image, signature, static_cast<size_t>(std::min<int32_t>(n, 4))) == 0;
    if (begins_record) {
      next_volume(*this, stream);
      switched = true;
      if (stream == nullptr) return false;
      const int32_t more = stream->Read(image + n, kCentralHeaderSize - n);
      if (more > 0) n += more;
    }
  }
  if (n != kCentralHeaderSize) return fail();
  const CentralHeaderImage record = CentralHeaderImage::Parse(image);
  if (record.Signature != kCentralHeaderSignature) return fail();

  std::string name;
  if (record.NameLength > 0) {
    if (!ReadName(*stream, record.NameLength, name)) return fail();
    ConvertEntryName(name);
  }
  stream->Seek(static_cast<int32_t>(record.ExtraLength) + record.CommentLength, soFromCurrent);
  FillFromCentral(record, name);
  CentralOffset = static_cast<uint32_t>(start);
  return true;
}

bool TZipHeaderInfo::ReadLocal(TStream& stream) {
  const int32_t start = static_cast<int32_t>(stream.Position());
  uint8_t image[kLocalHeaderSize];
  const int32_t n = stream.Read(image, kLocalHeaderSize);
  if (n == kLocalHeaderSize) {
    const LocalHeaderImage header = LocalHeaderImage::Parse(image);
    if (header.Signature == kLocalHeaderSignature) {
      std::string name;
      bool complete = true;
      if (header.NameLength > 0) {
        complete = ReadName(stream, header.NameLength, name);
        if (complete) ConvertEntryName(name);
      }
      if (complete) {
        FillFromLocal(header, name);
        LocalOffset = static_cast<uint32_t>(start);
        return true;
      }
    }
  }
  stream.Seek(start, soFromBeginning);
  return false;
}

// ---- TEndCentral ----

void TEndCentral::Clear() {
  Signature = kEndCentralSignature;
  ThisDisk = 0;
  CentralDisk = 0;
  EntriesThisDisk = 0;
  TotalEntries = 0;
  CentralSize = 0;
  DirectoryOffset = 0;
  CommentLength = 0;
  comment_.reset();
  CommentOffset = 0;
}

void TEndCentral::CopyFrom(const TEndCentral& s) {
  Signature = s.Signature;
  ThisDisk = s.ThisDisk;
  CentralDisk = s.CentralDisk;
  EntriesThisDisk = s.EntriesThisDisk;
  TotalEntries = s.TotalEntries;
  CentralSize = s.CentralSize;
  DirectoryOffset = s.DirectoryOffset;
  CommentLength = s.CommentLength;
  CommentOffset = s.CommentOffset;
  comment_ = s.comment_;
}

void TEndCentral::Assign(const TPersistent* source) {
  if (const auto* end = dynamic_cast<const TEndCentral*>(source)) {
    if (end != this) CopyFrom(*end);
    return;
  }
  TPersistent::Assign(source);
}

void TEndCentral::AssignTo(TPersistent& dest) const {
  if (auto* end = dynamic_cast<TEndCentral*>(&dest)) {
    if (end != this) end->CopyFrom(*this);
    return;
  }
  TPersistent::AssignTo(dest);
}

bool TEndCentral::FindInStream(TStream& stream) {
  const int64_t size = stream.Size();
  if (size < kEndCentralSize) return false;
  const int32_t window = static_cast<int32_t>(std::min<int64_t>(size, kEndCentralSearchWindow));
  // Counted from the beginning so that every stream class agrees on the place.
  stream.Seek64(size - window, soFromBeginning);
  std::vector<uint8_t> buffer(static_cast<size_t>(window));
  if (stream.Read(buffer.data(), window) != window) return false;

  for (int32_t i = window - kEndCentralSize; i >= 0; --i) {
    const uint8_t* p = buffer.data() + i;
    if (p[0] != 0x50 || Get32(p) != kEndCentralSignature) continue;
    ThisDisk = Get16(p + 4);
    CentralDisk = Get16(p + 6);
    EntriesThisDisk = Get16(p + 8);
    TotalEntries = Get16(p + 10);
    CentralSize = Get32(p + 12);
    DirectoryOffset = Get32(p + 16);
    CommentLength = Get16(p + 20);
    CommentOffset = static_cast<uint32_t>(size - CommentLength);
    return true;
  }
  return false;
}

}  // namespace corvina
