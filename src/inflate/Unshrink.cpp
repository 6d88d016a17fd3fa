#include "inflate/Unshrink.h"

#include <algorithm>
#include <cstring>

#include "inflate/ExtractionState.h"
#include "inflate/Inflate.h"

namespace corvina {
namespace {

constexpr uint32_t kFirstFreeCode = 257;
constexpr uint32_t kControlCode = 256;
constexpr uint32_t kMinCodeSize = 9;
constexpr uint32_t kMaxCodeSize = 13;

// The prefix table is 16-bit entries inside a byte work area; memcpy keeps the access free of
// aliasing questions and compiles to a plain load or store.
inline uint16_t Prefix(const uint8_t* slide, uint32_t code) {
  uint16_t value;
  std::memcpy(&value, slide + kUnshrinkPrefixOffset + 2 * code, 2);
  return value;
}
inline void SetPrefix(uint8_t* slide, uint32_t code, uint16_t value) {
  std::memcpy(slide + kUnshrinkPrefixOffset + 2 * code, &value, 2);
}

// The shared bit buffer's reader (FillBitBuffer and ReadBits) on local copies of BitBuf,
// BitCount and InputEnded, with the same 16-bit wrapping count.
struct CodeInput {
  ExtractionState& s;
  uint32_t buf;
  uint16_t cnt;
  bool ended = false;

  void Fill() {
    ended = true;
    uint16_t byte = 0;
    while (cnt < 25 && s.ReadByte(byte) == 8) {
      buf |= static_cast<uint32_t>(byte) << cnt;
      cnt = static_cast<uint16_t>(cnt + 8);
      ended = false;
    }
  }
  uint32_t Take(uint32_t n) {
    if (cnt < n) Fill();
    const uint32_t x = buf & kMaskBits[n];
    buf >>= n;
    cnt = static_cast<uint16_t>(cnt - n);
    return x;
  }
  void Store() {
    s.BitBuf = buf;
    s.BitCount = cnt;
    s.InputEnded = ended ? -1 : 0;
  }
};

// Appends n bytes to the output buffer, flushing it whenever it fills: the same bytes and the
// same flushes as n calls of OutByte.
inline void Emit(ExtractionState& s, const uint8_t* from, uint32_t n) {
  if (n < static_cast<uint32_t>(ExtractionState::kBufferUse - s.OutCount)) {
    // The common case: a short string that does not fill the buffer.
    uint8_t* to = s.OutPtr;
    for (uint32_t i = 0; i < n; ++i) to[i] = from[i];
    s.OutPtr = to + n;
    s.OutCount = static_cast<uint16_t>(s.OutCount + n);
    return;
  }
  while (n > 0) {
    const uint32_t piece = std::min<uint32_t>(n, ExtractionState::kBufferUse - s.OutCount);
    std::memcpy(s.OutPtr, from, piece);
    s.OutPtr += piece;
    s.OutCount = static_cast<uint16_t>(s.OutCount + piece);
    from += piece;
    n -= piece;
    if (s.OutCount == ExtractionState::kBufferUse) s.FlushOutput();
  }
}

}  // namespace

uint32_t PartialClear(ExtractionState& s, uint32_t next_free) {
  // A code of the range stays when another code of the range extends it; the others (the leaves)
  // become free. One pass finds the extended codes, a second frees the leaves; a parent outside
  // the range, or one already free, is left as it is.
  uint8_t* const slide = s.Slide;
  next_free = std::min(next_free, kUnshrinkMaxCodes);
  uint8_t extended[kUnshrinkMaxCodes] = {};
  for (uint32_t code = kFirstFreeCode; code < next_free; ++code) {
    const uint16_t parent = Prefix(slide, code);
    if (parent != kUnshrinkFreeCode && parent < next_free) extended[parent] = 1;
  }
  for (uint32_t code = kFirstFreeCode; code < next_free; ++code) {
    const uint16_t entry = Prefix(slide, code);
    SetPrefix(slide, code, extended[code] ? entry : kUnshrinkFreeCode);
  }
  uint32_t code = kFirstFreeCode;
  while (code < kUnshrinkMaxCodes && Prefix(slide, code) != kUnshrinkFreeCode) ++code;
  return code;
}

uint16_t Unshrink(ExtractionState& s) {
  uint8_t* const slide = s.Slide;
  uint8_t* const suffix = slide + kUnshrinkSuffixOffset;
  uint8_t* const stack = slide + kUnshrinkStackOffset;

  // Codes from 256 on start free with suffix 0: a damaged stream that reaches one before it is
  // defined (a first code of 256, say) reads 0, never what an earlier entry left in the work area.
  for (uint32_t code = kControlCode; code <= kUnshrinkMaxCodes; ++code) {
    SetPrefix(slide, code, kUnshrinkFreeCode);
    suffix[code] = 0;
  }
  for (uint32_t code = 0; code < kControlCode; ++code) {
    SetPrefix(slide, code, 0);
    suffix[code] = static_cast<uint8_t>(code);
  }

  CodeInput in{s, s.BitBuf, s.BitCount};
  uint32_t code_size = kMinCodeSize;
  uint32_t next_free = kFirstFreeCode;
  uint16_t result = 0;

  uint32_t previous = in.Take(code_size);
  if (!in.ended) {
    uint8_t first = static_cast<uint8_t>(previous);
    s.OutByte(first);
    for (;;) {
      uint32_t code = in.Take(code_size);
      if (in.ended) break;
      while (code == kControlCode) {
        const uint32_t subcode = in.Take(code_size);
        if (in.ended) break;
        if (subcode == 1) {
          ++code_size;
        } else if (subcode == 2) {
          next_free = PartialClear(s, next_free);
        }
        if (code_size > kMaxCodeSize) break;
        code = in.Take(code_size);
        if (in.ended) break;
      }
      if (in.ended) break;
      if (code_size > kMaxCodeSize || code >= kUnshrinkMaxCodes) {
        result = 1;  // wider codes than the tables hold
        break;
      }

      const uint32_t incoming = code;
      uint32_t sp = kUnshrinkStackSize;  // empty; the string grows downwards
      if (Prefix(slide, code) == kUnshrinkFreeCode) {
        // The code being defined right now: the previous string plus its own first byte.
        stack[--sp] = first;
        code = previous;
      }
      while (code >= kFirstFreeCode && sp > 0) {
        const uint16_t parent = Prefix(slide, code);
        if (parent == kUnshrinkFreeCode) {
          stack[--sp] = first;
          code = previous;
        } else {
          stack[--sp] = suffix[code];
          code = parent;
        }
      }
      if (sp == 0) {
        result = 1;  // a chain longer than any string of a valid stream
        break;
      }
      first = suffix[code];
      stack[--sp] = first;
      Emit(s, stack + sp, kUnshrinkStackSize - sp);

      if (next_free < kUnshrinkMaxCodes) {
        SetPrefix(slide, next_free, static_cast<uint16_t>(previous));
        suffix[next_free] = first;
        do {
          ++next_free;
        } while (next_free < kUnshrinkMaxCodes && Prefix(slide, next_free) != kUnshrinkFreeCode);
      }
      previous = incoming;
    }
  }
  in.Store();
  s.FlushOutput();
  return result;
}

}  // namespace corvina
