// CRC-32 of ZIP entries (reflected polynomial 0xEDB88320, register preset and final complement
// done by the caller). Two ways to run it that give identical results:
//
// - UpdateCrc is the one-byte step through the classic 256-entry table:
//   new = table[(old xor byte) and 255] xor (old shr 8). The traditional cipher's key update uses
//   exactly this step, so it is inline and constexpr.
// - UpdateCrcBuffer runs over a buffer eight bytes at a time ("slicing by 8"). Because the CRC is
//   linear over GF(2), the effect of eight message bytes on the register splits into eight
//   independent table lookups: SliceTable[k][x] is the register change of byte x followed by k zero
//   bytes. XOR-ing the eight lookups for one 64-bit word therefore equals eight one-byte steps. All
//   nine tables are computed at compile time from the polynomial; the tail of fewer than eight
//   bytes takes the one-byte step.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvina {

inline constexpr uint32_t kCrc32Polynomial = 0xEDB88320u;

namespace crc32_detail {

using SliceTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr SliceTables MakeSliceTables() {
  SliceTables t{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1u) ? (c >> 1) ^ kCrc32Polynomial : c >> 1;
    t[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (size_t k = 1; k < 8; ++k) t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFFu];
  return t;
}

inline constexpr SliceTables kSliceTables = MakeSliceTables();

}  // namespace crc32_detail

// The standard 256-entry CRC-32 table.
inline constexpr const std::array<uint32_t, 256>& kCrcTable = crc32_detail::kSliceTables[0];

// One byte into the register.
constexpr uint32_t UpdateCrc(uint8_t byte, uint32_t old_value) {
  return kCrcTable[(old_value ^ byte) & 0xFFu] ^ (old_value >> 8);
}

// The one-byte step over a whole buffer; the plain reference for UpdateCrcBuffer.
uint32_t UpdateCrcBytewise(uint32_t crc, const uint8_t* data, size_t length);

// The fast path: same result as UpdateCrcBytewise for every buffer.
uint32_t UpdateCrcBuffer(uint32_t crc, const uint8_t* data, size_t length);

// The finished CRC-32 of a whole buffer (preset 0xFFFFFFFF, complemented at the end).
inline uint32_t Crc32Of(const uint8_t* data, size_t length) {
  return ~UpdateCrcBuffer(0xFFFFFFFFu, data, length);
}

}  // namespace corvina
