// The reader's buffered streams. TS_BufferStream puts one 8192-byte buffer in front of any TStream,
// so the directory loader's many small reads and the decoders' 16000-byte reads and writes reach
// the file in large pieces; TLFNFileStream opens a named file as a TFileStream, owns it and buffers
// it. Each stream object is used for reading or for writing; a change of direction still works
// (it behaves as a seek to the logical position).
//
// Choices a reader would not guess:
// - Positions are 32-bit, as the reader's format is; the 64-bit Seek of TStream routes to the
//   32-bit one. A seek whose target would fall before the start or past 2 GiB raises "Seek error"
//   and changes nothing.
// - A seek to the current logical position changes nothing, so reading Position never disturbs
//   the buffer; any other seek empties it. Asking for the size (the TStream default: seek to the
//   end and back) therefore empties a read buffer unless the position is already at the end.
// - Origin 2 ignores the sign of the offset: 10 and -10 both mean ten bytes before the end, where
//   the end counts pending output past the end of the underlying file.
// - Read and Write copy with memcpy between the caller and the buffer; the underlying stream is
//   called once per buffer, never per byte.
// - PutBack only steps back over bytes of the current read buffer; anywhere else it raises
//   "Putback overflow" instead of overwriting pending output.
// - The error texts come from the "S_Stream" string table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Stream.h"

namespace corvina {

class FileHandle;

// The size of every stream buffer (a process-wide setting that nothing changes).
inline constexpr int32_t kStreamBufferSize = 8192;

enum class TBufferMode : uint8_t { Idle = 0, Reading = 1, Writing = 2 };

class TS_BufferStream : public TStream {
public:
  using Notification = std::function<void(TS_BufferStream&)>;

  // Buffers the stream, which stays the caller's.
  explicit TS_BufferStream(TStream& stream);
  // Flushes pending output (a failure is ignored) and frees the buffer.
  ~TS_BufferStream() override;
  TS_BufferStream(const TS_BufferStream&) = delete;
  TS_BufferStream& operator=(const TS_BufferStream&) = delete;

  // Bytes copied to buffer; fewer than count only at the end of the underlying data.
  int32_t Read(void* buffer, int32_t count) override;
  // Bytes taken; stops early when the underlying stream takes a buffer only in part.
  int32_t Write(const void* buffer, int32_t count) override;
  // Origin 0 from the start, 1 from the logical position, 2 before the logical end (sign ignored);
  // any other origin raises Exception "Invalid seek origin (%d)". Returns the new position.
  int32_t Seek(int32_t offset, uint16_t origin) override;

  // Refills the buffer from the underlying stream; false at its end.
  virtual bool FillBuffer();
  // Writes the pending bytes; false when the underlying stream took fewer. The pending bytes are
  // dropped either way.
  virtual bool FlushBuffer();
  // Steps back one byte in the read buffer and stores b there, so the next Read returns it first.
  virtual void PutBack(uint8_t b);
  virtual void BufferFilled();
  virtual void BufferFlushed();

  // The difference between the logical position and the underlying stream's: the unread bytes
  // (zero or negative) while reading, the pending bytes while writing, 0 when idle.
  int32_t PendingOffset() const;
  // The larger of the logical position and the underlying stream's size.
  int32_t LogicalSize();

  TBufferMode Mode() const { return Mode_; }
  int32_t BufferSize() const { return BufferSize_; }

  Notification OnBufferFilled;   // after every refill, when set
  Notification OnBufferFlushed;  // after every flush, when set

protected:
  TStream& Stream;  // the underlying stream; not owned

private:
  // A change of direction: flush pending output (raising "Seek error" when that fails), put the
  // underlying stream at the logical position, and leave the buffer empty.
  void Restart();
  [[noreturn]] void RaiseSeekError();

  // Buffer: BufferSize_ bytes, owned.
  // Cursor: the next byte to hand out (reading) or to fill (writing); null when the buffer holds
  //   nothing and must be refilled or restarted on next use.
  // Limit: one past the valid data (reading) or the end of the buffer (writing).
  // Invariants: Reading: Buffer <= Cursor <= Limit, and the bytes in [Cursor, Limit) are unread file
  //   bytes ending at the underlying stream's position. Writing: [Buffer, Cursor) is pending output
  //   that belongs at the underlying stream's position, and Limit = Buffer + BufferSize_. Idle: no
  //   bytes are pending; Cursor is null, or (after the end of the data or a flush) at Buffer.
  std::unique_ptr<uint8_t[]> Buffer;
  uint8_t* Cursor = nullptr;
  uint8_t* Limit = nullptr;
  int32_t BufferSize_ = kStreamBufferSize;
  TBufferMode Mode_ = TBufferMode::Idle;
};

namespace buffer_stream_detail {
// Holds the file stream of a TLFNFileStream in a base that is built before the buffered stream
// and destroyed after it, so the buffered stream's final flush still has its file.
struct FileStreamOwner {
  std::unique_ptr<TFileStream> FileStream;
};
}  // namespace buffer_stream_detail

class TLFNFileStream : private buffer_stream_detail::FileStreamOwner, public TS_BufferStream {
public:
  // Opens file_name (passed on unchanged) as a TFileStream with that open mode: 32 or 0 to read
  // (EFOpenError when it cannot be opened), 65535 to create or truncate (EFCreateError).
  TLFNFileStream(const std::string& file_name, uint16_t mode);
  // Flushes pending output, then closes the file.
  ~TLFNFileStream() override = default;

  // The open file; its GetDate gives the file's date.
  FileHandle& Handle();
  TFileStream& File() { return *FileStream; }
};

}  // namespace corvina
