// The three ZIP records the reader interprets (local file header, central directory file header,
// end of central directory record) and the two in-memory classes that hold them: TZipHeaderInfo,
// one archive entry, and TEndCentral, the end record of the loaded archive. Records are parsed
// from little-endian byte images, never by overlaying a struct, so the layout does not depend on
// the compiler's packing. Stored names are OEM (866) text with either slash; in memory they are
// ANSI (1251) text with backslashes, split into EntryDir and EntryName.
//
// Choices a reader would not guess:
// - Record readers return false and put the stream back at the record's start; they never raise.
// - ReadCentral's next-volume handler receives the stream variable and replaces it with the next
//   volume. The previous stream may be destroyed by the handler, so after a switch the reader never
//   touches it again (not even to seek back on a later failure).
// - A central record cut within its first four bytes is continued on the next volume when those
//   bytes are the beginning of the central signature.
// - Assign copies the comment state with the record: a source without a loaded comment leaves the
//   destination without one, so a destination never keeps a comment that belongs to another entry.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Stream.h"

namespace corvina {

class TFiler;

// The persistent-object base of the reader's records and containers: assignment between objects
// of compatible classes, with the platform's assignment error for the rest.
class TPersistent {
public:
  virtual ~TPersistent() = default;
  // Copies this object into dest; the base raises the assignment error.
  virtual void AssignTo(TPersistent& dest) const;
  // Declares streamed properties; the base declares none.
  virtual void DefineProperties(TFiler& filer);
  // Copies source into this object; the base hands over to source->AssignTo(*this), and a null
  // source is an assignment error.
  virtual void Assign(const TPersistent* source);
  virtual const char* ClassName() const { return "TPersistent"; }

protected:
  // EConvertError "Cannot assign a <source class> to a <this class>" ("nil" for no source).
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

// Signatures and fixed sizes of the records.
inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50u;
inline constexpr uint32_t kCentralHeaderSignature = 0x02014B50u;
inline constexpr uint32_t kEndCentralSignature = 0x06054B50u;
inline constexpr int32_t kLocalHeaderSize = 30;
inline constexpr int32_t kCentralHeaderSize = 46;
inline constexpr int32_t kEndCentralSize = 22;
inline constexpr int32_t kDataDescriptorSize = 16;
// Only this many bytes at the end of a file are searched for the end record.
inline constexpr int32_t kEndCentralSearchWindow = 65528;

// The fixed part of a central directory file header, field by field.
struct CentralHeaderImage {
  uint32_t Signature = 0;
  uint16_t MadeBy = 0;
  uint16_t NeededVersion = 0;
  uint16_t BitFlags = 0;
  uint16_t Method = 0;
  uint32_t DosDateTime = 0;  // time in the low 16 bits, date in the high 16 bits, as stored
  uint32_t Crc = 0;
  int32_t PackedSize = 0;
  int32_t UnpackedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t StartDisk = 0;
  uint16_t InternalAttr = 0;
  uint32_t ExternalAttr = 0;
  uint32_t LocalOffset = 0;

  // Parses the 46 bytes at bytes.
  static CentralHeaderImage Parse(const uint8_t* bytes);
};

// The fixed part of a local file header, field by field.
struct LocalHeaderImage {
  uint32_t Signature = 0;
  uint16_t NeededVersion = 0;
  uint16_t BitFlags = 0;
  uint16_t Method = 0;
  uint32_t DosDateTime = 0;
  uint32_t Crc = 0;
  int32_t PackedSize = 0;
  int32_t UnpackedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;

  // Parses the 30 bytes at bytes.
  static LocalHeaderImage Parse(const uint8_t* bytes);
};

// A stored name made into the in-memory form (same length): every "/" becomes "\", then the
// whole name goes from the OEM code page (866) to the ANSI code page (1251).
void ConvertEntryName(std::string& name);

// Makes a DOS date-time decodable: hours, minutes and seconds beyond their range are clamped to
// 23, 59 and 59, the year to 2099, the month into 1..12 and a day of 0 to 1. A value that needs
// no clamping comes back unchanged, bit for bit. Time in the low 16 bits, date in the high.
uint32_t RepairDosDateTime(uint32_t dos_date_time);

class TZipHeaderInfo;

// Replaces the stream variable with the next volume of a spanned archive, positioned at its start.
// It may destroy the stream it replaces.
using TNextVolumeHandler = std::function<void(TZipHeaderInfo& record, TStream*& stream)>;

// One archive entry. The numeric fields repeat the central record from "version made by" to
// "relative offset of local header", in the same order and widths.
class TZipHeaderInfo : public TPersistent {
public:
  TZipHeaderInfo() { Clear(); }
  TZipHeaderInfo(const TZipHeaderInfo& other) : TPersistent() { Assign(&other); }
  TZipHeaderInfo& operator=(const TZipHeaderInfo& other) {
    if (this != &other) Assign(&other);
    return *this;
  }

  void AssignTo(TPersistent& dest) const override;
  void Assign(const TPersistent* source) override;
  const char* ClassName() const override { return "TZipHeaderInfo"; }

  // Every field back to its default (the table below); names empty, no comment, not marked.
  void Clear();

  // Reads one central record at the stream's position. False (stream back at the record's start,
  // unless the handler switched volumes) when the record is cut short or its signature is wrong.
  bool ReadCentral(TStream& stream, const TNextVolumeHandler& next_volume = {});
  // Reads one local header at the stream's position; the stream is left just after the name.
  bool ReadLocal(TStream& stream);

  // Takes the fields of a central record image and the converted name; CentralOffset 0.
  void FillFromCentral(const CentralHeaderImage& image, const std::string& name);
  // Takes the fields of a local header image and the converted name (or ""): MadeBy, the
  // attributes, StartDisk, LocalOffset and CentralOffset are 0.
  void FillFromLocal(const LocalHeaderImage& image, const std::string& name);

  bool IsEncrypted() const { return (BitFlags & 0x0001) != 0; }
  bool HasDataDescriptor() const { return (BitFlags & 0x0008) != 0; }
  bool HasComment() const { return CommentLength != 0; }

  const std::string& EntryName() const { return entry_name_; }
  const std::string& EntryDir() const { return entry_dir_; }
  // Stores the name part; NameLength follows. An equal text changes nothing.
  void SetEntryName(const std::string& name);
  // Stores the folder part with a trailing backslash added when missing; NameLength follows.
  void SetEntryDir(const std::string& dir);
  // Splits a converted full name at its last backslash or colon into EntryDir and EntryName.
  void SetFullName(const std::string& name);

  // The file comment once loaded (none before); SetComment stores a copy and sets CommentLength
  // to its length, or clears both.
  const std::optional<std::string>& Comment() const { return comment_; }
  void SetComment(const std::optional<std::string>& comment);

  uint16_t MadeBy;
  uint16_t NeededVersion;
  uint16_t BitFlags;
  uint16_t Method;
  uint32_t DosDateTime;  // after RepairDosDateTime
  uint32_t Crc;
  int32_t PackedSize;  // the encryption header included
  int32_t UnpackedSize;
  uint16_t NameLength;  // length(EntryDir) + length(EntryName)
  uint16_t ExtraLength;
  uint16_t CommentLength;
  uint16_t StartDisk;
  uint16_t InternalAttr;
  uint32_t ExternalAttr;
  uint32_t LocalOffset;
  uint32_t CentralOffset;  // file position of the central record; 0 for an entry from a local header
  bool Marked;

private:
  void CopyFrom(const TZipHeaderInfo& source);

  std::string entry_name_;
  std::string entry_dir_;  // empty, or ends in a backslash
  std::optional<std::string> comment_;
};

// The end of central directory record of the loaded archive.
class TEndCentral : public TPersistent {
public:
  TEndCentral() { Clear(); }
  TEndCentral(const TEndCentral& other) : TPersistent() { Assign(&other); }
  TEndCentral& operator=(const TEndCentral& other) {
    if (this != &other) Assign(&other);
    return *this;
  }

  void AssignTo(TPersistent& dest) const override;
  void Assign(const TPersistent* source) override;
  const char* ClassName() const override { return "TEndCentral"; }

  // Signature 0x06054B50, every number 0, no comment.
  void Clear();

  // Finds the end record among the last 65528 bytes of the stream (the one nearest the end wins)
  // and takes its fields; CommentOffset = stream size - CommentLength. False when the stream is
  // under 22 bytes, cannot be read, or holds no end signature there.
  bool FindInStream(TStream& stream);

  bool HasComment() const { return CommentLength > 0; }

  // The archive comment once loaded (none before). Storing it leaves CommentLength as the record
  // gave it.
  const std::optional<std::string>& Comment() const { return comment_; }
  void SetComment(const std::optional<std::string>& comment) { comment_ = comment; }

  uint32_t Signature;
  uint16_t ThisDisk;
  uint16_t CentralDisk;
  uint16_t EntriesThisDisk;
  uint16_t TotalEntries;
  uint32_t CentralSize;
  uint32_t DirectoryOffset;
  uint16_t CommentLength;
  uint32_t CommentOffset;

private:
  void CopyFrom(const TEndCentral& source);

  std::optional<std::string> comment_;
};

}  // namespace corvina
