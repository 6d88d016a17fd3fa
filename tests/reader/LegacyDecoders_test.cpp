// Explode, unshrink and unreduce, driven through a real ExtractionState over in-memory streams.
//
// Crafted streams come from small encoders written here with an LSB-first bit writer: an implode
// writer (compact tree descriptions, Shannon-Fano codes as the complement of the canonical code of
// the same lengths, sent most significant bit first), an LZW code writer for shrunk data and a
// follower-set writer for reduced data. Where a case is longer than a few bytes its expected output
// comes from a plain model of the format (a growing byte vector, no window, references before the
// first byte read as 0), so the decoders' window, flush and table mechanics are checked against an
// independent description. The slide work area is filled with 0xEE before each run so that
// references before an entry's first byte cannot pass by reading zeros left from construction.
//
// Real data: every imploded, shrunk and reduced entry of the PKZIP for DOS archives in the shared
// corpus is decoded and compared with the same file stored in PKZ204E0.ZIP and with its CRC-32.
#include <gtest/gtest.h>

#include "support/Corpus.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "inflate/Explode.h"
#include "inflate/ExtractionState.h"
#include "inflate/Unreduce.h"
#include "inflate/Unshrink.h"
#include "platform/Stream.h"
#include "zip/UnZipper.h"

namespace corvina {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(const std::string& text) { return Bytes(text.begin(), text.end()); }

// --- Bits, least significant first -------------------------------------------------------------

class BitWriter {
public:
  void Bits(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1u);
  }
  void Bit(uint32_t bit) {
    if (count_ == 0) bytes_.push_back(0);
    bytes_.back() = static_cast<uint8_t>(bytes_.back() | (bit << count_));
    count_ = (count_ + 1) & 7;
  }
  Bytes Finish() const { return bytes_; }

private:
  Bytes bytes_;
  int count_ = 0;
};

// --- The harness: one entry's compressed bytes as the archive -----------------------------------

struct Outcome {
  uint16_t result;
  Bytes output;
  uint32_t crc;
};

using Decoder = uint16_t (*)(ExtractionState&);

class Harness {
public:
  Harness() { zipper_.DoProcessMessages = false; }

  Outcome Run(Decoder decoder, const Bytes& compressed, int32_t unpacked_size, uint16_t flags, uint16_t method) {
    archive_ = std::make_unique<TMemoryStream>(compressed);
    output_ = std::make_unique<TMemoryStream>();
    zipper_.CurrentEntry.PackedSize = static_cast<int32_t>(compressed.size());
    zipper_.CurrentEntry.UnpackedSize = unpacked_size;
    zipper_.CurrentEntry.BitFlags = flags;
    zipper_.CurrentEntry.Method = method;
    state_.ArchiveStream = archive_.get();
    state_.OutStream = output_.get();
    std::memset(state_.Slide, 0xEE, ExtractionState::kSlideSize);
    state_.ResetForEntry();
    const uint16_t r = decoder(state_);
    return Outcome{r, output_->Data(), ~zipper_.RunningCrc};
  }

private:
  TUnZipper zipper_{nullptr};
  ExtractionState state_{zipper_};
  std::unique_ptr<TMemoryStream> archive_;
  std::unique_ptr<TMemoryStream> output_;
};

// Models of the formats' references: n bytes from distance back, 0 before the first byte.
void ModelCopy(Bytes& out, uint32_t distance, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    const int64_t from = static_cast<int64_t>(out.size()) - distance;
    out.push_back(from < 0 ? 0 : out[static_cast<size_t>(from)]);
  }
}

// --- Implode ----------------------------------------------------------------------------------

// Code lengths of one tree and their Shannon-Fano codes.
struct Tree {
  explicit Tree(std::vector<int> l) : lengths(std::move(l)), codes(lengths.size()) {
    int count[17] = {};
    for (int x : lengths) ++count[x];
    count[0] = 0;
    int next[17] = {};
    int code = 0;
    for (int bits = 1; bits <= 16; ++bits) {
      code = (code + count[bits - 1]) << 1;
      next[bits] = code;
    }
    for (size_t s = 0; s < lengths.size(); ++s) codes[s] = next[lengths[s]]++;
  }
  // The compact description: runs of equal lengths, at most 16 per byte, after a count byte.
  void Describe(BitWriter& out) const {
    Bytes desc;
    for (size_t i = 0; i < lengths.size();) {
      size_t run = 1;
      while (i + run < lengths.size() && lengths[i + run] == lengths[i] && run < 16) ++run;
      desc.push_back(static_cast<uint8_t>(((run - 1) << 4) | (lengths[i] - 1)));
      i += run;
    }
    out.Bits(static_cast<uint32_t>(desc.size() - 1), 8);
    for (uint8_t b : desc) out.Bits(b, 8);
  }
  void Write(BitWriter& out, size_t symbol) const {
    for (int i = lengths.at(symbol) - 1; i >= 0; --i) out.Bit(((codes[symbol] >> i) & 1u) ^ 1u);
  }
  std::vector<int> lengths;
  std::vector<int> codes;
};

std::vector<int> Uniform(size_t n, int length) { return std::vector<int>(n, length); }
// Complete trees with codes of 1 to 12 bits (64 symbols) and of 2 to 9 bits (256 symbols), so that
// lookups go through subtables.
std::vector<int> Deep64() {
  std::vector<int> l(64, 12);
  for (int s = 0; s < 6; ++s) l[s] = s + 1;
  for (int s = 6; s < 12; ++s) l[s] = 11;
  return l;
}
std::vector<int> Deep256() {
  std::vector<int> l(256, 9);
  l[0] = l[1] = 2;
  l[2] = l[3] = 8;
  return l;
}

constexpr uint16_t kLargeDictionary = 0x0002;
constexpr uint16_t kLiteralTree = 0x0004;

struct Op {
  uint32_t distance;  // 0: a literal
  uint32_t value;     // the literal, or the match length
};
Op Lit(uint8_t c) { return Op{0, c}; }
Op Match(uint32_t distance, uint32_t length) { return Op{distance, length}; }

class ImplodeWriter {
public:
  ImplodeWriter(uint16_t flags, bool deep)
      : flags_(flags),
        literals_(deep ? Deep256() : Uniform(256, 8)),
        lengths_(deep ? Deep64() : Uniform(64, 6)),
        distances_(deep ? Deep64() : Uniform(64, 6)) {
    if (flags_ & kLiteralTree) literals_.Describe(out_);
    lengths_.Describe(out_);
    distances_.Describe(out_);
  }
  void Put(const Op& op) {
    if (op.distance == 0) {
      out_.Bit(1);
      if (flags_ & kLiteralTree) {
        literals_.Write(out_, op.value);
      } else {
        out_.Bits(op.value, 8);
      }
      model_.push_back(static_cast<uint8_t>(op.value));
      return;
    }
    const int low_bits = (flags_ & kLargeDictionary) ? 7 : 6;
    const uint32_t d = op.distance - 1;
    out_.Bit(0);
    out_.Bits(d & ((1u << low_bits) - 1), low_bits);
    distances_.Write(out_, d >> low_bits);
    const uint32_t min_length = (flags_ & kLiteralTree) ? 3 : 2;
    const uint32_t symbol = std::min<uint32_t>(op.value - min_length, 63);
    lengths_.Write(out_, symbol);
    if (symbol == 63) out_.Bits(op.value - min_length - 63, 8);
    ModelCopy(model_, op.distance, op.value);
  }
  Bytes Finish() const { return out_.Finish(); }
  const Bytes& Model() const { return model_; }

private:
  uint16_t flags_;
  Tree literals_, lengths_, distances_;
  BitWriter out_;
  Bytes model_;
};

Outcome RunExplode(Harness& h, const Bytes& data, int32_t size, uint16_t flags) {
  return h.Run(&Explode, data, size, flags, 6);
}

struct ExplodeCase {
  const char* name;
  uint16_t flags;
  bool deep;
  std::vector<Op> ops;
  Bytes expected;  // empty: the model's output
};

std::vector<Op> WindowCrossing() {
  std::vector<Op> ops;
  for (int i = 0; i < 300; ++i) ops.push_back(Lit(static_cast<uint8_t>(i * 7 + i / 5)));
  // Lengths 3..320 (valid with either minimum), distances up to 4090 (valid in either dictionary).
  for (int i = 0; i < 250; ++i) {
    ops.push_back(Match(1 + (i * 397) % 4090, 3 + (i * 13) % 318));
    ops.push_back(Lit(static_cast<uint8_t>(i)));
  }
  return ops;
}
std::vector<Op> FarReference(uint32_t distance, uint32_t produced) {
  std::vector<Op> ops;
  for (uint32_t i = 0; i < produced; ++i) ops.push_back(Lit(static_cast<uint8_t>((i * 31) ^ (i >> 8))));
  ops.push_back(Match(distance, 10));
  ops.push_back(Match(distance - 1, 4));
  return ops;
}

const ExplodeCase kExplodeCases[] = {
    {"MatchBeforeFirstByteGivesZeros", 0, false, {Match(5, 4), Lit('A'), Match(1, 3), Match(9, 3)},
     Bytes{0, 0, 0, 0, 'A', 'A', 'A', 'A', 0, 0, 0}},
    {"ShortestMatchTwoTreesIsTwoBytes", 0, false, {Lit('a'), Lit('b'), Match(2, 2)}, B("abab")},
    {"ShortestMatchThreeTreesIsThreeBytes", kLiteralTree, false, {Lit('a'), Lit('b'), Match(2, 3)}, B("ababa")},
    {"LongestMatchTwoTrees320", 0, false, {Lit('x'), Match(1, 320)}, Bytes(321, 'x')},
    {"LongestMatchThreeTrees321", kLiteralTree, false, {Lit('x'), Match(1, 321)}, Bytes(322, 'x')},
    {"FarthestDistance4K", 0, false, FarReference(4096, 5000), {}},
    {"FarthestDistance8K", kLargeDictionary | kLiteralTree, false, FarReference(8192, 9000), {}},
    {"DeepTreesEightKNoLiteralTree", kLargeDictionary, true, WindowCrossing(), {}},
    {"DeepTreesThreeTreesAcrossTheWindow", kLiteralTree, true, WindowCrossing(), {}},
};

class ExplodeCrafted : public ::testing::TestWithParam<ExplodeCase> {};

TEST_P(ExplodeCrafted, DecodesLikeTheModel) {
  const ExplodeCase& c = GetParam();
  ImplodeWriter writer(c.flags, c.deep);
  for (const Op& op : c.ops) writer.Put(op);
  const Bytes expected = c.expected.empty() ? writer.Model() : c.expected;
  ASSERT_EQ(writer.Model(), expected) << "the test's own model disagrees with the written expectation";
  Harness h;
  const Outcome o = RunExplode(h, writer.Finish(), static_cast<int32_t>(expected.size()), c.flags);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.output.size(), expected.size());
  EXPECT_TRUE(o.output == expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, ExplodeCrafted, ::testing::ValuesIn(kExplodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every variant on the same data: the window crossing also takes the longest codes through
// subtables.
TEST(Explode, AllFourVariantsDecodeTheSameData) {
  for (uint16_t flags : {0, 2, 4, 6}) {
    SCOPED_TRACE(flags);
    ImplodeWriter writer(flags, true);
    for (const Op& op : WindowCrossing()) writer.Put(op);
    Harness h;
    const Outcome o = RunExplode(h, writer.Finish(), static_cast<int32_t>(writer.Model().size()), flags);
    EXPECT_EQ(o.result, 0);
    EXPECT_TRUE(o.output == writer.Model());
  }
}

// The distance table's first level is 8 bits wide only for entries of more than 200000 compressed
// bytes. Padding after the stream raises the size; the decoding must not change.
TEST(Explode, DistanceLookupWidthDoesNotChangeTheOutput) {
  ImplodeWriter writer(kLiteralTree, true);
  for (const Op& op : WindowCrossing()) writer.Put(op);
  for (size_t packed : {size_t{200000}, size_t{200001}}) {
    SCOPED_TRACE(packed);
    Bytes data = writer.Finish();
    ASSERT_LT(data.size(), packed);
    data.resize(packed, 0x5A);
    Harness h;
    const Outcome o = RunExplode(h, data, static_cast<int32_t>(writer.Model().size()), kLiteralTree);
    EXPECT_EQ(o.result, 0);
    EXPECT_TRUE(o.output == writer.Model());
  }
}

// Tree descriptions that do not give a usable tree end the entry before any output.
TEST(Explode, BadTreeEndsTheEntryWithoutOutput) {
  struct Case {
    const char* name;
    Bytes description;  // of the first tree (the length tree of a two-tree entry)
    uint16_t result;
  };
  const Case cases[] = {
      {"65 lengths", {4, 0xF5, 0xF5, 0xF5, 0xF5, 0x05}, kExplodeBadTree},
      {"63 lengths", {3, 0xF5, 0xF5, 0xF5, 0xE5}, kExplodeBadTree},
      {"16 lengths", {0, 0xF5}, kExplodeBadTree},
      {"incomplete: 64 codes of 7 bits", {3, 0xF6, 0xF6, 0xF6, 0xF6}, 1},
      {"over-subscribed: 64 codes of 5 bits", {3, 0xF4, 0xF4, 0xF4, 0xF4}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes data = c.description;
    // A good distance tree and some bits after it, which must not be decoded.
    for (uint8_t b : {3, 0xF5, 0xF5, 0xF5, 0xF5, 0xFF, 0xFF, 0xFF, 0xFF}) data.push_back(b);
    Harness h;
    const Outcome o = RunExplode(h, data, 100, 0);
    EXPECT_EQ(o.result, c.result);
    EXPECT_TRUE(o.output.empty());
  }
}

// A stream that runs out long before its declared size stops instead of decoding repeated bytes
// up to the size.
TEST(Explode, InputFarPastItsEndStops) {
  ImplodeWriter writer(0, false);
  writer.Put(Lit('q'));
  Harness h;
  const Outcome o = RunExplode(h, writer.Finish(), 50'000'000, 0);
  EXPECT_EQ(o.result, 1);
  EXPECT_LT(o.output.size(), size_t{50'000'000});
}

// --- Unshrink ---------------------------------------------------------------------------------

struct Code {
  uint32_t value;
  int bits;
};

struct UnshrinkCase {
  const char* name;
  std::vector<Code> codes;
  Bytes expected;
  uint16_t result;
};

const UnshrinkCase kUnshrinkCases[] = {
    {"FirstCodeThenEndOfInput", {{'A', 9}}, B("A"), 0},
    // 257 is the code being defined: the previous string plus its own first byte; then 258 again.
    {"CodeEqualToNextFreeCode", {{'A', 9}, {257, 9}, {258, 9}}, B("AAAAAA"), 0},
    {"Control256_1WidensTheCodes", {{'A', 9}, {'B', 9}, {256, 9}, {1, 9}, {'C', 10}, {257, 10}}, B("ABCAB"), 0},
    {"OtherSubcodesDoNothing", {{'A', 9}, {256, 9}, {3, 9}, {'B', 9}, {257, 9}}, B("ABAB"), 0},
    // 257 = AB, 258 = BA, 259 = ABC. 256,2 frees the leaves 258 and 259 and keeps 257 (the prefix
    // of 259); the next strings take 258 (CD) and 259 (DC) again.
    {"Control256_2FreesLeavesForReuse",
     {{'A', 9}, {'B', 9}, {257, 9}, {'C', 9}, {256, 9}, {2, 9}, {'D', 9}, {258, 9}, {257, 9}, {259, 9}},
     B("ABABCDCDABDC"), 0},
    // Damaged: codes wider than 13 bits would index past the tables.
    {"CodeSizeAbove13Stops",
     {{'A', 9}, {256, 9}, {1, 9}, {256, 10}, {1, 10}, {256, 11}, {1, 11}, {256, 12}, {1, 12}, {256, 13}, {1, 13},
      {'B', 14}, {'C', 14}},
     B("A"), 1},
    // Damaged: a free code that refers to itself would push without end.
    // 300 is free: first taken as the previous string plus its first byte (BB); as the previous
    // code it then refers to itself.
    {"EndlessChainStops", {{'A', 9}, {'B', 9}, {300, 9}, {300, 9}, {'C', 9}}, B("ABBB"), 1},
    {"FirstCodeFreeAndEndless", {{300, 9}, {300, 9}}, Bytes{300 & 0xFF}, 1},
};

class UnshrinkCrafted : public ::testing::TestWithParam<UnshrinkCase> {};

TEST_P(UnshrinkCrafted, Decodes) {
  const UnshrinkCase& c = GetParam();
  BitWriter w;
  for (const Code& code : c.codes) w.Bits(code.value, code.bits);
  Harness h;
  const Outcome o = h.Run(&Unshrink, w.Finish(), 1000, 0, 1);
  EXPECT_EQ(o.result, c.result);
  EXPECT_TRUE(o.output == c.expected) << std::string(o.output.begin(), o.output.end());
}

INSTANTIATE_TEST_SUITE_P(Streams, UnshrinkCrafted, ::testing::ValuesIn(kUnshrinkCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Filling the whole table and clearing it, with an LZW encoder that keeps its table the way the
// decoder does: a new string takes the lowest free code; 256,1 before the codes need another bit;
// when the table is full, 256,2 frees the leaves and the pending string takes the first freed code
// (its prefix may be a code just freed: such a string can never be sent, on either side).
TEST(Unshrink, FullTableWithWideningAndClearing) {
  Bytes text;
  uint32_t x = 12345;
  for (int i = 0; i < 120000; ++i) {
    x = x * 1103515245u + 12345u;
    text.push_back(static_cast<uint8_t>("abcdefgh"[(x >> 16) & 7]));
  }
  BitWriter w;
  std::map<std::pair<uint32_t, uint8_t>, uint32_t> dict;
  std::vector<bool> used(8192, false);
  std::vector<std::pair<uint32_t, uint8_t>> entry(8192);
  uint32_t next_free = 257;
  int bits = 9;
  int clears = 0;
  uint32_t current = text[0];
  for (size_t i = 1; i <= text.size(); ++i) {
    if (i < text.size()) {
      auto it = dict.find({current, text[i]});
      if (it != dict.end()) {
        current = it->second;
        continue;
      }
    }
    w.Bits(current, bits);
    if (i == text.size()) break;
    if (next_free >= 8192) {
      std::vector<bool> parent(8192, false);
      for (uint32_t c = 257; c < 8192; ++c)
        if (used[c] && entry[c].first >= 257) parent[entry[c].first] = true;
      for (uint32_t c = 257; c < 8192; ++c) {
        if (used[c] && !parent[c]) {
          used[c] = false;
          dict.erase(entry[c]);
        }
      }
      next_free = 257;
      while (next_free < 8192 && used[next_free]) ++next_free;
      w.Bits(256, bits);
      w.Bits(2, bits);
      ++clears;
    }
    ASSERT_LT(next_free, 8192u);
    dict[{current, text[i]}] = next_free;
    used[next_free] = true;
    entry[next_free] = {current, text[i]};
    while (next_free < 8192 && used[next_free]) ++next_free;
    if (next_free >= (1u << bits) && bits < 13) {
      w.Bits(256, bits);
      w.Bits(1, bits);
      ++bits;
    }
    current = text[i];
  }
  ASSERT_EQ(bits, 13);
  ASSERT_GT(clears, 0);
  Harness h;
  const Outcome o = h.Run(&Unshrink, w.Finish(), static_cast<int32_t>(text.size()), 0, 1);
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.output.size(), text.size());
  EXPECT_TRUE(o.output == text);
}

// --- Unreduce ---------------------------------------------------------------------------------

// Follower sets and the symbols that go through the run-length machine.
class ReduceWriter {
public:
  explicit ReduceWriter(std::map<uint8_t, Bytes> followers) : followers_(std::move(followers)) {
    for (int x = 255; x >= 0; --x) {
      const Bytes& set = Set(static_cast<uint8_t>(x));
      out_.Bits(static_cast<uint32_t>(set.size()), 6);
      for (uint8_t b : set) out_.Bits(b, 8);
    }
  }
  void Symbols(const Bytes& symbols) {
    for (uint8_t c : symbols) {
      const Bytes& set = Set(previous_);
      if (set.empty()) {
        out_.Bits(c, 8);
      } else {
        const auto it = std::find(set.begin(), set.end(), c);
        if (it == set.end()) {
          out_.Bit(1);
          out_.Bits(c, 8);
        } else {
          int bits = 1;
          while ((1u << bits) < set.size()) ++bits;
          out_.Bit(0);
          out_.Bits(static_cast<uint32_t>(it - set.begin()), bits);
        }
      }
      previous_ = c;
    }
  }
  Bytes Finish() const { return out_.Finish(); }

private:
  const Bytes& Set(uint8_t x) const {
    static const Bytes none;
    const auto it = followers_.find(x);
    return it == followers_.end() ? none : it->second;
  }
  std::map<uint8_t, Bytes> followers_;
  BitWriter out_;
  uint8_t previous_ = 0;
};

// The run-length machine over a plain vector.
Bytes ModelReduce(int factor, const Bytes& symbols) {
  const uint32_t length_mask = 0xFFu >> factor;
  Bytes out;
  int state = 0;
  uint32_t v = 0, len = 0;
  for (uint8_t c : symbols) {
    if (state == 0) {
      if (c == 144) state = 1;
      else out.push_back(c);
    } else if (state == 1) {
      if (c == 0) {
        out.push_back(144);
        state = 0;
      } else {
        v = c;
        len = v & length_mask;
        state = len == length_mask ? 2 : 3;
      }
    } else if (state == 2) {
      len += c;
      state = 3;
    } else {
      ModelCopy(out, (v >> (8 - factor)) * 256 + c + 1, len + 3);
      state = 0;
    }
  }
  return out;
}

struct UnreduceCase {
  const char* name;
  int factor;
  std::map<uint8_t, Bytes> followers;
  Bytes symbols;
  Bytes expected;  // empty: the model's output
};

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
Bytes Repeat(const std::string& unit, size_t n) {
  Bytes out;
  while (out.size() < n) out.push_back(static_cast<uint8_t>(unit[out.size() % unit.size()]));
  return out;
}
Bytes LongRuns() {
  Bytes s = B("ab");
  for (int i = 0; i < 50; ++i) s.insert(s.end(), {144, 0x7F, 255, 1, 'c', 144, 0});
  return s;
}
Bytes AllFactorsMix(int factor) {
  Bytes s = B("The quick brown fox ");
  const uint8_t full = static_cast<uint8_t>(0xFFu >> factor);
  // A reference with the longest short length, one lengthened, one reaching 2 * 256 + 5 + 1 back
  // (factor 2 and up), and one before the first byte.
  s.insert(s.end(), {144, static_cast<uint8_t>(full - 1), 3});
  s.insert(s.end(), {144, full, 40, 7});
  for (int i = 0; i < 600; ++i) s.push_back(static_cast<uint8_t>('A' + i % 26));
  if (factor >= 2) s.insert(s.end(), {144, static_cast<uint8_t>((2u << (8 - factor)) | 1u), 5});
  s.insert(s.end(), {144, 0xF0, 200});
  return s;
}

const UnreduceCase kUnreduceCases[] = {
    {"Factor1MarkerThenZeroIsTheByte144", 1, {}, {'A', 144, 0, 'B'}, Bytes{'A', 144, 'B'}},
    // 144, 63, 10, 5: 63 + 10 + 3 = 76 bytes from 0 * 256 + 5 + 1 = 6 back.
    {"Factor2Example", 2, {}, Concat({B("ABCDEF"), Bytes{144, 63, 10, 5}}), Repeat("ABCDEF", 82)},
    // 0x12: length 2 (+3), distance (1 * 256) + 9 + 1 = 266 back, before the first byte.
    {"Factor4ReferenceBeforeFirstByte", 4, {}, {'Z', 144, 0x12, 9, 'Y'}, Bytes{'Z', 0, 0, 0, 0, 0, 'Y'}},
    {"Factor3FollowerSets", 3, {{0, B("A")}, {'A', B("BCD")}, {'B', B("A")}, {'C', B("AX")}},
     B("ABACADAXBCA"), B("ABACADAXBCA")},
    {"Factor1AcrossTheWindow", 1, {{'b', B("c")}}, LongRuns(), {}},
    {"Factor1Mix", 1, {{' ', B("bfq")}}, AllFactorsMix(1), {}},
    {"Factor2Mix", 2, {{' ', B("bfq")}}, AllFactorsMix(2), {}},
    {"Factor3Mix", 3, {{' ', B("bfq")}}, AllFactorsMix(3), {}},
    {"Factor4Mix", 4, {{' ', B("bfq")}}, AllFactorsMix(4), {}},
};

class UnreduceCrafted : public ::testing::TestWithParam<UnreduceCase> {};

TEST_P(UnreduceCrafted, DecodesLikeTheModel) {
  const UnreduceCase& c = GetParam();
  const Bytes model = ModelReduce(c.factor, c.symbols);
  const Bytes expected = c.expected.empty() ? model : c.expected;
  ASSERT_EQ(model, expected) << "the test's own model disagrees with the written expectation";
  ReduceWriter writer(c.followers);
  writer.Symbols(c.symbols);
  Harness h;
  const Outcome o =
      h.Run(&Unreduce, writer.Finish(), static_cast<int32_t>(expected.size()), 0, static_cast<uint16_t>(c.factor + 1));
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.output.size(), expected.size());
  EXPECT_TRUE(o.output == expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, UnreduceCrafted, ::testing::ValuesIn(kUnreduceCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Unreduce, InputFarPastItsEndStops) {
  ReduceWriter writer({});
  writer.Symbols(B("xyz"));
  Harness h;
  const Outcome o = h.Run(&Unreduce, writer.Finish(), 50'000'000, 0, 2);
  EXPECT_EQ(o.result, kUnreduceInputOverrun);
  EXPECT_LT(o.output.size(), size_t{1000});
  EXPECT_EQ(Bytes(o.output.begin(), o.output.begin() + 3), B("xyz"));
}

TEST(Unreduce, OtherMethodsAreNotDecoded) {
  Harness h;
  for (uint16_t method : {1, 6}) {
    const Outcome o = h.Run(&Unreduce, Bytes(300, 0x41), 10, 0, method);
    EXPECT_EQ(o.result, kUnreduceBadMethod);
    EXPECT_TRUE(o.output.empty());
  }
}

// --- Damaged data ------------------------------------------------------------------------------

// Noise given to every decoder variant must end (the sanitizer build also checks that nothing is
// read or written outside the buffers), and never produce more than the entry's size: the size
// check stops a decoder that would, before anything of the excess is written.
TEST(LegacyDecoders, NoiseEndsWithinTheEntrySize) {
  struct Variant {
    Decoder decoder;
    uint16_t flags;
    uint16_t method;
  };
  const Variant variants[] = {{&Explode, 0, 6}, {&Explode, 2, 6}, {&Explode, 4, 6}, {&Explode, 6, 6},
                              {&Unshrink, 0, 1}, {&Unreduce, 0, 2}, {&Unreduce, 0, 3}, {&Unreduce, 0, 4},
                              {&Unreduce, 0, 5}};
  uint32_t x = 7;
  Harness h;
  for (int round = 0; round < 40; ++round) {
    Bytes noise(static_cast<size_t>(round * 97 % 3000));
    for (uint8_t& b : noise) {
      x = x * 1103515245u + 12345u;
      b = static_cast<uint8_t>(x >> 16);
    }
    // Some rounds start with a plausible implode header: small trees that cover their symbols.
    if (round % 2 == 1 && noise.size() > 20) {
      const uint8_t header[] = {3, 0xF5, 0xF5, 0xF5, 0xF5, 3, 0xF5, 0xF5, 0xF5, 0xF5};
      std::copy(std::begin(header), std::end(header), noise.begin());
    }
    for (const Variant& v : variants) {
      SCOPED_TRACE(::testing::Message() << "round " << round << " method " << v.method << " flags " << v.flags);
      const int32_t size = 20000;
      try {
        const Outcome o = h.Run(v.decoder, noise, size, v.flags, v.method);
        EXPECT_LE(o.output.size(), static_cast<size_t>(size));
      } catch (const EBiggerThanUncompressed&) {
        // the size check caught it
      }
    }
  }
}

// --- Real archives ----------------------------------------------------------------------------

struct ZipEntry {
  std::string name;
  uint16_t flags;
  uint16_t method;
  uint32_t crc;
  int32_t unpacked;
  Bytes data;  // the compressed bytes
};

uint32_t Le(const Bytes& b, size_t at, int width) {
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | b.at(at + i);
  return v;
}

// The entries of an archive, from its central directory and local headers.
std::vector<ZipEntry> ReadArchive(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const Bytes zip((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<ZipEntry> entries;
  if (zip.size() < 22) return entries;
  size_t end = zip.size() - 22;
  while (end > 0 && Le(zip, end, 4) != 0x06054B50u) --end;
  if (Le(zip, end, 4) != 0x06054B50u) return entries;
  const uint32_t count = Le(zip, end + 10, 2);
  size_t p = Le(zip, end + 16, 4);
  for (uint32_t i = 0; i < count && Le(zip, p, 4) == 0x02014B50u; ++i) {
    ZipEntry e;
    e.flags = static_cast<uint16_t>(Le(zip, p + 8, 2));
    e.method = static_cast<uint16_t>(Le(zip, p + 10, 2));
    e.crc = Le(zip, p + 16, 4);
    const uint32_t packed = Le(zip, p + 20, 4);
    e.unpacked = static_cast<int32_t>(Le(zip, p + 24, 4));
    const uint32_t name_length = Le(zip, p + 28, 2);
    const size_t local = Le(zip, p + 42, 4);
    e.name.assign(zip.begin() + static_cast<std::ptrdiff_t>(p + 46),
                  zip.begin() + static_cast<std::ptrdiff_t>(p + 46 + name_length));
    const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
    e.data.assign(zip.begin() + static_cast<std::ptrdiff_t>(data),
                  zip.begin() + static_cast<std::ptrdiff_t>(data + packed));
    entries.push_back(std::move(e));
    p += 46 + name_length + Le(zip, p + 30, 2) + Le(zip, p + 32, 2);
  }
  return entries;
}

const std::string kCorpus = testing::CorpusDir().string() + "/";

const std::map<std::string, Bytes>& StoredReference() {
  static const std::map<std::string, Bytes> files = [] {
    std::map<std::string, Bytes> m;
    for (ZipEntry& e : ReadArchive(kCorpus + "pkzip-dos/PKZ204E0.ZIP")) m[e.name] = std::move(e.data);
    return m;
  }();
  return files;
}

Decoder DecoderFor(uint16_t method) {
  if (method == 1) return &Unshrink;
  if (method >= 2 && method <= 5) return &Unreduce;
  if (method == 6) return &Explode;
  return nullptr;
}

struct CorpusCase {
  const char* archive;
  std::set<uint16_t> methods;  // the legacy methods the archive must contain
};

class LegacyCorpus : public ::testing::TestWithParam<CorpusCase> {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(testing::CorpusDir())) GTEST_SKIP() << "no corpus at " << testing::CorpusDir();
  }
};

TEST_P(LegacyCorpus, EveryEntryMatchesTheStoredFileAndCrc) {
  const CorpusCase& c = GetParam();
  const auto entries = ReadArchive(kCorpus + "pkzip-dos/" + c.archive);
  ASSERT_FALSE(entries.empty());
  ASSERT_EQ(StoredReference().size(), 15u);
  std::set<uint16_t> seen;
  Harness h;
  for (const ZipEntry& e : entries) {
    const Decoder decoder = DecoderFor(e.method);
    if (decoder == nullptr) continue;
    SCOPED_TRACE(e.name + " method " + std::to_string(e.method));
    seen.insert(e.method);
    const Outcome o = h.Run(decoder, e.data, e.unpacked, e.flags, e.method);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.crc, e.crc);
    const auto ref = StoredReference().find(e.name);
    ASSERT_NE(ref, StoredReference().end());
    EXPECT_EQ(o.output.size(), ref->second.size());
    EXPECT_TRUE(o.output == ref->second);
  }
  EXPECT_EQ(seen, c.methods);
}

const CorpusCase kCorpusCases[] = {
    {"PKZ110EI.ZIP", {6}},    {"PKZ110.ZIP", {1, 6}},   {"PKZ110EX.ZIP", {1, 6}}, {"PKZ80A1.ZIP", {1}},
    {"PKZ90A1.ZIP", {1}},     {"PKZ110ES.ZIP", {1}},    {"PKZ80B1.ZIP", {1, 2}},  {"PKZ80B2.ZIP", {1, 3}},
    {"PKZ80B3.ZIP", {1, 4}},  {"PKZ80B4.ZIP", {1, 5}},  {"PKZ90B1.ZIP", {1, 2}},  {"PKZ90B2.ZIP", {1, 3}},
    {"PKZ90B3.ZIP", {1, 4}},  {"PKZ90B4.ZIP", {1, 5}},
};

INSTANTIATE_TEST_SUITE_P(PkzipDos, LegacyCorpus, ::testing::ValuesIn(kCorpusCases), [](const auto& info) {
  std::string name = info.param.archive;
  return name.substr(0, name.find('.'));
});

TEST_F(LegacyCorpus, SmallArchivesOfEachMethodGiveFirstTxt) {
  std::ifstream file(kCorpus + "zip-rs/folder/first.txt", std::ios::binary);
  const Bytes first((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(first.empty());
  const std::pair<const char*, uint16_t> archives[] = {{"shrink.zip", 1}, {"reduce.zip", 5}, {"implode.zip", 6}};
  for (const auto& [archive, method] : archives) {
    SCOPED_TRACE(archive);
    const auto entries = ReadArchive(kCorpus + "zip-rs/legacy/" + archive);
    // The entry is named first.txt (FIRST.TXT in one of them); its content is folder/first.txt.
    const auto it = std::find_if(entries.begin(), entries.end(), [](const ZipEntry& e) {
      std::string lower = e.name;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      return lower == "first.txt";
    });
    ASSERT_NE(it, entries.end());
    ASSERT_EQ(it->method, method);
    Harness h;
    const Outcome o = h.Run(DecoderFor(it->method), it->data, it->unpacked, it->flags, it->method);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.crc, it->crc);
    EXPECT_TRUE(o.output == first);
  }
}

}  // namespace
}  // namespace corvina
