// Inflate: the decoder of compression method 8 (deflate, RFC 1951), and the canonical Huffman
// table builder that the explode decoder shares.
//
// Decoding tables. A code is resolved through a first-level table indexed by the next m bits of
// the input (m = the lookup bits of that table) and, for longer codes, subtables indexed by
// further bits. Each table is one block of z + 1 entries (z = 2^index bits); entry 0 is a header
// whose Subtable links to the next block of the same code, so FreeHuffmanTables can release a
// whole code from the pointer the builder hands out (entry 1 of the first block). An entry's Op
// says what it is: 0..13 a length or distance base with that many extra bits, 15 end of block,
// 16 a literal, 17..32 a link to a subtable indexed by Op - 16 more bits, 99 an invalid code.
// Bits is what the entry consumes at its level.
//
// Why the decoder is fast: it keeps its bits in a 64-bit register and, while at least eight
// input bytes are buffered, tops it up with one unaligned 8-byte load instead of a call per byte;
// the loop over literals and matches runs on local copies of the bit register, the window
// position and the window pointer; matches that do not overlap their source are one memmove.
// Near the end of the input it falls back to ExtractionState::ReadByte, so it reads the same
// bytes and, past the end, repeats the last byte exactly as the byte-wise readers do: the output
// is byte-identical to a byte-at-a-time decoder. A decoder that keeps asking far past the end of
// the compressed data stops with result 1 (see ExtractionState::Overrun).
//
// Result codes: 0 success; 1 incomplete code set, invalid code, bad stored length, code lengths
// past the declared counts (also: input exhausted); 2 over-subscribed set or block type 3; 3 out
// of memory ("*** inflate out of memory ***" is shown first).
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvina {

class ExtractionState;

struct HuffmanEntry {
  uint8_t Op = 0;
  uint8_t Bits = 0;
  uint16_t Value = 0;                 // literal, or base of a length or distance
  HuffmanEntry* Subtable = nullptr;   // a link's subtable; in a header, the next block's entry 1
};

enum : uint8_t {
  kOpEndOfBlock = 15,
  kOpLiteral = 16,
  kOpInvalid = 99,
};

// Lookup widths of the tables.
inline constexpr int32_t kDynamicLiteralBits = 9;
inline constexpr int32_t kDynamicDistanceBits = 6;
inline constexpr int32_t kFixedLiteralBits = 7;
inline constexpr int32_t kFixedDistanceBits = 5;
inline constexpr int32_t kCodeLengthBits = 7;

// 2^n - 1 for n = 0..16.
inline constexpr uint16_t kMaskBits[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F,
                                           0x003F, 0x007F, 0x00FF, 0x01FF, 0x03FF, 0x07FF,
                                           0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};

// Builds the tables of the code whose n lengths are in b (0 = unused symbol). Symbols below s are
// literals (below 256) or the end code; symbol v >= s takes its base from d[v - s] and its extra
// bits from e[v - s]. m is the requested first-level width, clamped to the code's shortest and
// longest lengths and passed back. On 0 or 1 the tables are in t (none, and m 0, when every
// length is 0); on 1 (incomplete) they are still built. On 2 and 3 nothing is left allocated.
uint16_t BuildHuffmanTable(const uint16_t* b, uint32_t n, uint32_t s, const uint16_t* d, const uint16_t* e,
                           HuffmanEntry*& t, int32_t& m);
void FreeHuffmanTables(HuffmanEntry* t);

// Frees a code's tables when it goes out of scope (also when an exception passes).
class HuffmanTables {
public:
  HuffmanTables() = default;
  ~HuffmanTables() { FreeHuffmanTables(table_); }
  HuffmanTables(const HuffmanTables&) = delete;
  HuffmanTables& operator=(const HuffmanTables&) = delete;
  HuffmanEntry*& Ref() { return table_; }
  HuffmanEntry* Get() const { return table_; }
  void Reset() {
    FreeHuffmanTables(table_);
    table_ = nullptr;
  }

private:
  HuffmanEntry* table_ = nullptr;
};

// For tests: makes the table allocator fail after the given number of successful block
// allocations (a negative count never fails).
void SetHuffmanAllocationFailureForTesting(int32_t successes_before_failure);

// Decodes the current entry to the state's output, or up to the first error.
uint16_t Inflate(ExtractionState& state);

}  // namespace corvina
