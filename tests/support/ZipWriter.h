// A small test-side writer of ZIP records, byte-exact and with every field settable, so that tests
// can build the smallest archive that shows a fault (a wrong signature, a record cut short, an
// offset that points elsewhere, a second end signature inside a comment). It writes what it is
// told and checks nothing. Header-only and free of the reader's code: the CRC-32 it fills in by
// default is computed here bit by bit, so a fault in the reader's CRC cannot hide in a fixture.
//
// Layout helpers: LocalHeader, CentralHeader and EndRecord write one record each; ZipBuilder lays
// out a whole archive (optional prefix, local headers with data and optional data descriptors,
// the central directory, the end record and its comment) and remembers where each record went.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvina::testing {

using Bytes = std::vector<uint8_t>;

inline void Put16(Bytes& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void Put32(Bytes& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PutText(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

// The ZIP CRC-32 (reflected polynomial 0xEDB88320), one bit at a time.
inline uint32_t SimpleCrc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

// One entry as it is to be written. `name` and `data` are stored bytes (OEM name, data already
// compressed as `method` says). Fields left unset take values derived from the data.
struct ZipEntrySpec {
  std::string name;
  std::string data;
  uint16_t made_by = 20;
  uint16_t needed_version = 20;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dos_date_time = 0x3A214C63;  // 2009-01-01 09:35:06
  std::optional<uint32_t> crc;          // default: CRC-32 of data
  std::optional<uint32_t> packed_size;  // default: data size
  std::optional<uint32_t> unpacked_size;  // default: data size
  std::string local_extra;
  std::string central_extra;
  std::string comment;
  uint16_t start_disk = 0;
  uint16_t internal_attr = 0;
  uint32_t external_attr = 0x20;
  // Writes a 16-byte data descriptor (signature, CRC, sizes) after the data. Bit 3 of the flags
  // is the caller's to set.
  bool data_descriptor = false;
  // Zeroes the CRC and sizes in the local header, as a streaming writer does.
  bool local_sizes_zero = false;

  uint32_t Crc() const { return crc.value_or(SimpleCrc32(data)); }
  uint32_t Packed() const { return packed_size.value_or(static_cast<uint32_t>(data.size())); }
  uint32_t Unpacked() const { return unpacked_size.value_or(static_cast<uint32_t>(data.size())); }
};

inline Bytes LocalHeader(const ZipEntrySpec& e, uint32_t signature = 0x04034B50u) {
  Bytes out;
  Put32(out, signature);
  Put16(out, e.needed_version);
  Put16(out, e.flags);
  Put16(out, e.method);
  Put32(out, e.dos_date_time);
  Put32(out, e.local_sizes_zero ? 0 : e.Crc());
  Put32(out, e.local_sizes_zero ? 0 : e.Packed());
  Put32(out, e.local_sizes_zero ? 0 : e.Unpacked());
  Put16(out, static_cast<uint32_t>(e.name.size()));
  Put16(out, static_cast<uint32_t>(e.local_extra.size()));
  PutText(out, e.name);
  PutText(out, e.local_extra);
  return out;
}

inline Bytes CentralHeader(const ZipEntrySpec& e, uint32_t local_offset, uint32_t signature = 0x02014B50u) {
  Bytes out;
  Put32(out, signature);
  Put16(out, e.made_by);
  Put16(out, e.needed_version);
  Put16(out, e.flags);
  Put16(out, e.method);
  Put32(out, e.dos_date_time);
  Put32(out, e.Crc());
  Put32(out, e.Packed());
  Put32(out, e.Unpacked());
  Put16(out, static_cast<uint32_t>(e.name.size()));
  Put16(out, static_cast<uint32_t>(e.central_extra.size()));
  Put16(out, static_cast<uint32_t>(e.comment.size()));
  Put16(out, e.start_disk);
  Put16(out, e.internal_attr);
  Put32(out, e.external_attr);
  Put32(out, local_offset);
  PutText(out, e.name);
  PutText(out, e.central_extra);
  PutText(out, e.comment);
  return out;
}

struct EndRecordSpec {
  uint16_t this_disk = 0;
  uint16_t central_disk = 0;
  uint16_t entries_this_disk = 0;
  uint16_t total_entries = 0;
  uint32_t central_size = 0;
  uint32_t directory_offset = 0;
  std::string comment;
  std::optional<uint16_t> comment_length;  // default: comment size
};

inline Bytes EndRecord(const EndRecordSpec& e) {
  Bytes out;
  Put32(out, 0x06054B50u);
  Put16(out, e.this_disk);
  Put16(out, e.central_disk);
  Put16(out, e.entries_this_disk);
  Put16(out, e.total_entries);
  Put32(out, e.central_size);
  Put32(out, e.directory_offset);
  Put16(out, e.comment_length.value_or(static_cast<uint16_t>(e.comment.size())));
  PutText(out, e.comment);
  return out;
}

// A whole single-volume archive. With adjust_offsets false, the offsets are counted from the end
// of the prefix, as in an archive that had a program glued in front of it afterwards.
struct ZipBuilder {
  std::string prefix;
  std::vector<ZipEntrySpec> entries;
  std::string archive_comment;
  bool adjust_offsets = true;
  bool write_end_record = true;

  // Filled by Build: where each local header, the central directory and the end record start.
  std::vector<uint32_t> local_offsets;
  uint32_t central_offset = 0;
  uint32_t end_offset = 0;

  Bytes Build() {
    Bytes out(prefix.begin(), prefix.end());
    const uint32_t base = adjust_offsets ? 0 : static_cast<uint32_t>(prefix.size());
    local_offsets.clear();
    for (const ZipEntrySpec& e : entries) {
      local_offsets.push_back(static_cast<uint32_t>(out.size()));
      Bytes header = LocalHeader(e);
      out.insert(out.end(), header.begin(), header.end());
      PutText(out, e.data);
      if (e.data_descriptor) {
        Put32(out, 0x08074B50u);
        Put32(out, e.Crc());
        Put32(out, e.Packed());
        Put32(out, e.Unpacked());
      }
    }
    central_offset = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      Bytes central = CentralHeader(entries[i], local_offsets[i] - base);
      out.insert(out.end(), central.begin(), central.end());
    }
    end_offset = static_cast<uint32_t>(out.size());
    if (write_end_record) {
      EndRecordSpec end;
      end.entries_this_disk = end.total_entries = static_cast<uint16_t>(entries.size());
      end.central_size = end_offset - central_offset;
      end.directory_offset = central_offset - base;
      end.comment = archive_comment;
      Bytes record = EndRecord(end);
      out.insert(out.end(), record.begin(), record.end());
    }
    return out;
  }
};

}  // namespace corvina::testing
