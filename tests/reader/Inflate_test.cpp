// Inflate, driven through ExtractionState over an in-memory archive stream: real streams written
// by Info-ZIP `zip` at every level, and crafted streams for the block types, the header checks,
// the table builder's corner cases, window crossings and input that runs out. Crafted streams are
// written with a small test-side bit writer and a canonical code assigner of its own (RFC 1951,
// section 3.2.2), so the decoder's table builder is checked against an independent encoder.
#include <gtest/gtest.h>

// These tests drive a real extraction state, which needs the unzip component's declaration.
#if __has_include("zip/UnZipper.h")

#include "inflate/Inflate.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "inflate/Crc32.h"
#include "inflate/ExtractionState.h"
#include "platform/AppServices.h"
#include "platform/Stream.h"
#include "support/InfoZipArchive.h"
#include "zip/UnZipper.h"

namespace corvina::testing {
template <class T>
T& Deref(T& x) { return x; }
template <class T>
T& Deref(T* x) { return *x; }
template <class T>
T& Deref(const std::unique_ptr<T>& x) { return *x; }
}  // namespace corvina::testing

namespace corvina {
namespace {

using Bytes = std::vector<uint8_t>;

// --- A deflate writer for crafted streams -----------------------------------------------------

class BitWriter {
public:
  // value's bits, least significant first (header fields, extra bits).
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1u);
  }
  // A Huffman code: its most significant bit goes first.
  void Code(uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1u);
  }
  void AlignToByte() {
    while (count_ != 0) Bit(0);
  }
  void Byte(uint8_t b) { Bits(b, 8); }
  Bytes Finish() {
    AlignToByte();
    return bytes_;
  }

private:
  void Bit(uint32_t bit) {
    if (count_ == 0) bytes_.push_back(0);
    bytes_.back() = static_cast<uint8_t>(bytes_.back() | (bit << count_));
    count_ = (count_ + 1) & 7;
  }
  Bytes bytes_;
  int count_ = 0;
};

// Canonical codes from code lengths.
struct CanonicalCode {
  explicit CanonicalCode(const std::vector<int>& lengths) : lengths_(lengths), codes_(lengths.size()) {
    int count[17] = {};
    for (int l : lengths) ++count[l];
    count[0] = 0;
    int next[17] = {};
    int code = 0;
    for (int bits = 1; bits <= 16; ++bits) {
      code = (code + count[bits - 1]) << 1;
      next[bits] = code;
    }
    for (size_t n = 0; n < lengths.size(); ++n)
      if (lengths[n] != 0) codes_[n] = next[lengths[n]]++;
  }
  void Write(BitWriter& out, int symbol) const {
    ASSERT_NE(lengths_.at(symbol), 0) << "symbol " << symbol << " has no code";
    out.Code(static_cast<uint32_t>(codes_[symbol]), lengths_[symbol]);
  }
  std::vector<int> lengths_;
  std::vector<int> codes_;
};

std::vector<int> FixedLiteralLengths() {
  std::vector<int> l(288);
  for (int i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  return l;
}
const CanonicalCode& FixedLiterals() {
  static const CanonicalCode code(FixedLiteralLengths());
  return code;
}
const CanonicalCode& FixedDistances() {
  static const CanonicalCode code(std::vector<int>(30, 5));
  return code;
}

constexpr int kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr int kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                               193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr int kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Writes a match with the given literal/length and distance codes.
void WriteMatch(BitWriter& out, const CanonicalCode& lit, const CanonicalCode& dist, int length, int distance) {
  int lc = 28;
  while (kLengthBase[lc] > length) --lc;
  if (length == 258) lc = 28;
  lit.Write(out, 257 + lc);
  out.Bits(static_cast<uint32_t>(length - kLengthBase[lc]), kLengthExtra[lc]);
  int dc = 29;
  while (kDistBase[dc] > distance) --dc;
  dist.Write(out, dc);
  out.Bits(static_cast<uint32_t>(distance - kDistBase[dc]), kDistExtra[dc]);
}

// The code-length code used by the dynamic headers written here: all 19 symbols, 13 of length 4
// and 6 of length 5 (a complete code), sent with HCLEN = 19.
const CanonicalCode& CodeLengthCode() {
  static const CanonicalCode code([] {
    std::vector<int> l(19, 4);
    for (int s : {1, 2, 3, 13, 14, 15}) l[s] = 5;
    return l;
  }());
  return code;
}

// A dynamic block header. lengths_field overrides the HLIT field when given; the code lengths are
// sent as plain symbols 0..15 except runs of zeros, which use 17 and 18.
void WriteDynamicHeader(BitWriter& out, bool last, const std::vector<int>& lit, const std::vector<int>& dist) {
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  out.Bits(last ? 1 : 0, 1);
  out.Bits(2, 2);
  out.Bits(static_cast<uint32_t>(lit.size() - 257), 5);
  out.Bits(static_cast<uint32_t>(dist.size() - 1), 5);
  out.Bits(15, 4);
  for (int i = 0; i < 19; ++i) out.Bits(static_cast<uint32_t>(CodeLengthCode().lengths_[order[i]]), 3);
  std::vector<int> all(lit);
  all.insert(all.end(), dist.begin(), dist.end());
  for (size_t i = 0; i < all.size();) {
    size_t run = 0;
    while (all[i] == 0 && i + run < all.size() && all[i + run] == 0 && run < 138) ++run;
    if (run >= 11) {
      CodeLengthCode().Write(out, 18);
      out.Bits(static_cast<uint32_t>(run - 11), 7);
      i += run;
    } else if (run >= 3) {
      CodeLengthCode().Write(out, 17);
      out.Bits(static_cast<uint32_t>(run - 3), 3);
      i += run;
    } else {
      CodeLengthCode().Write(out, all[i]);
      ++i;
    }
  }
}

// Literal/length lengths with the given symbols set (the rest 0).
std::vector<int> Lengths(size_t count, std::initializer_list<std::pair<int, int>> set) {
  std::vector<int> l(count, 0);
  for (auto [symbol, length] : set) l.at(static_cast<size_t>(symbol)) = length;
  return l;
}

// --- The harness: one entry's compressed bytes as the archive ---------------------------------

struct Outcome {
  uint16_t result;
  Bytes output;
  uint32_t crc;
};

class InflateHarness {
public:
  Outcome Run(const Bytes& compressed, int32_t unpacked_size = 0x7FFFFFFF) {
    archive_ = std::make_unique<TMemoryStream>(compressed);
    output_ = std::make_unique<TMemoryStream>();
    testing::Deref(zipper_.CurrentEntry).PackedSize = static_cast<int32_t>(compressed.size());
    testing::Deref(zipper_.CurrentEntry).UnpackedSize = unpacked_size;
    testing::Deref(zipper_.CurrentEntry).BitFlags = 0;
    state_.ArchiveStream = archive_.get();
    state_.OutStream = output_.get();
    state_.ResetForEntry();
    const uint16_t r = Inflate(state_);
    return Outcome{r, output_->Data(), ~zipper_.RunningCrc};
  }
  ExtractionState& State() { return state_; }

private:
  TUnZipper zipper_{nullptr};
  ExtractionState state_{zipper_};
  std::unique_ptr<TMemoryStream> archive_;
  std::unique_ptr<TMemoryStream> output_;
};

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// --- Crafted streams ----------------------------------------------------------------------------

struct CraftedCase {
  const char* name;
  Bytes (*make)();
  uint16_t result;
  Bytes output;
};

Bytes EmptyStored() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(0, 2);
  w.AlignToByte();
  w.Bits(0x0000, 16);
  w.Bits(0xFFFF, 16);
  return w.Finish();
}

Bytes EmptyFixed() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  FixedLiterals().Write(w, 256);
  return w.Finish();
}

Bytes StoredBadComplement() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(0, 2);
  w.AlignToByte();
  w.Bits(3, 16);
  w.Bits(0x1234, 16);
  for (char c : std::string("abc")) w.Byte(static_cast<uint8_t>(c));
  return w.Finish();
}

Bytes StoredThenFixed() {
  BitWriter w;
  w.Bits(0, 1);
  w.Bits(0, 2);
  w.AlignToByte();
  w.Bits(5, 16);
  w.Bits(static_cast<uint32_t>(~5u & 0xFFFF), 16);
  for (char c : std::string("hello")) w.Byte(static_cast<uint8_t>(c));
  w.Bits(1, 1);
  w.Bits(1, 2);
  FixedLiterals().Write(w, '!');
  WriteMatch(w, FixedLiterals(), FixedDistances(), 5, 6);  // "hello" again
  FixedLiterals().Write(w, 256);
  return w.Finish();
}

Bytes BlockType3() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(3, 2);
  w.Bits(0, 16);
  return w.Finish();
}

Bytes HlitField(uint32_t field) {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(2, 2);
  w.Bits(field, 5);
  w.Bits(0, 5);
  w.Bits(15, 4);
  for (int i = 0; i < 19; ++i) w.Bits(4, 3);
  return w.Finish();
}
Bytes Hlit30() { return HlitField(30); }
Bytes Hlit31() { return HlitField(31); }

// Two runs of 138 zeros where 258 lengths are declared.
Bytes RepeatPastCounts() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(2, 2);
  w.Bits(0, 5);
  w.Bits(0, 5);
  w.Bits(15, 4);
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (int i = 0; i < 19; ++i) w.Bits(static_cast<uint32_t>(CodeLengthCode().lengths_[order[i]]), 3);
  for (int k = 0; k < 2; ++k) {
    CodeLengthCode().Write(w, 18);
    w.Bits(127, 7);
  }
  return w.Finish();
}

// A 16 (repeat the previous length) that runs past the declared counts.
Bytes PreviousRepeatPastCounts() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(2, 2);
  w.Bits(0, 5);
  w.Bits(0, 5);
  w.Bits(15, 4);
  static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  for (int i = 0; i < 19; ++i) w.Bits(static_cast<uint32_t>(CodeLengthCode().lengths_[order[i]]), 3);
  CodeLengthCode().Write(w, 18);
  w.Bits(127, 7);  // 138
  CodeLengthCode().Write(w, 18);
  w.Bits(106, 7);  // 117 -> 255
  CodeLengthCode().Write(w, 8);   // 256
  CodeLengthCode().Write(w, 16);  // 3 more: 259 > 258
  w.Bits(0, 2);
  return w.Finish();
}

// 'A' (1 bit), end (2 bits), length 3 (2 bits); the given distance lengths; then "A" + 3 copies.
Bytes DynamicWithDistances(std::vector<int> dist) {
  BitWriter w;
  const auto lit = Lengths(258, {{'A', 1}, {256, 2}, {257, 2}});
  WriteDynamicHeader(w, true, lit, dist);
  const CanonicalCode l(lit);
  const CanonicalCode d(dist);
  l.Write(w, 'A');
  l.Write(w, 257);
  d.Write(w, 0);
  l.Write(w, 256);
  return w.Finish();
}
Bytes SingleDistanceCodeOfLengthOne() { return DynamicWithDistances({1}); }
Bytes TwoDistanceCodesOfLengthTwo() { return DynamicWithDistances({2, 2}); }

// An incomplete literal/length code is refused as well.
Bytes IncompleteLiteralCode() {
  BitWriter w;
  WriteDynamicHeader(w, true, Lengths(257, {{'A', 2}, {256, 2}}), {1});
  return w.Finish();
}

// A length code in a block whose distance code has no codes at all.
Bytes MatchWithoutDistanceCodes() {
  BitWriter w;
  const auto lit = Lengths(258, {{'A', 1}, {256, 2}, {257, 2}});
  WriteDynamicHeader(w, true, lit, {0});
  const CanonicalCode l(lit);
  l.Write(w, 'A');
  l.Write(w, 257);
  return w.Finish();
}

// Fixed distance codes 30 and 31 do not exist.
Bytes FixedDistanceCode30() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  FixedLiterals().Write(w, 'a');
  FixedLiterals().Write(w, 257);
  w.Code(30, 5);
  FixedLiterals().Write(w, 256);
  return w.Finish();
}

// Literal/length symbol 286 is not a length.
Bytes FixedLengthCode286() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  FixedLiterals().Write(w, 'a');
  FixedLiterals().Write(w, 286);
  w.Code(0, 5);
  FixedLiterals().Write(w, 256);
  return w.Finish();
}

Bytes LongestMatchAtDistanceOne() {
  BitWriter w;
  w.Bits(1, 1);
  w.Bits(1, 2);
  FixedLiterals().Write(w, 'x');
  WriteMatch(w, FixedLiterals(), FixedDistances(), 258, 1);
  FixedLiterals().Write(w, 256);
  return w.Finish();
}

// A long code in the dynamic literal table, reached through a subtable: lengths 1, 2, ..., 14, 15,
// 15 give the literal 'z' a 15-bit code.
Bytes DeepCodes() {
  BitWriter w;
  std::vector<int> lit(258, 0);
  const int symbols[16] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 256, 'z'};
  for (int i = 0; i < 14; ++i) lit[symbols[i]] = i + 1;
  lit[256] = 15;
  lit['z'] = 15;
  WriteDynamicHeader(w, true, lit, {1});
  const CanonicalCode l(lit);
  for (int s : {'z', 'a', 'n', 'z', 'm', 'b'}) l.Write(w, s);
  l.Write(w, 256);
  return w.Finish();
}

TEST(InflateCrafted, BlocksHeadersAndCodes) {
  const CraftedCase cases[] = {
      {"empty stored block", EmptyStored, 0, {}},
      {"empty fixed block", EmptyFixed, 0, {}},
      {"stored block whose NLEN is not the complement", StoredBadComplement, 1, {}},
      {"stored block, then a fixed block matching into it", StoredThenFixed, 0, Text("hello!hello")},
      {"block type 3", BlockType3, 2, {}},
      {"HLIT field 30", Hlit30, 1, {}},
      {"HLIT field 31", Hlit31, 1, {}},
      {"zero repeat past HLIT + HDIST", RepeatPastCounts, 1, {}},
      {"previous-length repeat past HLIT + HDIST", PreviousRepeatPastCounts, 1, {}},
      {"single distance code of length 1", SingleDistanceCodeOfLengthOne, 0, Text("AAAA")},
      {"two distance codes of length 2 (incomplete)", TwoDistanceCodesOfLengthTwo, 1, {}},
      {"incomplete literal/length code", IncompleteLiteralCode, 1, {}},
      {"match in a block without distance codes", MatchWithoutDistanceCodes, 1, {}},
      {"fixed distance code 30", FixedDistanceCode30, 1, {}},
      {"fixed length code 286", FixedLengthCode286, 1, {}},
      {"258-byte match at distance 1", LongestMatchAtDistanceOne, 0, Bytes(259, 'x')},
      {"15-bit codes through subtables", DeepCodes, 0, Text("zanzmb")},
  };
  for (const CraftedCase& c : cases) {
    SCOPED_TRACE(c.name);
    InflateHarness h;
    const Bytes stream = c.make();
    const Outcome got = h.Run(stream);
    EXPECT_EQ(got.result, c.result);
    EXPECT_EQ(got.output, c.output);
    if (c.result == 0) {
      EXPECT_EQ(got.crc, Crc32Of(c.output.data(), c.output.size()));
    }
  }
}

// Literals up to just before the window's end, then matches that cross it, one whose source
// straddles the end, and one whose source lies wholly in the previous window's tail (after the
// flush, the source is ahead of the write position).
TEST(InflateCrafted, MatchesAcrossTheWindowBoundary) {
  Bytes expected;
  BitWriter w;
  // A stored block of 32700 bytes of a pattern without short repeats.
  const uint32_t stored = 32700;
  w.Bits(0, 1);
  w.Bits(0, 2);
  w.AlignToByte();
  w.Bits(stored, 16);
  w.Bits(~stored & 0xFFFF, 16);
  for (uint32_t i = 0; i < stored; ++i) {
    const auto b = static_cast<uint8_t>((i * 31 + (i >> 7)) & 0xFF);
    w.Byte(b);
    expected.push_back(b);
  }
  w.Bits(1, 1);
  w.Bits(1, 2);
  auto match = [&](int length, int distance) {
    WriteMatch(w, FixedLiterals(), FixedDistances(), length, distance);
    for (int i = 0; i < length; ++i) expected.push_back(expected[expected.size() - static_cast<size_t>(distance)]);
  };
  match(200, 5000);   // crosses 32768 in the middle
  match(258, 30);     // source straddles nothing, destination near the start of the new window
  match(258, 32768);  // the full window back
  match(100, 3);      // short overlapping pattern
  match(77, 9000);    // source in the previous window's tail
  FixedLiterals().Write(w, 256);
  InflateHarness h;
  const Outcome got = h.Run(w.Finish());
  EXPECT_EQ(got.result, 0);
  ASSERT_EQ(got.output.size(), expected.size());
  EXPECT_TRUE(got.output == expected);
  EXPECT_EQ(got.crc, Crc32Of(expected.data(), expected.size()));
}

// A fixed block whose data is cut off: past the end the last byte (0xFF) repeats, and 0xFF bits
// decode as literal 255 forever. The decoder must notice that it is reading far past the end.
TEST(InflateCrafted, InputThatNeverReachesItsEndCodeStops) {
  BitWriter w;
  w.Bits(0, 1);
  w.Bits(1, 2);
  for (int i = 0; i < 20; ++i) FixedLiterals().Write(w, 255);
  Bytes stream = w.Finish();
  stream.push_back(0xFF);
  InflateHarness h;
  const Outcome got = h.Run(stream);
  EXPECT_EQ(got.result, 1);
  EXPECT_TRUE(got.output.empty()) << "nothing of an unfinished window is written";
  EXPECT_GE(h.State().CompLeft, -ExtractionState::kMaxOverreadBytes - 1);
}

// --- Real streams ------------------------------------------------------------------------------

Bytes SampleData() {
  // Text with repeats, a stretch of noise, long runs, and more text: several blocks of all kinds.
  Bytes data;
  const std::string words[] = {"corvina ", "tallyframe ", "setup ", "archive ", "inflate ", "window "};
  uint32_t x = 12345;
  auto rnd = [&x] {
    x = x * 1664525u + 1013904223u;
    return x >> 8;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::string& word = words[rnd() % 6];
    data.insert(data.end(), word.begin(), word.end());
  }
  for (int i = 0; i < 40000; ++i) data.push_back(static_cast<uint8_t>(rnd()));
  data.insert(data.end(), 70000, 'Z');
  for (int i = 0; i < 30000; ++i) data.push_back(static_cast<uint8_t>('a' + rnd() % 4));
  return data;
}

TEST(InflateInfoZip, EveryLevelDecodesToTheOriginal) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  testing::TempDir dir;
  const Bytes big = SampleData();
  const Bytes small = Text("a short file: short, short, short.\n");
  testing::WriteBytes(dir.Path() / "big.bin", big);
  testing::WriteBytes(dir.Path() / "small.txt", small);
  for (int level = 1; level <= 9; ++level) {
    SCOPED_TRACE("level " + std::to_string(level));
    const std::string name = "l" + std::to_string(level) + ".zip";
    ASSERT_TRUE(testing::RunZip(dir.Path(), "-" + std::to_string(level) + " " + name + " big.bin small.txt"));
    const auto entries = testing::ReadRawEntries(testing::ReadBytes(dir.Path() / name));
    ASSERT_EQ(entries.size(), 2u);
    for (const auto& entry : entries) {
      SCOPED_TRACE(entry.name);
      ASSERT_EQ(entry.method, 8);
      InflateHarness h;
      const Outcome got = h.Run(entry.data, static_cast<int32_t>(entry.unpacked_size));
      EXPECT_EQ(got.result, 0);
      EXPECT_TRUE(got.output == (entry.name == "big.bin" ? big : small));
      EXPECT_EQ(got.crc, entry.crc);
    }
  }
}

TEST(InflateInfoZip, TruncatedStreamsEndWithoutOutputBeyondTheData) {
  if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
  testing::TempDir dir;
  const Bytes big = SampleData();
  testing::WriteBytes(dir.Path() / "big.bin", big);
  ASSERT_TRUE(testing::RunZip(dir.Path(), "-6 t.zip big.bin"));
  const auto entries = testing::ReadRawEntries(testing::ReadBytes(dir.Path() / "t.zip"));
  ASSERT_EQ(entries.size(), 1u);
  // (Cutting only the last byte is not among these: past the end the last byte is repeated, and
  // that can complete the final code, as a byte-wise reader would do too.)
  for (size_t keep : {size_t{0}, size_t{1}, size_t{2}, size_t{100}, entries[0].data.size() / 2,
                      entries[0].data.size() - 16}) {
    SCOPED_TRACE("first " + std::to_string(keep) + " bytes");
    Bytes cut(entries[0].data.begin(), entries[0].data.begin() + static_cast<long>(keep));
    InflateHarness h;
    const Outcome got = h.Run(cut, static_cast<int32_t>(entries[0].unpacked_size));
    EXPECT_NE(got.result, 0);
    EXPECT_LT(got.output.size(), big.size());
    EXPECT_TRUE(std::equal(got.output.begin(), got.output.end(), big.begin()))
        << "what was written is a prefix of the original";
  }
}

// --- The table builder ---------------------------------------------------------------------------

TEST(BuildHuffmanTable, ResultCodesAndLookupWidth) {
  struct Case {
    const char* name;
    std::vector<uint16_t> lengths;
    int32_t m_in;
    uint16_t result;
    int32_t m_out;
  } cases[] = {
      {"all lengths zero", {0, 0, 0}, 7, 0, 0},
      {"complete, width lowered to the longest code", {1, 2, 3, 3}, 7, 0, 3},
      {"complete, width raised to the shortest code", {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, 2, 0, 4},
      {"single code of length 1", {0, 1}, 7, 0, 1},
      {"single code of length 2 (incomplete)", {2, 0}, 7, 1, 2},
      {"two codes of length 2 (incomplete)", {2, 2}, 6, 1, 2},
      {"over-subscribed", {1, 1, 1}, 7, 2, 1},
      {"over-subscribed at a longer length", {1, 2, 2, 2}, 7, 2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HuffmanTables t;
    int32_t m = c.m_in;
    const uint16_t r = BuildHuffmanTable(c.lengths.data(), static_cast<uint32_t>(c.lengths.size()),
                                         static_cast<uint32_t>(c.lengths.size()), nullptr, nullptr, t.Ref(), m);
    EXPECT_EQ(r, c.result);
    if (r <= 1) {
      EXPECT_EQ(m, c.m_out);
    } else {
      EXPECT_EQ(t.Get(), nullptr);
    }
  }
}

TEST(BuildHuffmanTable, EntriesFollowTheCanonicalCode) {
  // Lengths 2, 1, 3, 3 for symbols 0..3: codes 10, 0, 110, 111 (first bit first).
  const std::vector<uint16_t> lengths = {2, 1, 3, 3};
  HuffmanTables t;
  int32_t m = 3;
  ASSERT_EQ(BuildHuffmanTable(lengths.data(), 4, 4, nullptr, nullptr, t.Ref(), m), 0);
  ASSERT_EQ(m, 3);
  // The table is indexed by the next bits, first bit in the lowest position.
  struct Expect {
    uint32_t index;
    uint16_t symbol;
    uint8_t bits;
  } expects[] = {{0b000, 1, 1}, {0b010, 1, 1}, {0b001, 0, 2}, {0b101, 0, 2}, {0b011, 2, 3}, {0b111, 3, 3}};
  for (const Expect& e : expects) {
    EXPECT_EQ(t.Get()[e.index].Value, e.symbol) << "index " << e.index;
    EXPECT_EQ(t.Get()[e.index].Bits, e.bits) << "index " << e.index;
    EXPECT_EQ(t.Get()[e.index].Op, kOpLiteral);
  }
}

class AppServicesRecorder : public IAppServices {
public:
  int32_t MessageDlg(const std::string&, MsgDlgType, const std::vector<MsgDlgBtn>&) override { return mrOk; }
  int32_t MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
    boxes.push_back(text + "|" + caption + "|" + std::to_string(style));
    return IDOK;
  }
  bool SelectDirectory(std::string&) override { return false; }
  bool OpenFileDialog(const std::string&, const std::string&, std::string&) override { return false; }
  void SetCursor(Cursor) override {}
  Cursor GetCursor() override { return Cursor::Default; }
  void ProcessMessages() override {}
  void Terminate(int) override {}
  std::vector<std::string> boxes;
};

TEST(BuildHuffmanTable, AllocationFailureShowsTheMessageAndGivesCode3) {
  auto recorder = std::make_shared<AppServicesRecorder>();
  SetAppServices(recorder);
  // Fifteen lengths 1..15 need a first-level table and subtables; let the second block fail.
  std::vector<uint16_t> lengths;
  for (uint16_t l = 1; l <= 15; ++l) lengths.push_back(l);
  lengths.push_back(15);
  HuffmanTables t;
  int32_t m = 9;
  SetHuffmanAllocationFailureForTesting(1);
  const uint16_t r = BuildHuffmanTable(lengths.data(), static_cast<uint32_t>(lengths.size()), 16, nullptr, nullptr,
                                       t.Ref(), m);
  SetHuffmanAllocationFailureForTesting(-1);
  SetAppServices(nullptr);
  EXPECT_EQ(r, 3);
  EXPECT_EQ(t.Get(), nullptr);
  ASSERT_EQ(recorder->boxes.size(), 1u);
  EXPECT_EQ(recorder->boxes[0], "*** inflate out of memory ***|Error|0");
}

}  // namespace
}  // namespace corvina

#endif  // __has_include("zip/UnZipper.h")
