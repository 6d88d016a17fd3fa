// The word-at-a-time bit input shared by inflate and explode. Both read an entry's compressed bits
// least significant first; instead of one ReadByte per byte they load eight buffered bytes at once
// into a 64-bit register, and fall back to ReadByte only near the end of a buffer, at a refill, and
// past the end of the entry's data, where ReadByte's rule of repeating the last byte still holds.
// The bits a decoder sees are therefore exactly those of the byte-at-a-time readers.
//
// For the decoders' own files only: the state's InPtr, InCount and CompLeft lag behind the register
// until Sync puts them right, which must happen before anything else reads them.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "inflate/ExtractionState.h"

namespace corvina::word_bits {

// Thrown when a decoder has asked for more bytes past the end of the compressed data than a valid
// stream can need; each decoder catches it and returns its error code.
struct InputExhausted {};

// The decoder's view of the input: the bit register (no bits above cnt are set) and the part of
// InBuf that may be loaded eight bytes at a time. in runs ahead of the state's InPtr; Sync puts
// the state's counters right before anything else reads them.
struct BitInput {
  const uint8_t* in;
  const uint8_t* end;  // in..end are buffered bytes of this entry
  uint64_t buf;
  uint32_t cnt;
};

inline const uint8_t* UsableEnd(const ExtractionState& s) {
  const int32_t usable = std::min<int32_t>(s.InCount, std::max<int32_t>(s.CompLeft, 0));
  return s.InPtr + usable;
}

inline void Sync(ExtractionState& s, BitInput& v) {
  const auto consumed = static_cast<uint16_t>(v.in - s.InPtr);
  s.InPtr += consumed;
  s.InCount = static_cast<uint16_t>(s.InCount - consumed);
  s.CompLeft -= consumed;
}

// Byte-wise top-up through ReadByte: near the end of a buffer, at a refill, and past the end of
// the entry's data (where the last byte is repeated, as NeedBits does).
[[gnu::noinline]] inline BitInput SlowNeed(ExtractionState& s, BitInput v, uint32_t n) {
  Sync(s, v);
  while (v.cnt < n) {
    s.ReadByte(s.LastByte);
    if (s.Overrun()) throw InputExhausted{};
    v.buf |= static_cast<uint64_t>(s.LastByte) << v.cnt;
    v.cnt += 8;
  }
  v.in = s.InPtr;
  v.end = UsableEnd(s);
  return v;
}

[[gnu::always_inline]] inline void Need(ExtractionState& s, BitInput& v, uint32_t n) {
  if (v.cnt >= n) return;
  if (v.end - v.in >= 8) {
    uint64_t word;
    std::memcpy(&word, v.in, 8);
    if constexpr (std::endian::native != std::endian::little) word = __builtin_bswap64(word);
    const uint32_t take = (63 - v.cnt) >> 3;
    v.buf |= word << v.cnt;
    v.cnt += take * 8;
    v.buf &= (uint64_t{1} << v.cnt) - 1;
    v.in += take;
    s.LastByte = v.in[-1];
  } else {
    v = SlowNeed(s, v, n);
  }
}

[[gnu::always_inline]] inline void Drop(BitInput& v, uint32_t n) {
  v.buf >>= n;
  v.cnt -= n;
}

}  // namespace corvina::word_bits
