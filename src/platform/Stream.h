// The platform's streams: the abstract TStream, a file stream over the environment's file system,
// and a memory stream. Positions and sizes are 64-bit here; the reader's own streams narrow them
// to 32 bits where its format says so.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvina {

class FileHandle;

enum : uint16_t { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read (0 at the end, or for count <= 0).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  // Writes up to count bytes; returns how many were written.
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // The 32-bit seek; origin 0 beginning, 1 current, 2 end. Returns the new position.
  virtual int32_t Seek(int32_t offset, uint16_t origin);
  // The 64-bit seek. A stream overrides at least one of the two; the default of each routes to the other.
  virtual int64_t Seek64(int64_t offset, uint16_t origin);
  // Default: remember the position, seek to the end, seek back.
  virtual int64_t GetSize();
  virtual void SetSize(int64_t size);

  int64_t Position() { return Seek64(0, soFromCurrent); }
  void SetPosition(int64_t position) { Seek64(position, soFromBeginning); }
  int64_t Size() { return GetSize(); }

  // Read or write exactly count bytes, else EReadError "Stream read error" / EWriteError.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);

private:
  // Which default Seek is forwarding to the other one right now. When the other default is reached
  // directly from it, the stream overrides neither and the call fails instead of recursing; a
  // nested seek that an override makes on its own stream is still allowed.
  enum class Forwarding : uint8_t { None, To64, To32 };
  Forwarding forwarding_ = Forwarding::None;
};

// Open modes of TFileStream, as the Windows class library numbers them.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareExclusive = 0x0010,
  fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030,
  fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

// A file of the environment's file system (a Windows path in code page 1251). fmCreate creates or
// truncates it for writing (EFCreateError on failure); the other modes open an existing file
// (EFOpenError on failure). The sharing bits are accepted and not enforced.
class TFileStream : public TStream {
public:
  TFileStream(const std::string& file_name, uint16_t mode);
  ~TFileStream() override;
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek64(int64_t offset, uint16_t origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return file_name_; }
  // The open file, for the file-system calls that take one (its date, say).
  FileHandle& Handle() { return *handle_; }

private:
  std::string file_name_;
  std::unique_ptr<FileHandle> handle_;
};

// Bytes in memory. Any position from 0 on may be set (a target before the start becomes 0); a write
// past the end fills the gap with zeros. A growth the memory cannot hold raises EStreamError and
// changes nothing.
class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> data) : data_(std::move(data)) {}
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek64(int64_t offset, uint16_t origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;
  const std::vector<uint8_t>& Data() const { return data_; }
  std::vector<uint8_t>& Data() { return data_; }

private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace corvina
