#include "inflate/ExtractionState.h"

// The state works on the component's fields; it is built once the component's declaration is in
// the tree (until then the reader has no extraction run to serve).
#if __has_include("zip/UnZipper.h")

#include <algorithm>
#include <cstring>

#include "inflate/Crc32.h"
#include "inflate/Crypt.h"
#include "inflate/Support.h"
#include "platform/AppServices.h"
#include "platform/Stream.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

// The component holds its entry and end records either directly or through an owning pointer.
template <class T>
T& Deref(T& x) { return x; }
template <class T>
T& Deref(T* x) { return *x; }
template <class T>
T& Deref(const std::unique_ptr<T>& x) { return *x; }

// The component keeps the cipher state in three fields; decryption works on a CipherKeys copy.
CipherKeys KeysOf(const TUnZipper& z) { return CipherKeys{z.Key0, z.Key1, z.Key2}; }
void StoreKeys(TUnZipper& z, const CipherKeys& k) {
  z.Key0 = k.Key0;
  z.Key1 = k.Key1;
  z.Key2 = k.Key2;
}

void DecryptInPlace(TUnZipper& z, uint8_t* buffer, uint32_t length) {
  CipherKeys keys = KeysOf(z);
  DecryptBuffer(keys, buffer, length);
  StoreKeys(z, keys);
}

}  // namespace

ExtractionState::ExtractionState(TUnZipper& owner)
    : owner_(owner),
      in_storage_(new uint8_t[kBufferSize]()),
      out_storage_(new uint8_t[kBufferSize]()),
      slide_storage_(new uint8_t[kSlideSize]()) {
  InBuf = in_storage_.get();
  OutBuf = out_storage_.get();
  Slide = slide_storage_.get();
  InPtr = InBuf;
  OutPtr = OutBuf;
}

ExtractionState::~ExtractionState() = default;

void ExtractionState::ResetForEntry() {
  BitBuf = 0;
  BitCount = 0;
  InputEnded = 0;
  FileBytesDone = 0;
  InCount = 0;
  InPtr = InBuf;
  LastByte = 0;
  OutCount = 0;
  OutPtr = OutBuf;
  owner_.RunningCrc = 0xFFFFFFFFu;
  CompLeft = Deref(owner_.CurrentEntry).PackedSize;
  UncompLeft = Deref(owner_.CurrentEntry).UnpackedSize;
}

int32_t ExtractionState::ReadArchive(uint8_t* buffer, int32_t count) {
  int32_t got = count > 0 ? std::max<int32_t>(ArchiveStream->Read(buffer, count), 0) : 0;
  if (got == count) return got;
  const bool spanned = Deref(owner_.EndRecord).ThisDisk != 0;
  if (!spanned || !owner_.OnGetNextDisk || !OpenNextVolume) return got;
  while (got < count) {
    // The volume request raises EUserCanceled when the user gives up; nothing here loops
    // without asking.
    ArchiveStream = OpenNextVolume(owner_.CurrentDisk + 2);
    got += std::max<int32_t>(ArchiveStream->Read(buffer + got, count - got), 0);
  }
  return got;
}

bool ExtractionState::RefillInput() {
  TZipHeaderInfo& entry = Deref(owner_.CurrentEntry);
  if (owner_.DoProcessMessages) AppServices().ProcessMessages();
  const int32_t n = std::clamp<int32_t>(entry.PackedSize, 0, kBufferUse);
  entry.PackedSize -= n;
  const int32_t got = ReadArchive(InBuf, n);
  if (got < n) throw EFatalUnzipError("Premature end of file reached");
  InCount = static_cast<uint16_t>(got);
  if (entry.IsEncrypted()) DecryptInPlace(owner_, InBuf, static_cast<uint32_t>(got));
  InPtr = InBuf;
  return InCount != 0;
}

void ExtractionState::FillBitBuffer() {
  InputEnded = -1;
  uint16_t value = 0;
  while (BitCount < 25 && ReadByte(value) == 8) {
    BitBuf |= static_cast<uint32_t>(value) << BitCount;
    BitCount = static_cast<uint16_t>(BitCount + 8);
    InputEnded = 0;
  }
}

void ExtractionState::ReadBits(unsigned n, uint16_t& x) {
  static constexpr uint16_t kMask[17] = {0x0000, 0x0001, 0x0003, 0x0007, 0x000F, 0x001F, 0x003F, 0x007F, 0x00FF,
                                         0x01FF, 0x03FF, 0x07FF, 0x0FFF, 0x1FFF, 0x3FFF, 0x7FFF, 0xFFFF};
  if (BitCount < n) FillBitBuffer();
  x = static_cast<uint16_t>(BitBuf & kMask[n]);
  BitBuf >>= n;
  BitCount = static_cast<uint16_t>(BitCount - n);
}

void ExtractionState::FlushWindow(uint32_t n) {
  const uint8_t* from = Slide;
  while (n > 0) {
    const uint32_t piece = std::min<uint32_t>(n, kBufferUse - OutCount);
    std::memcpy(OutPtr, from, piece);
    OutPtr += piece;
    OutCount = static_cast<uint16_t>(OutCount + piece);
    from += piece;
    n -= piece;
    if (OutCount == kBufferUse) FlushOutput();
  }
}

void ExtractionState::FlushOutput() {
  if (OutCount == 0) return;
  TZipHeaderInfo& entry = Deref(owner_.CurrentEntry);
  if (OutStream->Position() + OutCount > static_cast<int64_t>(entry.UnpackedSize))
    throw EBiggerThanUncompressed("File is larger than uncompressed size!");
  OutStream->Write(OutBuf, OutCount);
  CrcBuffer(OutBuf, OutCount);
  FileBytesDone += OutCount;
  if (owner_.OnFilePercentDone) owner_.OnFilePercentDone(&owner_, Percentage(entry.UnpackedSize, FileBytesDone));
  if (owner_.OnTotalPercentDone) {
    owner_.TotalDone += OutCount;
    owner_.OnTotalPercentDone(&owner_, BigPercentage(owner_.TotalBytes, owner_.TotalDone));
  }
  OutCount = 0;
  OutPtr = OutBuf;
}

// A stored entry goes straight from the archive to OutBuf. It crosses onto the next volume like
// the decoders' input does, so a stored entry split between volumes extracts whole; an entry cut
// short by the end of the archive writes only the bytes that are there and then stops, and the CRC
// comparison reports it (no bytes left over from an earlier chunk reach the file).
void ExtractionState::CopyStored() {
  TZipHeaderInfo& entry = Deref(owner_.CurrentEntry);
  while (entry.PackedSize > 0) {
    const int32_t count = std::min<int32_t>(entry.PackedSize, kBufferUse);
    const int32_t got = ReadArchive(OutBuf, count);
    if (entry.IsEncrypted()) DecryptInPlace(owner_, OutBuf, static_cast<uint32_t>(got));
    entry.PackedSize -= count;
    OutCount = static_cast<uint16_t>(got);
    FlushOutput();
    if (got < count) break;
  }
  OutCount = 0;
  OutPtr = OutBuf;
}

void ExtractionState::CrcBuffer(const uint8_t* buffer, uint16_t length) {
  owner_.RunningCrc = UpdateCrcBuffer(owner_.RunningCrc, buffer, length);
}

}  // namespace corvina

#endif  // __has_include("zip/UnZipper.h")
