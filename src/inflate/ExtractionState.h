// The state of one extraction run: the byte source that feeds the decoders an entry's compressed
// bytes (16000 at a time, decrypted in place, continued onto the next volume of a spanned
// archive), the bit readers on top of it, and the byte sink that collects decoded bytes and, at
// every flush, checks the entry's size, writes the output file, runs the CRC-32 and raises the
// progress events. The buffers are allocated once per run; the per-entry fields are reset by
// ResetForEntry before each entry.
//
// Why some of it looks the way it does:
// - ReadByte, NeedBits and DumpBits are inline and take bytes straight from InBuf; only a refill
//   (once per 16000 bytes) leaves this header. The decoders therefore make no call per byte into
//   another translation unit and none into a stream.
// - When a decoder reads past the end of the entry's compressed data, ReadByte returns 0 and the
//   bit readers repeat the last byte delivered (LastByte). Keeping that byte in the state, rather
//   than in a temporary of each call, makes the bits a decoder sees past the end a fixed function
//   of the input, so a faster reader that takes several bytes at once sees the same bits.
// - CompLeft keeps falling below 0 while a decoder asks past the end; Overrun() tells a decoder
//   when it has asked for more than any valid stream's look-ahead can need, so crafted data that
//   never reaches its end code cannot keep a decoder running on repeated bytes. It stops at
//   INT32_MIN instead of wrapping.
// - The component (TUnZipper) owns the entry record, the CRC register, the totals, the keys and
//   the events; this state refers to it. Moving to the next volume goes through the
//   OpenNextVolume hook, which the spanned-archive code installs.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>

namespace corvina {

class TStream;
class TUnZipper;

class ExtractionState {
public:
  static constexpr uint16_t kBufferUse = 16000;       // bytes moved per refill or flush
  static constexpr uint32_t kBufferSize = 16001;      // allocated size of InBuf and OutBuf
  static constexpr uint32_t kSlideSize = 32780;       // the decoders' work area
  static constexpr uint32_t kWindowSize = 32768;      // inflate's and explode's sliding window
  // More bytes past the end of the compressed data than a valid stream's look-ahead can take (a
  // lookup of at most 16 bits when no bit is held): a decoder that asks for more is reading noise.
  static constexpr int32_t kMaxOverreadBytes = 4;

  // Allocates the three buffers (the work area zeroed) for a run of the given component.
  explicit ExtractionState(TUnZipper& owner);
  ~ExtractionState();
  ExtractionState(const ExtractionState&) = delete;
  ExtractionState& operator=(const ExtractionState&) = delete;

  TUnZipper& Owner() { return owner_; }

  // Per-entry reset, before a decoder starts: bit buffer, counters and pointers, RunningCrc,
  // CompLeft from the entry's PackedSize (the encryption header already taken off), UncompLeft
  // from its UnpackedSize.
  void ResetForEntry();

  // --- Input -----------------------------------------------------------------------------------
  // Returns 8 and the next compressed byte, or 0 at the end of the entry's compressed data
  // (value then unchanged).
  int ReadByte(uint16_t& value) {
    if (CompLeft <= 0) {
      if (CompLeft > INT32_MIN) --CompLeft;
      return 0;
    }
    --CompLeft;
    if (InCount == 0 && !RefillInput()) return 0;
    value = *InPtr++;
    --InCount;
    return 8;
  }

  // Adds whole bytes above the k bits held in b until at least n bits are held; past the end of
  // the input the last byte delivered is added again.
  void NeedBits(unsigned n, uint32_t& b, uint16_t& k) {
    while (k < n) {
      ReadByte(LastByte);
      b |= static_cast<uint32_t>(LastByte) << k;
      k = static_cast<uint16_t>(k + 8);
    }
  }
  static void DumpBits(unsigned n, uint32_t& b, uint16_t& k) {
    b >>= n;
    k = static_cast<uint16_t>(k - n);
  }

  // Tops BitBuf up to at least 25 bits while input lasts; InputEnded is -1 when no byte came.
  void FillBitBuffer();
  // Takes n (at most 16) bits from BitBuf, least significant first.
  void ReadBits(unsigned n, uint16_t& x);
  // The 8-bit form used by unreduce.
  void ReadBits(unsigned n, uint8_t& x) {
    uint16_t wide = 0;
    ReadBits(n, wide);
    x = static_cast<uint8_t>(wide);
  }

  // True once a decoder has asked for more bytes past the end than any valid stream needs.
  bool Overrun() const { return CompLeft < -kMaxOverreadBytes; }

  // Refills InBuf from the archive (at most 16000 bytes, never past the entry's compressed data),
  // decrypting in place; false when nothing came. Raises EFatalUnzipError on a short read of a
  // single-volume archive.
  bool RefillInput();
  // Reads count bytes of the archive into buffer, continuing on the next volume of a spanned
  // archive (through OpenNextVolume) when this one ends; fewer only when there is no next volume.
  int32_t ReadArchive(uint8_t* buffer, int32_t count);

  // --- Output ----------------------------------------------------------------------------------
  void OutByte(uint8_t c) {
    *OutPtr++ = c;
    if (++OutCount == kBufferUse) FlushOutput();
  }
  // Passes the first n bytes of Slide to the output.
  void FlushWindow(uint32_t n);
  // Writes OutBuf out: size check (EBiggerThanUncompressed before anything is written), write,
  // CRC, FileBytesDone, the file and total percent events.
  void FlushOutput();
  // Decoder of stored entries (method 0).
  void CopyStored();
  // Runs the CRC over a buffer into the component's RunningCrc.
  void CrcBuffer(const uint8_t* buffer, uint16_t length);

  // --- State (the invariants hold between calls) -----------------------------------------------
  TStream* ArchiveStream = nullptr;  // the volume being read; not owned, replaced at a volume change
  TStream* OutStream = nullptr;      // the current entry's output file; not owned
  // Opens volume n (1-based) of a spanned archive, makes it current and returns its stream. Empty
  // until the spanned-archive code installs it; without it a short read is premature end of file.
  std::function<TStream*(int32_t volume)> OpenNextVolume;

  uint8_t* InBuf = nullptr;   // kBufferSize bytes; [InPtr, InPtr + InCount) not yet delivered
  uint8_t* InPtr = nullptr;
  uint16_t InCount = 0;
  // Compressed bytes of the entry not yet delivered; InCount plus the bytes still in the archive
  // while it is >= 0, then minus the bytes asked for past the end.
  int32_t CompLeft = 0;
  uint16_t LastByte = 0;      // the last byte ReadByte delivered through the bit readers

  uint32_t BitBuf = 0;        // unshrink and unreduce: bits not yet taken, least significant first
  uint16_t BitCount = 0;      // valid bits in BitBuf
  int32_t InputEnded = 0;     // -1 when the last FillBitBuffer got no byte

  uint8_t* OutBuf = nullptr;  // kBufferSize bytes; [OutBuf, OutPtr) pending, OutCount of them
  uint8_t* OutPtr = nullptr;
  uint16_t OutCount = 0;
  int32_t FileBytesDone = 0;  // bytes of the current entry written so far

  uint8_t* Slide = nullptr;   // kSlideSize bytes, zeroed once per run; never cleared between entries
  int32_t UncompLeft = 0;     // the entry's UnpackedSize; explode and unreduce count it down

  // The driver's side of the run: the entries still counted as extracted (the marked ones, less
  // every entry ExtractEntry skipped or failed), and whether the entry just done is to be
  // extracted again because a new password came.
  int32_t ExtractedCount = 0;
  bool RetryEntry = false;

private:
  TUnZipper& owner_;
  std::unique_ptr<uint8_t[]> in_storage_;
  std::unique_ptr<uint8_t[]> out_storage_;
  std::unique_ptr<uint8_t[]> slide_storage_;
};

}  // namespace corvina
