#include "inflate/Crc32.h"

#include <bit>
#include <cstring>

namespace corvina {

uint32_t UpdateCrcBytewise(uint32_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) crc = UpdateCrc(data[i], crc);
  return crc;
}

uint32_t UpdateCrcBuffer(uint32_t crc, const uint8_t* data, size_t length) {
  const auto& t = crc32_detail::kSliceTables;
  // Align to 8 bytes so that the word loads below are aligned ones on every platform.
  while (length > 0 && (reinterpret_cast<uintptr_t>(data) & 7u) != 0) {
    crc = UpdateCrc(*data++, crc);
    --length;
  }
  while (length >= 8) {
    uint32_t lo;
    uint32_t hi;
    std::memcpy(&lo, data, 4);
    std::memcpy(&hi, data + 4, 4);
    // The byte order of the register matches the byte order of the data only on little-endian
    // hosts; assemble the words explicitly elsewhere.
    if constexpr (std::endian::native != std::endian::little) {
      lo = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
      hi = uint32_t(data[4]) | uint32_t(data[5]) << 8 | uint32_t(data[6]) << 16 | uint32_t(data[7]) << 24;
    }
    lo ^= crc;
    crc = t[7][lo & 0xFFu] ^ t[6][(lo >> 8) & 0xFFu] ^ t[5][(lo >> 16) & 0xFFu] ^ t[4][lo >> 24] ^
          t[3][hi & 0xFFu] ^ t[2][(hi >> 8) & 0xFFu] ^ t[1][(hi >> 16) & 0xFFu] ^ t[0][hi >> 24];
    data += 8;
    length -= 8;
  }
  while (length-- > 0) crc = UpdateCrc(*data++, crc);
  return crc;
}

}  // namespace corvina
