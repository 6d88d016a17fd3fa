// Unreduce: the decoder of compression methods 2 to 5 (reducing with compression factors 1 to 4).
// The entry starts with 256 follower sets (for each byte value, from 255 down to 0, up to 63
// bytes that often follow it); each further byte is either an index into the set of the byte
// before it or 8 raw bits. The bytes so decoded pass through a run-length machine in which 144
// introduces a back reference (144 then 0 stands for the byte 144 itself): the first byte after
// it gives the length's low bits and the distance's high bits (their split depends on the factor),
// a second byte lengthens the longest lengths, and the last gives the distance's low byte.
//
// The Slide work area holds a 16384-byte window at offset 0 and the follower sets at 16384 (row x
// of 64 bytes for byte value x). The window is flushed only when full; until it first fills, a
// reference before the entry's first byte yields zeros. The entry ends when UncompLeft bytes have
// been produced, whatever the input holds (bits past its end read as zeros); a stream that keeps
// asking far past the end of its compressed data is reading noise and stops early with result 1
// (ExtractionState::Overrun), so crafted sizes cannot keep the decoder busy. Bits are read with the
// shared bit buffer's rules on local copies, without a call out of this file per byte.
#pragma once

#include <cstdint>

namespace corvina {

class ExtractionState;

inline constexpr uint32_t kUnreduceWindowSize = 16384;
inline constexpr uint32_t kUnreduceFollowersOffset = 16384;
inline constexpr uint32_t kUnreduceFollowerRow = 64;

// Result codes of Unreduce.
inline constexpr uint16_t kUnreduceInputOverrun = 1;  // stopped far past the end of the input
inline constexpr uint16_t kUnreduceBadMethod = 2;     // the entry's method is not 2..5: nothing decoded

// Reads the follower sets into the work area and their sizes (0..63) into counts, from the
// state's bit buffer.
void LoadFollowers(ExtractionState& s, uint8_t counts[256]);

// Decodes the current entry with the factor of its Method (2..5 give factors 1..4), then flushes
// the window and the output buffer. 0 when UncompLeft bytes were produced.
uint16_t Unreduce(ExtractionState& s);

}  // namespace corvina
