// A TStream over a TMemoryStream that records every call that reaches it: the size each Read
// returned, the size each Write was given and took, and every Seek that moved the position. Tests
// of buffered streams put it underneath to see how their reads and writes reach the file. A write
// limit makes writes past a given total come up short, as on a full disk.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/Stream.h"

namespace corvina::testing {

class CountingStream : public TStream {
public:
  CountingStream() = default;
  explicit CountingStream(std::vector<uint8_t> data) : memory_(std::move(data)) {}

  int32_t Read(void* buffer, int32_t count) override {
    const int32_t got = memory_.Read(buffer, count);
    reads.push_back(got);
    return got;
  }
  int32_t Write(const void* buffer, int32_t count) override {
    writes.push_back(count);
    int64_t room = write_limit - written_total;
    int32_t allowed = static_cast<int32_t>(std::clamp<int64_t>(room, 0, count));
    const int32_t put = allowed > 0 ? memory_.Write(buffer, allowed) : 0;
    written_total += put;
    taken.push_back(put);
    return put;
  }
  int64_t Seek64(int64_t offset, uint16_t origin) override {
    const int64_t before = memory_.Position();
    const int64_t after = memory_.Seek64(offset, origin);
    if (after != before) moves.push_back(after);
    return after;
  }
  int64_t GetSize() override { return memory_.Size(); }

  const std::vector<uint8_t>& Data() const { return memory_.Data(); }
  void Clear() {
    reads.clear();
    writes.clear();
    taken.clear();
    moves.clear();
  }

  std::vector<int32_t> reads;   // what each Read returned
  std::vector<int32_t> writes;  // the count each Write was given
  std::vector<int32_t> taken;   // what each Write returned
  std::vector<int64_t> moves;   // the new position of each Seek that changed it
  int64_t write_limit = std::numeric_limits<int64_t>::max();  // total bytes writes may take

private:
  TMemoryStream memory_;
  int64_t written_total = 0;
};

}  // namespace corvina::testing
