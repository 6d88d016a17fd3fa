// CRC-32: published check values, and the eight-byte path against the one-byte step over every
// length and alignment a short buffer can have.
#include "inflate/Crc32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace corvina {
namespace {

uint32_t CrcOfText(const std::string& s) {
  return Crc32Of(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(Crc32, TableHoldsTheStandardEntries) {
  EXPECT_EQ(kCrcTable[0], 0x00000000u);
  EXPECT_EQ(kCrcTable[1], 0x77073096u);
  EXPECT_EQ(kCrcTable[128], 0xEDB88320u);
  EXPECT_EQ(kCrcTable[255], 0x2D02EF8Du);
  static_assert(UpdateCrc(0, 0) == 0, "the table is usable at compile time");
}

TEST(Crc32, KnownValues) {
  struct Case {
    std::string text;
    uint32_t crc;
  } cases[] = {
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"abc", 0x352441C2u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {std::string(32, '\0'), 0x190A55ADu},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CrcOfText(c.text), c.crc) << "text of length " << c.text.size();
    uint32_t reg = 0xFFFFFFFFu;
    for (char ch : c.text) reg = UpdateCrc(static_cast<uint8_t>(ch), reg);
    EXPECT_EQ(~reg, c.crc) << "one-byte step, length " << c.text.size();
  }
}

TEST(Crc32, FastPathEqualsByteStepForAllShortLengthsAndOffsets) {
  // Pseudo-random bytes with every bit position exercised.
  std::vector<uint8_t> data(64 + 16);
  uint32_t x = 0x12345678u;
  for (auto& b : data) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 24);
  }
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t length = 0; length <= 64; ++length) {
      for (uint32_t preset : {0xFFFFFFFFu, 0u, 0xA5A5A5A5u}) {
        ASSERT_EQ(UpdateCrcBuffer(preset, data.data() + offset, length),
                  UpdateCrcBytewise(preset, data.data() + offset, length))
            << "offset " << offset << " length " << length << " preset " << preset;
      }
    }
  }
}

TEST(Crc32, SplittingABufferDoesNotChangeTheResult) {
  std::vector<uint8_t> data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + (i >> 3));
  const uint32_t whole = UpdateCrcBuffer(0xFFFFFFFFu, data.data(), data.size());
  for (size_t cut : {size_t{1}, size_t{7}, size_t{8}, size_t{333}, size_t{999}}) {
    uint32_t reg = UpdateCrcBuffer(0xFFFFFFFFu, data.data(), cut);
    reg = UpdateCrcBuffer(reg, data.data() + cut, data.size() - cut);
    EXPECT_EQ(reg, whole) << "cut at " << cut;
  }
}

}  // namespace
}  // namespace corvina
