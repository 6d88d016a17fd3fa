#include "platform/Stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "platform/Exception.h"
#include "platform/FileSystem.h"

namespace corvina {

namespace {
// Sets a value for the length of a scope and restores the previous one, also when an exception passes.
template <typename T>
class ScopedValue {
public:
  ScopedValue(T& target, T value) : target_(target), saved_(target) { target_ = value; }
  ~ScopedValue() { target_ = saved_; }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

private:
  T& target_;
  T saved_;
};

constexpr const char* kNoSeek = "Stream does not support seeking";
constexpr const char* kMemoryStreamGrowError = "Out of memory while expanding memory stream";
}  // namespace

// Each Seek's default routes to the other; a stream overrides at least one. Reaching one default
// straight from the other means the stream overrides neither: an error instead of endless recursion.
int32_t TStream::Seek(int32_t offset, uint16_t origin) {
  if (forwarding_ == Forwarding::To32) throw EStreamError(kNoSeek);
  ScopedValue<Forwarding> forwarding(forwarding_, Forwarding::To64);
  return static_cast<int32_t>(Seek64(offset, origin));
}

int64_t TStream::Seek64(int64_t offset, uint16_t origin) {
  if (forwarding_ == Forwarding::To64) throw EStreamError(kNoSeek);
  ScopedValue<Forwarding> forwarding(forwarding_, Forwarding::To32);
  return Seek(static_cast<int32_t>(offset), origin);
}

int64_t TStream::GetSize() {
  int64_t position = Seek64(0, soFromCurrent);
  int64_t size = Seek64(0, soFromEnd);
  Seek64(position, soFromBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(SWriteError);
}

TFileStream::TFileStream(const std::string& file_name, uint16_t mode) : file_name_(file_name) {
  std::string error;
  if (mode == fmCreate) {
    handle_ = FileSystem().Open(file_name, OpenMode::Create, error);
    if (!handle_) throw EFCreateError(Format(SFCreateError, {file_name, error}));
  } else {
    OpenMode open_mode = (mode & 0x03) != fmOpenRead ? OpenMode::ReadWrite : OpenMode::Read;
    handle_ = FileSystem().Open(file_name, open_mode, error);
    if (!handle_) throw EFOpenError(Format(SFOpenError, {file_name, error}));
  }
}

TFileStream::~TFileStream() = default;

int32_t TFileStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t n = handle_->Read(buffer, count);
  return n < 0 ? 0 : static_cast<int32_t>(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t n = handle_->Write(buffer, count);
  return n < 0 ? 0 : static_cast<int32_t>(n);
}

int64_t TFileStream::Seek64(int64_t offset, uint16_t origin) { return handle_->Seek(offset, origin); }

int64_t TFileStream::GetSize() { return handle_->Size(); }

void TFileStream::SetSize(int64_t size) {
  if (!handle_->Truncate(size)) throw EStreamError("Stream size could not be set");
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  const int64_t size = static_cast<int64_t>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  int64_t n = std::min<int64_t>(count, size - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int32_t>(n);
}

// Writing past the end grows the data (a gap left by a seek beyond the end reads as zeros). A growth
// the memory cannot hold is an error, and the data stays as it was.
int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (position_ > INT64_MAX - count) throw EStreamError(kMemoryStreamGrowError);
  const int64_t end = position_ + count;
  if (end > static_cast<int64_t>(data_.size())) {
    try {
      if (static_cast<uint64_t>(end) > data_.max_size()) throw std::length_error("memory stream");
      data_.resize(static_cast<size_t>(end));
    } catch (const std::exception&) {
      throw EStreamError(kMemoryStreamGrowError);
    }
  }
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  return count;
}

// Any position from 0 on may be set, past the end too; a target before the start becomes 0, and an
// unknown origin leaves the position as it is.
int64_t TMemoryStream::Seek64(int64_t offset, uint16_t origin) {
  int64_t base;
  switch (origin) {
    case soFromBeginning: base = 0; break;
    case soFromCurrent: base = position_; break;
    case soFromEnd: base = static_cast<int64_t>(data_.size()); break;
    default: return position_;
  }
  if (offset > 0 && base > INT64_MAX - offset) position_ = INT64_MAX;
  else position_ = std::max<int64_t>(base + offset, 0);
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  size = std::max<int64_t>(size, 0);
  try {
    if (static_cast<uint64_t>(size) > data_.max_size()) throw std::length_error("memory stream");
    data_.resize(static_cast<size_t>(size));
  } catch (const std::exception&) {
    throw EStreamError(kMemoryStreamGrowError);
  }
  if (position_ > size) position_ = size;
}

}  // namespace corvina
