#include "platform/Stream.h"

#include <algorithm>
#include <cstring>

#include "platform/Exception.h"
#include "platform/FileSystem.h"

namespace corvina {

// Each Seek's default routes to the other; a stream overrides at least one. The guard turns a
// stream that overrides neither into an error instead of endless recursion.
int32_t TStream::Seek(int32_t offset, uint16_t origin) {
  if (in_default_seek_) throw EStreamError("Stream does not support seeking");
  in_default_seek_ = true;
  int64_t result;
  try {
    result = Seek64(offset, origin);
  } catch (...) {
    in_default_seek_ = false;
    throw;
  }
  in_default_seek_ = false;
  return static_cast<int32_t>(result);
}

int64_t TStream::Seek64(int64_t offset, uint16_t origin) {
  if (in_default_seek_) throw EStreamError("Stream does not support seeking");
  in_default_seek_ = true;
  int64_t result;
  try {
    result = Seek(static_cast<int32_t>(offset), origin);
  } catch (...) {
    in_default_seek_ = false;
    throw;
  }
  in_default_seek_ = false;
  return result;
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
  if (count <= 0 || position_ >= static_cast<int64_t>(data_.size())) return 0;
  int64_t n = std::min<int64_t>(count, static_cast<int64_t>(data_.size()) - position_);
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0) return 0;
  if (position_ + count > static_cast<int64_t>(data_.size())) data_.resize(static_cast<size_t>(position_ + count));
  std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
  position_ += count;
  return count;
}

int64_t TMemoryStream::Seek64(int64_t offset, uint16_t origin) {
  switch (origin) {
    case soFromBeginning: position_ = offset; break;
    case soFromCurrent: position_ += offset; break;
    case soFromEnd: position_ = static_cast<int64_t>(data_.size()) + offset; break;
    default: break;
  }
  if (position_ < 0) position_ = 0;
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (position_ > size) position_ = size;
}

}  // namespace corvina
