// Unshrink: the decoder of compression method 1 (shrinking), LZW with codes of 9 to 13 bits read
// least significant bit first. Code 256 is a control code: 256,1 widens the codes by one bit,
// 256,2 frees the codes that are only leaves (PartialClear), which the encoder then reuses from
// 257 upwards. The decoder's tables live in the Slide work area:
//
//   offset 0      prefix table, 8193 16-bit entries indexed by code; 0xFFFF marks a free code
//   offset 16390  suffix table, 8193 bytes indexed by code
//   offset 24585  string stack, 8192 bytes, filled downwards from its end
//
// A string is decoded by walking its prefix chain onto the stack and is then moved into the output
// buffer in one copy per piece that fits. The entry ends when a read of the next code finds the
// input ended. Damaged data cannot reach outside the tables: a code size above 13 bits or a chain
// longer than the stack stops the entry (result 1) with what was decoded so far, and the CRC
// comparison reports it. The bits are read with the shared bit buffer's rules (BitBuf, BitCount,
// InputEnded) on local copies, so the loop makes no call out of this file except the output flush
// and the input refill, once per 16000 bytes each.
#pragma once

#include <cstdint>

namespace corvina {

class ExtractionState;

inline constexpr uint32_t kUnshrinkPrefixOffset = 0;
inline constexpr uint32_t kUnshrinkSuffixOffset = 16390;
inline constexpr uint32_t kUnshrinkStackOffset = 24585;
inline constexpr uint32_t kUnshrinkStackSize = 8192;
inline constexpr uint32_t kUnshrinkMaxCodes = 8192;   // codes 0..8191
inline constexpr uint16_t kUnshrinkFreeCode = 0xFFFF;  // prefix of a free code

// Frees every code from 257 to next_free - 1 that is not the prefix of another code in that range;
// returns the new next free code (the first free one from 257, or 8192).
uint32_t PartialClear(ExtractionState& s, uint32_t next_free);

// Decodes the current entry and flushes the output buffer. 0 when the input ended, 1 when damaged
// data stopped the entry early.
uint16_t Unshrink(ExtractionState& s);

}  // namespace corvina
