#include "inflate/Unreduce.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "inflate/ExtractionState.h"
#include "inflate/Inflate.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

constexpr uint32_t kWindow = kUnreduceWindowSize;
constexpr uint32_t kRunMarker = 144;  // introduces a back reference; 144, 0 is the byte itself

// Per factor 1..4 (index factor - 1): the length bits of the first byte after the marker, and how
// the rest of it becomes the distance's high byte.
constexpr uint32_t kLengthMask[4] = {127, 63, 31, 15};
constexpr uint32_t kDistanceShift[4] = {7, 6, 5, 4};
constexpr uint32_t kDistanceMask[4] = {1, 3, 7, 15};

// Bits of an index into a follower set of x entries: the bits of x - 1, at least 1.
constexpr std::array<uint8_t, 64> kIndexBits = [] {
  std::array<uint8_t, 64> bits{};
  for (uint32_t x = 0; x < 64; ++x) {
    uint8_t b = 1;
    while (x > 0 && (1u << b) < x) ++b;
    bits[x] = b;
  }
  return bits;
}();

// The shared bit buffer's reader on local copies. It delivers the bits of FillBitBuffer and
// ReadBits (the input's bits, then zeros); once the input has ended every read tries to fill
// again, so each one costs a ReadByte past the end and ExtractionState::Overrun soon tells the
// decoder that it is reading noise.
struct ReduceInput {
  ExtractionState& s;
  uint32_t buf;
  uint32_t cnt;

  uint32_t Take(uint32_t n) {
    if (cnt < n) {
      uint16_t byte = 0;
      while (cnt < 25 && s.ReadByte(byte) == 8) {
        buf |= static_cast<uint32_t>(byte) << cnt;
        cnt += 8;
      }
      if (cnt < n) {
        const uint32_t x = buf;  // what is left, zeros above it
        buf = 0;
        cnt = 0;
        s.InputEnded = -1;
        return x;
      }
    }
    const uint32_t x = buf & kMaskBits[n];
    buf >>= n;
    cnt -= n;
    return x;
  }
  void Store() {
    s.BitBuf = buf;
    s.BitCount = static_cast<uint16_t>(cnt);
  }
};

// The window and the counters of one run.
struct ReduceWindow {
  ExtractionState& s;
  uint8_t* bytes;
  uint32_t w = 0;
  bool first_window = true;  // until the window first fills, positions >= w are not this entry's

  void Put(uint8_t c) {
    bytes[w++] = c;
    if (w == kWindow) Wrap();
  }
  void Wrap() {
    s.FlushWindow(kWindow);
    w = 0;
    first_window = false;
  }
  // Copies n bytes from d (a 16-bit position; only its low 14 bits count).
  void Copy(uint32_t d, uint32_t n) {
    do {
      d &= kWindow - 1;
      uint32_t piece = kWindow - std::max(d, w);
      if (piece > n) piece = n;
      n -= piece;
      if (first_window && d >= w) {
        std::memset(bytes + w, 0, piece);  // before the entry's first byte
      } else if (d < w && w - d < piece) {
        // Overlapping: a forward byte copy repeats the last w - d bytes.
        uint8_t* to = bytes + w;
        const uint8_t* from = bytes + d;
        for (uint32_t i = 0; i < piece; ++i) to[i] = from[i];
      } else {
        std::memmove(bytes + w, bytes + d, piece);
      }
      w += piece;
      d += piece;
      if (w == kWindow) Wrap();
    } while (n != 0);
  }
};

void LoadFollowersFrom(ReduceInput& in, uint8_t* followers, uint8_t counts[256]) {
  for (int x = 255; x >= 0; --x) {
    counts[x] = static_cast<uint8_t>(in.Take(6));
    uint8_t* row = followers + kUnreduceFollowerRow * static_cast<uint32_t>(x);
    for (uint32_t i = 0; i < counts[x]; ++i) row[i] = static_cast<uint8_t>(in.Take(8));
    // An index can point past the set's count (it has enough bits for the next power of two):
    // such a follower reads 0, never whatever an earlier entry left in the work area.
    std::memset(row + counts[x], 0, kUnreduceFollowerRow - counts[x]);
  }
}

}  // namespace

void LoadFollowers(ExtractionState& s, uint8_t counts[256]) {
  ReduceInput in{s, s.BitBuf, s.BitCount};
  LoadFollowersFrom(in, s.Slide + kUnreduceFollowersOffset, counts);
  in.Store();
}

uint16_t Unreduce(ExtractionState& s) {
  const uint16_t method = s.Owner().CurrentEntry.Method;
  if (method < 2 || method > 5) {
    s.FlushOutput();
    return kUnreduceBadMethod;
  }
  const uint32_t f = method - 2u;  // factor - 1
  const uint32_t length_mask = kLengthMask[f];
  const uint32_t distance_shift = kDistanceShift[f];
  const uint32_t distance_mask = kDistanceMask[f];

  uint8_t* const followers = s.Slide + kUnreduceFollowersOffset;
  uint8_t counts[256];
  ReduceInput in{s, s.BitBuf, s.BitCount};
  s.InputEnded = 0;
  LoadFollowersFrom(in, followers, counts);

  ReduceWindow out{s, s.Slide};
  int32_t left = s.UncompLeft;
  uint32_t previous = 0;
  uint32_t state = 0;
  uint32_t v = 0;
  uint32_t len = 0;
  uint16_t result = 0;
  while (left > 0) {
    if (s.Overrun()) {
      result = kUnreduceInputOverrun;
      break;
    }
    uint32_t c;
    const uint32_t count = counts[previous];
    if (count == 0 || in.Take(1) != 0) {
      c = in.Take(8);
    } else {
      c = followers[kUnreduceFollowerRow * previous + in.Take(kIndexBits[count])];
    }

    switch (state) {
      case 0:
        if (c == kRunMarker) {
          state = 1;
        } else {
          out.Put(static_cast<uint8_t>(c));
          --left;
        }
        break;
      case 1:
        if (c == 0) {
          out.Put(static_cast<uint8_t>(kRunMarker));
          --left;
          state = 0;
        } else {
          v = c;
          len = v & length_mask;
          state = len == length_mask ? 2 : 3;
        }
        break;
      case 2:
        len += c;
        state = 3;
        break;
      default: {
        const uint32_t n = len + 3;
        const uint32_t distance = ((v >> distance_shift) & distance_mask) * 256 + c + 1;
        left -= static_cast<int32_t>(n);
        out.Copy((out.w - distance) & 0xFFFFu, n);
        state = 0;
        break;
      }
    }
    previous = c;
  }
  in.Store();
  s.UncompLeft = left;
  s.FlushWindow(out.w);
  s.FlushOutput();
  return result;
}

}  // namespace corvina
