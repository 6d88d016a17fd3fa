#include "inflate/BufferStream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "inflate/StringResource.h"
#include "platform/Exception.h"

namespace corvina {

TS_BufferStream::TS_BufferStream(TStream& stream)
    : Stream(stream), Buffer(std::make_unique<uint8_t[]>(static_cast<size_t>(kStreamBufferSize))) {
  BufferSize_ = kStreamBufferSize;
  Cursor = nullptr;
  Limit = Buffer.get() + BufferSize_;
  Mode_ = TBufferMode::Idle;
}

TS_BufferStream::~TS_BufferStream() {
  if (Mode_ == TBufferMode::Writing) {
    try {
      FlushBuffer();
    } catch (...) {
      // A destructor cannot report it; the pending bytes are lost as with a short write.
    }
  }
}

void TS_BufferStream::RaiseSeekError() { throw EStreamError(LoadResMessage(kStreamStringTableName, SStreamSeekError)); }

int32_t TS_BufferStream::PendingOffset() const {
  switch (Mode_) {
    case TBufferMode::Reading: return static_cast<int32_t>(Cursor - Limit);
    case TBufferMode::Writing: return static_cast<int32_t>(Cursor - Buffer.get());
    case TBufferMode::Idle: break;
  }
  return 0;
}

int32_t TS_BufferStream::LogicalSize() {
  const int64_t logical = Stream.Position() + PendingOffset();
  const int64_t size = Stream.Size();
  return static_cast<int32_t>(std::max(logical, size));
}

bool TS_BufferStream::FillBuffer() {
  int32_t n = Stream.Read(Buffer.get(), BufferSize_);
  if (n < 0) n = 0;
  Cursor = Buffer.get();
  Limit = Buffer.get() + n;
  Mode_ = n > 0 ? TBufferMode::Reading : TBufferMode::Idle;
  BufferFilled();
  return n > 0;
}

bool TS_BufferStream::FlushBuffer() {
  const int32_t n = static_cast<int32_t>(Cursor - Buffer.get());
  const int32_t w = n > 0 ? Stream.Write(Buffer.get(), n) : 0;
  Cursor = Buffer.get();
  Mode_ = TBufferMode::Idle;
  BufferFlushed();
  return w == n;
}

void TS_BufferStream::BufferFilled() {
  if (OnBufferFilled) OnBufferFilled(*this);
}

void TS_BufferStream::BufferFlushed() {
  if (OnBufferFlushed) OnBufferFlushed(*this);
}

void TS_BufferStream::Restart() {
  const int64_t logical = Stream.Position() + PendingOffset();
  if (Mode_ == TBufferMode::Writing && !FlushBuffer()) RaiseSeekError();
  // After a complete flush the underlying stream is already there; a read buffer's unread bytes
  // are given back by moving the underlying stream to the logical position.
  if (Stream.Position() != logical) Stream.SetPosition(logical);
  Cursor = nullptr;
  Mode_ = TBufferMode::Idle;
}

int32_t TS_BufferStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (Mode_ == TBufferMode::Writing) Restart();
  // Outside Reading the buffer holds nothing to hand out (after a flush Cursor is at Buffer while
  // Limit is still the end of the write buffer): make it empty so the loop refills it.
  if (Mode_ != TBufferMode::Reading || Cursor == nullptr) {
    Cursor = Buffer.get();
    Limit = Cursor;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  int32_t done = 0;
  while (count > 0) {
    if (Cursor == Limit && !FillBuffer()) break;
    const int32_t n = std::min(static_cast<int32_t>(Limit - Cursor), count);
    std::memcpy(out, Cursor, static_cast<size_t>(n));
    Cursor += n;
    out += n;
    done += n;
    count -= n;
  }
  return done;
}

int32_t TS_BufferStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (Mode_ == TBufferMode::Reading) Restart();
  // Outside Writing nothing is pending: start an empty write buffer.
  if (Mode_ != TBufferMode::Writing || Cursor == nullptr) {
    Cursor = Buffer.get();
    Limit = Buffer.get() + BufferSize_;
  }
  const auto* in = static_cast<const uint8_t*>(buffer);
  int32_t taken = 0;
  while (count > 0) {
    const int32_t n = std::min(static_cast<int32_t>(Limit - Cursor), count);
    std::memcpy(Cursor, in, static_cast<size_t>(n));
    Cursor += n;
    in += n;
    taken += n;
    count -= n;
    if (Cursor == Limit && !FlushBuffer()) break;
  }
  if (Cursor != Buffer.get()) Mode_ = TBufferMode::Writing;
  return taken;
}

int32_t TS_BufferStream::Seek(int32_t offset, uint16_t origin) {
  const int64_t current = Stream.Position() + PendingOffset();
  int64_t target = 0;
  switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = current + offset; break;
    case soFromEnd: target = static_cast<int64_t>(LogicalSize()) - std::llabs(static_cast<long long>(offset)); break;
    default:
      throw Exception(Format(LoadResMessage(kStreamStringTableName, SStreamInvalidSeekOrigin), {int64_t{origin}}));
  }
  if (target == current) return static_cast<int32_t>(target);
  if (target < 0 || target > INT32_MAX) RaiseSeekError();
  if (Mode_ == TBufferMode::Writing && !FlushBuffer()) RaiseSeekError();
  Stream.SetPosition(target);
  Cursor = nullptr;
  Mode_ = TBufferMode::Idle;
  return static_cast<int32_t>(target);
}

void TS_BufferStream::PutBack(uint8_t b) {
  if (Mode_ != TBufferMode::Reading || Cursor == nullptr || Cursor <= Buffer.get()) {
    throw EStreamError(LoadResMessage(kStreamStringTableName, SStreamPutbackOverflow));
  }
  --Cursor;
  *Cursor = b;
}

TLFNFileStream::TLFNFileStream(const std::string& file_name, uint16_t mode)
    : FileStreamOwner{std::make_unique<TFileStream>(file_name, mode)}, TS_BufferStream(*FileStream) {}

FileHandle& TLFNFileStream::Handle() { return FileStream->Handle(); }

}  // namespace corvina
