#include "inflate/Inflate.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "inflate/ExtractionState.h"
#include "inflate/WordBitInput.h"
#include "platform/AppServices.h"

namespace corvina {
namespace {

constexpr int kMaxCodeLength = 16;
constexpr uint32_t kMaxSymbols = 512;
constexpr uint32_t kWindow = ExtractionState::kWindowSize;

// Length codes 257..285 of RFC 1951, then 286 and 287 made invalid by an extra-bit count of 99.
constexpr uint16_t kLengthBase[31] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
                                      35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr uint16_t kLengthExtra[31] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                       3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, 99, 99};
constexpr uint16_t kDistanceBase[30] = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                        33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                        1025, 1537, 2049, 3073, 4097, 6145,  8193,  12289, 16385, 24577};
constexpr uint16_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

int32_t g_allocations_before_failure = -1;

HuffmanEntry* AllocateBlock(uint32_t entries) {
  if (g_allocations_before_failure == 0) return nullptr;
  if (g_allocations_before_failure > 0) --g_allocations_before_failure;
  return new (std::nothrow) HuffmanEntry[entries];
}

using namespace word_bits;  // the shared bit input (WordBitInput.h)

struct InflateRun {
  ExtractionState& s;
  BitInput v;
  uint32_t w;  // next free position in the window
};

// Resolves one code from its first-level table: returns the final entry with its bits dropped,
// or nullptr for an invalid code.
[[gnu::always_inline]] inline const HuffmanEntry* Decode(ExtractionState& s, BitInput& v, const HuffmanEntry* table,
                                                         uint32_t mask) {
  const HuffmanEntry* e = table + (v.buf & mask);
  uint32_t op = e->Op;
  while (op > kOpLiteral) {
    if (op == kOpInvalid) return nullptr;
    Drop(v, e->Bits);
    const uint32_t more = op - kOpLiteral;
    Need(s, v, more);
    e = e->Subtable + (v.buf & kMaskBits[more]);
    op = e->Op;
  }
  Drop(v, e->Bits);
  return e;
}

uint16_t InflateCodes(InflateRun& run, const HuffmanEntry* tl, const HuffmanEntry* td, int32_t bl, int32_t bd) {
  ExtractionState& s = run.s;
  BitInput v = run.v;
  uint32_t w = run.w;
  uint8_t* const slide = s.Slide;
  const uint32_t ml = kMaskBits[bl];
  const uint32_t md = kMaskBits[bd];
  if (tl == nullptr) return 1;  // a code without any symbol: every lookup is invalid

  for (;;) {
    Need(s, v, static_cast<uint32_t>(bl));
    const HuffmanEntry* e = Decode(s, v, tl, ml);
    if (e == nullptr) return 1;
    const uint32_t op = e->Op;
    if (op == kOpLiteral) {
      slide[w++] = static_cast<uint8_t>(e->Value);
      if (w == kWindow) {
        s.FlushWindow(w);
        w = 0;
      }
      continue;
    }
    if (op == kOpEndOfBlock) break;

    // A length, then its distance.
    Need(s, v, op);
    uint32_t n = e->Value + (v.buf & kMaskBits[op]);
    Drop(v, op);
    if (td == nullptr) return 1;
    Need(s, v, static_cast<uint32_t>(bd));
    e = Decode(s, v, td, md);
    if (e == nullptr || e->Op > 13) return 1;
    const uint32_t dop = e->Op;
    Need(s, v, dop);
    uint32_t d = (w - e->Value - (v.buf & kMaskBits[dop])) & 0xFFFFu;
    Drop(v, dop);

    // Copy n bytes from d to w, in pieces that end at the window's end or the source's wrap.
    do {
      d &= kWindow - 1;
      uint32_t piece = kWindow - std::max(d, w);
      if (piece > n) piece = n;
      n -= piece;
      if (d > w || w - d >= piece) {
        // The source lies wholly before the destination, or after it (a forward byte copy
        // from ahead equals a move): one block.
        std::memmove(slide + w, slide + d, piece);
      } else {
        // Overlapping: the copy repeats the last w - d bytes. Whole 8-byte steps are exact
        // while the distance is at least 8.
        uint8_t* to = slide + w;
        const uint8_t* from = slide + d;
        uint32_t left = piece;
        if (w - d >= 8) {
          while (left >= 8) {
            std::memcpy(to, from, 8);
            to += 8;
            from += 8;
            left -= 8;
          }
        }
        while (left-- > 0) *to++ = *from++;
      }
      w += piece;
      d += piece;
      if (w == kWindow) {
        s.FlushWindow(w);
        w = 0;
      }
    } while (n != 0);
  }
  run.v = v;
  run.w = w;
  return 0;
}

uint16_t InflateStored(InflateRun& run) {
  ExtractionState& s = run.s;
  BitInput v = run.v;
  uint32_t w = run.w;
  Drop(v, v.cnt & 7);
  Need(s, v, 16);
  uint32_t n = v.buf & 0xFFFFu;
  Drop(v, 16);
  Need(s, v, 16);
  if ((~v.buf & 0xFFFFu) != n) return 1;
  Drop(v, 16);
  while (n > 0) {
    if (v.cnt == 0 && v.end > v.in) {
      // Byte-aligned and nothing held: move straight from the input buffer.
      uint32_t piece = std::min<uint32_t>({n, static_cast<uint32_t>(v.end - v.in), kWindow - w});
      std::memcpy(s.Slide + w, v.in, piece);
      v.in += piece;
      s.LastByte = v.in[-1];
      w += piece;
      n -= piece;
    } else {
      Need(s, v, 8);
      s.Slide[w++] = static_cast<uint8_t>(v.buf);
      Drop(v, 8);
      --n;
    }
    if (w == kWindow) {
      s.FlushWindow(w);
      w = 0;
    }
  }
  run.v = v;
  run.w = w;
  return 0;
}

uint16_t InflateFixed(InflateRun& run) {
  uint16_t lengths[288];
  std::fill(lengths, lengths + 144, 8);
  std::fill(lengths + 144, lengths + 256, 9);
  std::fill(lengths + 256, lengths + 280, 7);
  std::fill(lengths + 280, lengths + 288, 8);
  HuffmanTables tl;
  int32_t bl = kFixedLiteralBits;
  uint16_t r = BuildHuffmanTable(lengths, 288, 257, kLengthBase, kLengthExtra, tl.Ref(), bl);
  if (r != 0) return r;

  std::fill(lengths, lengths + 30, 5);
  HuffmanTables td;
  int32_t bd = kFixedDistanceBits;
  r = BuildHuffmanTable(lengths, 30, 0, kDistanceBase, kDistanceExtra, td.Ref(), bd);
  if (r > 1) return r;  // the fixed distance code is incomplete by design (codes 30, 31 unused)

  return InflateCodes(run, tl.Get(), td.Get(), bl, bd) != 0 ? 1 : 0;
}

uint16_t InflateDynamic(InflateRun& run) {
  ExtractionState& s = run.s;
  BitInput& v = run.v;
  Need(s, v, 5);
  const uint32_t nl = 257 + (v.buf & 0x1F);
  Drop(v, 5);
  Need(s, v, 5);
  const uint32_t nd = 1 + (v.buf & 0x1F);
  Drop(v, 5);
  Need(s, v, 4);
  const uint32_t nb = 4 + (v.buf & 0x0F);
  Drop(v, 4);
  if (nl > 286 || nd > 30) return 1;

  uint16_t ll[286 + 30] = {};
  for (uint32_t j = 0; j < nb; ++j) {
    Need(s, v, 3);
    ll[kCodeLengthOrder[j]] = static_cast<uint16_t>(v.buf & 7);
    Drop(v, 3);
  }
  for (uint32_t j = nb; j < 19; ++j) ll[kCodeLengthOrder[j]] = 0;

  {
    HuffmanTables tc;
    int32_t bc = kCodeLengthBits;
    const uint16_t r = BuildHuffmanTable(ll, 19, 19, nullptr, nullptr, tc.Ref(), bc);
    if (r != 0) return r;
    const HuffmanEntry* table = tc.Get();
    if (table == nullptr) return 1;
    const uint32_t mc = kMaskBits[bc];

    const uint32_t n = nl + nd;
    uint32_t i = 0;
    uint16_t l = 0;
    while (i < n) {
      Need(s, v, static_cast<uint32_t>(bc));
      const HuffmanEntry& e = table[v.buf & mc];
      // The filler of a lone one-bit code stands for no symbol.
      if (e.Op == kOpInvalid) return 1;
      Drop(v, e.Bits);
      const uint32_t symbol = e.Value;
      if (symbol < 16) {
        ll[i++] = l = static_cast<uint16_t>(symbol);
        continue;
      }
      uint32_t repeat;
      uint16_t value;
      if (symbol == 16) {
        Need(s, v, 2);
        repeat = 3 + (v.buf & 3);
        Drop(v, 2);
        value = l;
      } else if (symbol == 17) {
        Need(s, v, 3);
        repeat = 3 + (v.buf & 7);
        Drop(v, 3);
        value = l = 0;
      } else {
        Need(s, v, 7);
        repeat = 11 + (v.buf & 0x7F);
        Drop(v, 7);
        value = l = 0;
      }
      if (i + repeat > n) return 1;
      while (repeat-- > 0) ll[i++] = value;
    }
  }

  HuffmanTables tl;
  int32_t bl = kDynamicLiteralBits;
  uint16_t r = BuildHuffmanTable(ll, nl, 257, kLengthBase, kLengthExtra, tl.Ref(), bl);
  if (r != 0) return r;
  HuffmanTables td;
  int32_t bd = kDynamicDistanceBits;
  r = BuildHuffmanTable(ll + nl, nd, 0, kDistanceBase, kDistanceExtra, td.Ref(), bd);
  if (r != 0) return r;  // unlike the fixed block, an incomplete distance code is an error here

  return InflateCodes(run, tl.Get(), td.Get(), bl, bd) != 0 ? 1 : 0;
}

uint16_t InflateBlock(InflateRun& run, bool& last) {
  Need(run.s, run.v, 1);
  last = (run.v.buf & 1) != 0;
  Drop(run.v, 1);
  Need(run.s, run.v, 2);
  const uint32_t type = run.v.buf & 3;
  Drop(run.v, 2);
  switch (type) {
    case 0:
      return InflateStored(run);
    case 1:
      return InflateFixed(run);
    case 2:
      return InflateDynamic(run);
    default:
      return 2;
  }
}

}  // namespace

void SetHuffmanAllocationFailureForTesting(int32_t successes_before_failure) {
  g_allocations_before_failure = successes_before_failure;
}

void FreeHuffmanTables(HuffmanEntry* t) {
  while (t != nullptr) {
    HuffmanEntry* block = t - 1;
    HuffmanEntry* next = block->Subtable;
    delete[] block;
    t = next;
  }
}

uint16_t BuildHuffmanTable(const uint16_t* b, uint32_t n, uint32_t s, const uint16_t* d, const uint16_t* e,
                           HuffmanEntry*& t, int32_t& m) {
  t = nullptr;
  if (n > kMaxSymbols) return 2;

  // Codes of each length.
  uint32_t c[kMaxCodeLength + 1] = {};
  for (uint32_t i = 0; i < n; ++i) {
    if (b[i] > kMaxCodeLength) return 2;
    ++c[b[i]];
  }
  if (c[0] == n) {
    m = 0;
    return 0;
  }

  int jmin = 1;
  while (c[jmin] == 0) ++jmin;
  int g = kMaxCodeLength;
  while (c[g] == 0) --g;
  if (m < jmin) m = jmin;
  if (m > g) m = g;

  // Over-subscription check; the slots left over at the longest length become invalid codes.
  int32_t y = int32_t{1} << jmin;
  for (int j = jmin; j < g; ++j) {
    y -= static_cast<int32_t>(c[j]);
    if (y < 0) return 2;
    y <<= 1;
  }
  y -= static_cast<int32_t>(c[g]);
  if (y < 0) return 2;
  c[g] += static_cast<uint32_t>(y);

  // Symbols sorted by length, then by symbol.
  uint32_t next_index[kMaxCodeLength + 2] = {};
  for (int j = 1; j < g; ++j) next_index[j + 1] = next_index[j] + c[j];
  uint16_t v[kMaxSymbols];
  uint32_t listed = 0;
  for (uint32_t i = 0; i < n; ++i) {
    if (b[i] != 0) {
      v[next_index[b[i]]++] = static_cast<uint16_t>(i);
      ++listed;
    }
  }

  HuffmanEntry* tables[kMaxCodeLength] = {};  // the table open at each level
  uint32_t sizes[kMaxCodeLength] = {};
  uint32_t opened_at[kMaxCodeLength] = {};    // the code at which each level's table was opened
  HuffmanEntry* last_block = nullptr;
  int h = -1;
  int w = -m;
  uint32_t i = 0;
  uint32_t p = 0;

  auto fail = [&](uint16_t code) {
    FreeHuffmanTables(t);
    t = nullptr;
    return code;
  };

  for (int k = jmin; k <= g; ++k) {
    uint32_t a = c[k];
    while (a-- != 0) {
      // Open deeper tables until this code fits.
      while (k > w + m) {
        ++h;
        w += m;
        const int limit = std::min(g - w, m);
        int jt = k - w;
        uint32_t f = uint32_t{1} << jt;
        if (f > a + 1) {
          f -= a + 1;
          int xp = k;
          if (jt < limit) {
            while (++jt < limit) {
              f <<= 1;
              if (f <= c[++xp]) break;
              f -= c[xp];
            }
          }
        }
        const uint32_t z = uint32_t{1} << jt;
        HuffmanEntry* block = AllocateBlock(z + 1);
        if (block == nullptr) {
          fail(3);
          AppServices().MessageBox("*** inflate out of memory ***", "Error", MB_OK);
          return 3;
        }
        if (last_block == nullptr) {
          t = block + 1;
        } else {
          last_block->Subtable = block + 1;
        }
        last_block = block;
        tables[h] = block + 1;
        sizes[h] = z;
        opened_at[h] = i;
        if (h > 0) {
          const uint32_t index = i >> (w - m);
          if (index >= sizes[h - 1]) return fail(2);  // cannot happen for a checked set
          HuffmanEntry& link = tables[h - 1][index];
          link.Op = static_cast<uint8_t>(kOpLiteral + jt);
          link.Bits = static_cast<uint8_t>(m);
          link.Value = 0;
          link.Subtable = tables[h];
        }
      }

      HuffmanEntry r;
      r.Bits = static_cast<uint8_t>(k - w);
      if (p >= listed) {
        r.Op = kOpInvalid;
      } else if (v[p] < s) {
        r.Op = v[p] < 256 ? kOpLiteral : kOpEndOfBlock;
        r.Value = v[p++];
      } else {
        r.Op = static_cast<uint8_t>(e[v[p] - s] & 0xFF);
        r.Value = d[v[p] - s];
        ++p;
      }
      const uint32_t step = uint32_t{1} << (k - w);
      for (uint32_t j = i >> w; j < sizes[h]; j += step) tables[h][j] = r;

      // Next code of length k, counting in bit-reversed order.
      uint32_t bit = uint32_t{1} << (k - 1);
      while (i & bit) {
        i ^= bit;
        bit >>= 1;
      }
      i ^= bit;

      // Back out of tables whose codes are all placed.
      while (h > 0 && (i & ((uint32_t{1} << w) - 1)) != opened_at[h]) {
        --h;
        w -= m;
      }
    }
  }
  return (y != 0 && g != 1) ? 1 : 0;
}

uint16_t Inflate(ExtractionState& state) {
  InflateRun run{state, BitInput{state.InPtr, UsableEnd(state), 0, 0}, 0};
  try {
    bool last = false;
    do {
      const uint16_t r = InflateBlock(run, last);
      // A failed block leaves its position where it stopped; the entry ends here.
      if (r != 0) return r;
    } while (!last);
  } catch (const InputExhausted&) {
    return 1;
  }
  Sync(state, run.v);
  state.FlushWindow(run.w);
  state.FlushOutput();
  return 0;
}

}  // namespace corvina
