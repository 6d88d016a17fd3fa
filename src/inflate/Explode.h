// Explode: the decoder of compression method 6 (imploding), a sliding-dictionary coder whose
// literals, match lengths and match distances are coded with Shannon-Fano trees sent at the start
// of the entry as compact lists of code lengths. The entry's BitFlags choose the variant: bit 1 an
// 8192-byte dictionary (7 raw low distance bits) instead of 4096 (6 bits); bit 2 three trees (a
// literal tree, matches of at least 3 bytes) instead of two (literals as 8 raw bits, matches of at
// least 2).
//
// The trees are turned into decoding tables by inflate's BuildHuffmanTable: a Shannon-Fano code
// is the bitwise complement of the canonical code of the same lengths, so every table lookup
// indexes with the complement of the next input bits. The window is the 32768-byte Slide work
// area, flushed only when full; until it first fills, a match that reaches before the entry's
// first byte yields zeros rather than whatever the previous entry left there.
//
// Why the decoder is fast: like inflate it keeps its bits in a 64-bit register topped up with one
// 8-byte load while enough input is buffered, runs the loop on local copies of the register and
// the window position, and moves non-overlapping matches in one block; near and past the end of
// the input it reads byte by byte through ExtractionState::ReadByte, repeating the last byte, so
// its output equals a byte-at-a-time decoder's. Running out of input does not end a valid entry
// (it ends after UncompLeft bytes), but a decoder that keeps asking far past the end of the
// compressed data is reading noise and stops with result 1 (ExtractionState::Overrun).
#pragma once

#include <cstdint>

namespace corvina {

class ExtractionState;
struct HuffmanEntry;

// Result codes of ReadTree, beside BuildHuffmanTable's 0..3.
inline constexpr uint16_t kExplodeBadTree = 4;  // a tree description that does not cover its symbols

// Reads one compact tree description (a count byte, then bytes of (count - 1) << 4 | (length - 1))
// into the n code lengths l. 0, or kExplodeBadTree when the lengths do not cover exactly n symbols.
uint16_t ReadTree(ExtractionState& s, uint16_t* l, uint32_t n);

// The decoding loops. ds is the dictionary size in KiB (8 or 4); tb, tl, td the literal, length
// and distance tables and bb, bl, bd their lookup bits. 0 at the normal end (UncompLeft bytes
// produced and the window flushed), 1 on an invalid code or input far past its end (the window
// since its last flush is then dropped).
uint16_t ExplodeWithLiterals(ExtractionState& s, uint32_t ds, const HuffmanEntry* tb, const HuffmanEntry* tl,
                             const HuffmanEntry* td, int32_t bb, int32_t bl, int32_t bd);
uint16_t ExplodeNoLiterals(ExtractionState& s, uint32_t ds, const HuffmanEntry* tl, const HuffmanEntry* td,
                           int32_t bl, int32_t bd);

// Decodes the current entry (variant from its BitFlags) and flushes the output buffer. Returns the
// first nonzero code of ReadTree, BuildHuffmanTable or the decoding loop, else 0; a bad tree ends
// the entry before any output. The extraction of an entry does not look at the result: the CRC
// comparison reports a damaged entry.
uint16_t Explode(ExtractionState& s);

}  // namespace corvina
