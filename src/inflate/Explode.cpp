#include "inflate/Explode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "inflate/ExtractionState.h"
#include "inflate/WordBitInput.h"
#include "inflate/Inflate.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

constexpr uint32_t kWindow = ExtractionState::kWindowSize;
constexpr uint32_t kTreeSymbols = 64;
constexpr uint32_t kLiteralSymbols = 256;
// A compressed size above this makes the distance table's first level one bit wider.
constexpr int32_t kLargeEntry = 200000;

constexpr int32_t kLiteralBits = 9;
constexpr int32_t kLengthBits = 7;
constexpr int32_t kSmallDistanceBits = 7;
constexpr int32_t kLargeDistanceBits = 8;

// Base values of the 64 length and distance symbols.
constexpr std::array<uint16_t, kTreeSymbols> Bases(uint16_t first, uint16_t step) {
  std::array<uint16_t, kTreeSymbols> bases{};
  for (uint32_t i = 0; i < kTreeSymbols; ++i) bases[i] = static_cast<uint16_t>(first + step * i);
  return bases;
}
constexpr auto kLengthBaseThreeTrees = Bases(3, 1);    // minimum match 3 with a literal tree
constexpr auto kLengthBaseTwoTrees = Bases(2, 1);      // minimum match 2 without
constexpr auto kDistanceBase8K = Bases(1, 128);        // above 7 raw low bits
constexpr auto kDistanceBase4K = Bases(1, 64);         // above 6 raw low bits
// Extra bits: only the last length symbol takes 8 more bits (the distance tables carry the same
// entries, which the decoder ignores).
constexpr std::array<uint16_t, kTreeSymbols> kExtraBits = [] {
  std::array<uint16_t, kTreeSymbols> extra{};
  extra[kTreeSymbols - 1] = 8;
  return extra;
}();

using namespace word_bits;  // the shared bit input (WordBitInput.h)

// Resolves one Shannon-Fano code: the tables are indexed by the complement of the input bits, at
// the first level and at every subtable step. Returns the final entry with its bits dropped, or
// nullptr for an invalid code.
[[gnu::always_inline]] inline const HuffmanEntry* Decode(ExtractionState& s, BitInput& v, const HuffmanEntry* table,
                                                         uint32_t bits) {
  Need(s, v, bits);
  const HuffmanEntry* e = table + (~v.buf & kMaskBits[bits]);
  uint32_t op = e->Op;
  while (op > kOpLiteral) {
    if (op == kOpInvalid) return nullptr;
    Drop(v, e->Bits);
    const uint32_t more = op - kOpLiteral;
    Need(s, v, more);
    e = e->Subtable + (~v.buf & kMaskBits[more]);
    op = e->Op;
  }
  Drop(v, e->Bits);
  return e;
}

// The loop shared by both variants. Literals come from tb when kLiteralTree, else as 8 raw bits.
template <bool kLiteralTree>
uint16_t ExplodeLoop(ExtractionState& s, uint32_t ds, const HuffmanEntry* tb, const HuffmanEntry* tl,
                     const HuffmanEntry* td, int32_t bb, int32_t bl, int32_t bd) {
  if ((kLiteralTree && tb == nullptr) || tl == nullptr || td == nullptr) return 1;
  const uint32_t low_bits = ds == 8 ? 7 : 6;
  uint8_t* const slide = s.Slide;
  BitInput v{s.InPtr, UsableEnd(s), 0, 0};
  uint32_t w = 0;
  int32_t left = s.UncompLeft;
  // Until the window first fills, positions at or after w hold no byte of this entry.
  bool first_window = true;

  try {
    while (left > 0) {
      Need(s, v, 1);
      const bool literal = (v.buf & 1) != 0;
      Drop(v, 1);
      if (literal) {
        --left;
        uint8_t byte;
        if constexpr (kLiteralTree) {
          const HuffmanEntry* e = Decode(s, v, tb, static_cast<uint32_t>(bb));
          if (e == nullptr) {
            Sync(s, v);
            return 1;
          }
          byte = static_cast<uint8_t>(e->Value);
        } else {
          Need(s, v, 8);
          byte = static_cast<uint8_t>(v.buf);
          Drop(v, 8);
        }
        slide[w++] = byte;
        if (w == kWindow) {
          s.FlushWindow(w);  // touches only the output side
          w = 0;
          first_window = false;
        }
        continue;
      }

      // A match: raw low distance bits, the distance symbol, the length symbol (and 8 extra bits
      // for the longest).
      Need(s, v, low_bits);
      uint32_t d = static_cast<uint32_t>(v.buf & kMaskBits[low_bits]);
      Drop(v, low_bits);
      const HuffmanEntry* e = Decode(s, v, td, static_cast<uint32_t>(bd));
      if (e == nullptr) {
        Sync(s, v);
        return 1;
      }
      d = (w - d - e->Value) & 0xFFFFu;
      e = Decode(s, v, tl, static_cast<uint32_t>(bl));
      if (e == nullptr) {
        Sync(s, v);
        return 1;
      }
      uint32_t n = e->Value;
      if (e->Op != 0) {
        Need(s, v, 8);
        n += static_cast<uint32_t>(v.buf & 0xFF);
        Drop(v, 8);
      }
      left -= static_cast<int32_t>(n);

      // Copy n bytes from d to w, in pieces that end at the window's end or the source's wrap.
      do {
        d &= kWindow - 1;
        uint32_t piece = kWindow - std::max(d, w);
        if (piece > n) piece = n;
        n -= piece;
        if (first_window && d >= w) {
          std::memset(slide + w, 0, piece);  // before the entry's first byte
        } else if (d > w || w - d >= piece) {
          std::memmove(slide + w, slide + d, piece);
        } else {
          // Overlapping: the copy repeats the last w - d bytes; whole 8-byte steps are exact
          // while the distance is at least 8.
          uint8_t* to = slide + w;
          const uint8_t* from = slide + d;
          uint32_t rest = piece;
          if (w - d >= 8) {
            while (rest >= 8) {
              std::memcpy(to, from, 8);
              to += 8;
              from += 8;
              rest -= 8;
            }
          }
          while (rest-- > 0) *to++ = *from++;
        }
        w += piece;
        d += piece;
        if (w == kWindow) {
          s.FlushWindow(w);  // touches only the output side
          w = 0;
          first_window = false;
        }
      } while (n != 0);
    }
  } catch (const InputExhausted&) {
    return 1;  // SlowNeed left the state's counters in step
  }
  Sync(s, v);
  s.UncompLeft = left;
  s.FlushWindow(w);
  return 0;
}

}  // namespace

uint16_t ReadTree(ExtractionState& s, uint16_t* l, uint32_t n) {
  // Past the end of the input ReadByte leaves LastByte as it was: the last byte repeats.
  s.ReadByte(s.LastByte);
  const uint32_t bytes = (s.LastByte & 0xFFu) + 1;
  uint32_t described = 0;
  for (uint32_t j = 0; j < bytes; ++j) {
    s.ReadByte(s.LastByte);
    const auto length = static_cast<uint16_t>((s.LastByte & 0x0Fu) + 1);
    const uint32_t count = ((s.LastByte >> 4) & 0x0Fu) + 1;
    if (described + count > n) return kExplodeBadTree;
    std::fill(l + described, l + described + count, length);
    described += count;
  }
  return described == n ? 0 : kExplodeBadTree;
}

uint16_t ExplodeWithLiterals(ExtractionState& s, uint32_t ds, const HuffmanEntry* tb, const HuffmanEntry* tl,
                             const HuffmanEntry* td, int32_t bb, int32_t bl, int32_t bd) {
  return ExplodeLoop<true>(s, ds, tb, tl, td, bb, bl, bd);
}

uint16_t ExplodeNoLiterals(ExtractionState& s, uint32_t ds, const HuffmanEntry* tl, const HuffmanEntry* td,
                           int32_t bl, int32_t bd) {
  return ExplodeLoop<false>(s, ds, nullptr, tl, td, 0, bl, bd);
}

uint16_t Explode(ExtractionState& s) {
  const uint16_t flags = s.Owner().CurrentEntry.BitFlags;
  const bool large_dictionary = (flags & 0x0002) != 0;
  const bool literal_tree = (flags & 0x0004) != 0;
  const uint32_t ds = large_dictionary ? 8 : 4;
  int32_t bb = kLiteralBits;
  int32_t bl = kLengthBits;
  int32_t bd = s.CompLeft > kLargeEntry ? kLargeDistanceBits : kSmallDistanceBits;
  const uint16_t* distance_base = large_dictionary ? kDistanceBase8K.data() : kDistanceBase4K.data();

  uint16_t lengths[kLiteralSymbols];
  HuffmanTables tb;
  HuffmanTables tl;
  HuffmanTables td;
  uint16_t r = 0;
  if (literal_tree) {
    if ((r = ReadTree(s, lengths, kLiteralSymbols)) != 0) return r;
    if ((r = BuildHuffmanTable(lengths, kLiteralSymbols, kLiteralSymbols, nullptr, nullptr, tb.Ref(), bb)) != 0)
      return r;
  }
  if ((r = ReadTree(s, lengths, kTreeSymbols)) != 0) return r;
  const uint16_t* length_base = literal_tree ? kLengthBaseThreeTrees.data() : kLengthBaseTwoTrees.data();
  if ((r = BuildHuffmanTable(lengths, kTreeSymbols, 0, length_base, kExtraBits.data(), tl.Ref(), bl)) != 0) return r;
  if ((r = ReadTree(s, lengths, kTreeSymbols)) != 0) return r;
  if ((r = BuildHuffmanTable(lengths, kTreeSymbols, 0, distance_base, kExtraBits.data(), td.Ref(), bd)) != 0) return r;

  r = literal_tree ? ExplodeWithLiterals(s, ds, tb.Get(), tl.Get(), td.Get(), bb, bl, bd)
                   : ExplodeNoLiterals(s, ds, tl.Get(), td.Get(), bl, bd);
  tb.Reset();
  tl.Reset();
  td.Reset();
  s.FlushOutput();
  return r;
}

}  // namespace corvina
