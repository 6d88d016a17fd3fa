// The buffered streams over a counting stream, which shows how reads, writes and seeks reach the
// underlying data: buffer-sized transfers, seeks that keep or drop the buffer, the origin rules,
// PutBack, changes of direction, short writes; then TLFNFileStream on real files in a temporary
// Wine-style root.
#include "inflate/BufferStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/FileSystem.h"
#include "support/CountingStream.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

using testing::CountingStream;
using Sizes = std::vector<int32_t>;

// Bytes whose value tells their position (mod 251, so no period of 256 hides an off-by-256).
std::vector<uint8_t> Pattern(size_t n, uint8_t salt = 0) {
  std::vector<uint8_t> data(n);
  for (size_t i = 0; i < n; ++i) data[i] = static_cast<uint8_t>(i % 251 + salt);
  return data;
}

uint8_t At(size_t i) { return static_cast<uint8_t>(i % 251); }

TEST(BufferStream, LargeReadGoesThroughTheBufferInBufferSizedPieces) {
  CountingStream under(Pattern(10000));
  TS_BufferStream stream(under);
  EXPECT_EQ(stream.BufferSize(), 8192);
  std::vector<uint8_t> out(16000, 0xEE);
  EXPECT_EQ(stream.Read(out.data(), 16000), 10000);
  EXPECT_EQ(under.reads, (Sizes{8192, 1808, 0}));
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 10000), Pattern(10000));
  EXPECT_EQ(out[10000], 0xEE) << "nothing is written past what was read";
  EXPECT_EQ(stream.Mode(), TBufferMode::Idle);

  // At the end every read returns 0; counts of 0 or below return 0 without touching the stream.
  EXPECT_EQ(stream.Read(out.data(), 10), 0);
  EXPECT_EQ(stream.Read(out.data(), 10), 0);
  under.Clear();
  EXPECT_EQ(stream.Read(out.data(), 0), 0);
  EXPECT_EQ(stream.Read(out.data(), -4), 0);
  EXPECT_TRUE(under.reads.empty());
  EXPECT_EQ(stream.Position(), 10000);
}

TEST(BufferStream, SmallReadsAreServedFromOneRefill) {
  CountingStream under(Pattern(20000));
  TS_BufferStream stream(under);
  int filled = 0;
  stream.OnBufferFilled = [&](TS_BufferStream& s) {
    EXPECT_EQ(&s, &stream);
    ++filled;
  };
  std::vector<uint8_t> all;
  uint8_t piece[7];
  int32_t got;
  while ((got = stream.Read(piece, 7)) > 0) all.insert(all.end(), piece, piece + got);
  EXPECT_EQ(all, Pattern(20000));
  // 20000 = 2857 * 7 + 1: the read that takes the last byte meets the end (the first 0), and the
  // loop's final read meets it again.
  EXPECT_EQ(under.reads, (Sizes{8192, 8192, 3616, 0, 0}));
  EXPECT_EQ(filled, 5);
}

TEST(BufferStream, WritesReachTheStreamInBufferSizedPiecesAndTheLastOnDestruction) {
  CountingStream under;
  int flushed = 0;
  {
    TS_BufferStream stream(under);
    stream.OnBufferFlushed = [&](TS_BufferStream&) { ++flushed; };
    const std::vector<uint8_t> data = Pattern(20000);
    EXPECT_EQ(stream.Write(data.data(), 20000), 20000);
    EXPECT_EQ(under.writes, (Sizes{8192, 8192}));
    EXPECT_EQ(stream.Mode(), TBufferMode::Writing);
    EXPECT_EQ(stream.PendingOffset(), 3616);
    EXPECT_EQ(stream.Position(), 20000);
    EXPECT_EQ(stream.Write(data.data(), 0), 0);
  }
  EXPECT_EQ(under.writes, (Sizes{8192, 8192, 3616}));
  EXPECT_EQ(under.Data(), Pattern(20000));
  EXPECT_EQ(flushed, 3);
}

TEST(BufferStream, SeekToTheCurrentPositionKeepsTheBuffer) {
  CountingStream under(Pattern(1000));
  TS_BufferStream stream(under);
  uint8_t b[10];
  ASSERT_EQ(stream.Read(b, 10), 10);
  under.Clear();

  EXPECT_EQ(stream.Seek(0, soFromCurrent), 10);
  EXPECT_EQ(stream.Position(), 10);
  EXPECT_EQ(stream.Seek(10, soFromBeginning), 10) << "a seek to where it is already";
  EXPECT_EQ(stream.PendingOffset(), -990);
  ASSERT_EQ(stream.Read(b, 1), 1);
  EXPECT_EQ(b[0], At(10));
  EXPECT_TRUE(under.reads.empty()) << "the buffer was kept";
  EXPECT_TRUE(under.moves.empty()) << "the underlying stream never moved";
}

TEST(BufferStream, SeekTargets) {
  struct Case {
    int32_t offset;
    uint16_t origin;
    int32_t target;
  } cases[] = {
      {100, soFromBeginning, 100}, {0, soFromBeginning, 0},    {-3, soFromCurrent, 7},
      {25, soFromCurrent, 35},     {-5, soFromEnd, 995},       {5, soFromEnd, 995},
      {0, soFromEnd, 1000},        {1000, soFromEnd, 0},       {1500, soFromBeginning, 1500},
  };
  for (const Case& c : cases) {
    CountingStream under(Pattern(1000));
    TS_BufferStream stream(under);
    uint8_t b[10];
    ASSERT_EQ(stream.Read(b, 10), 10);
    EXPECT_EQ(stream.Seek(c.offset, c.origin), c.target) << c.offset << " from " << c.origin;
    EXPECT_EQ(stream.Position(), c.target);
    const int32_t got = stream.Read(b, 1);
    if (c.target < 1000) {
      ASSERT_EQ(got, 1) << c.offset << " from " << c.origin;
      EXPECT_EQ(b[0], At(static_cast<size_t>(c.target))) << c.offset << " from " << c.origin;
    } else {
      EXPECT_EQ(got, 0);
    }
  }
}

TEST(BufferStream, EndCountsPendingOutputPastTheFile) {
  CountingStream under(Pattern(50));
  TS_BufferStream stream(under);
  ASSERT_EQ(stream.Seek(50, soFromBeginning), 50);
  const std::vector<uint8_t> more = Pattern(100, 7);
  ASSERT_EQ(stream.Write(more.data(), 100), 100);
  EXPECT_TRUE(under.writes.empty()) << "still pending";
  EXPECT_EQ(stream.LogicalSize(), 150);
  EXPECT_EQ(stream.Size(), 150) << "at the end the size query keeps the pending bytes";
  EXPECT_TRUE(under.writes.empty());

  EXPECT_EQ(stream.Seek(-5, soFromEnd), 145);
  EXPECT_EQ(under.writes, (Sizes{100})) << "moving flushed the pending bytes first";
  EXPECT_EQ(stream.Seek(5, soFromEnd), 145);
  uint8_t b[10];
  ASSERT_EQ(stream.Read(b, 10), 5);
  EXPECT_EQ(b[0], more[95]);
  EXPECT_EQ(under.Data().size(), 150u);
}

TEST(BufferStream, BadSeeksRaiseAndChangeNothing) {
  CountingStream under(Pattern(1000));
  TS_BufferStream stream(under);
  uint8_t b[4];
  ASSERT_EQ(stream.Read(b, 4), 4);
  under.Clear();

  for (uint16_t origin : {uint16_t{3}, uint16_t{65535}}) {
    try {
      stream.Seek(0, origin);
      ADD_FAILURE() << "origin " << origin << " accepted";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid seek origin (" + std::to_string(origin) + ")");
    }
  }
  // Before the start: a clear error, and the stream stays where it was.
  for (auto [offset, origin] : {std::pair{-1, soFromBeginning}, std::pair{-5, soFromCurrent},
                                std::pair{2000, soFromEnd}}) {
    try {
      stream.Seek(offset, origin);
      ADD_FAILURE() << offset << " from " << origin << " accepted";
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "Seek error");
    }
  }
  EXPECT_TRUE(under.moves.empty());
  ASSERT_EQ(stream.Read(b, 1), 1);
  EXPECT_EQ(b[0], At(4));
  EXPECT_TRUE(under.reads.empty()) << "the buffer survived the refused seeks";
}

TEST(BufferStream, PutBack) {
  CountingStream under(Pattern(100));
  TS_BufferStream stream(under);
  try {
    stream.PutBack('x');
    ADD_FAILURE() << "PutBack before any read";
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), "Putback overflow");
  }

  uint8_t b[5];
  ASSERT_EQ(stream.Read(b, 5), 5);
  stream.PutBack('Z');
  EXPECT_EQ(stream.Position(), 4);
  stream.PutBack('Y');
  EXPECT_EQ(stream.Position(), 3);
  ASSERT_EQ(stream.Read(b, 3), 3);
  EXPECT_EQ(b[0], 'Y');
  EXPECT_EQ(b[1], 'Z');
  EXPECT_EQ(b[2], At(5));

  // Put back as far as the start of the buffer, and no further.
  CountingStream under2(Pattern(100));
  TS_BufferStream stream2(under2);
  ASSERT_EQ(stream2.Read(b, 2), 2);
  stream2.PutBack('a');
  stream2.PutBack('b');
  EXPECT_THROW(stream2.PutBack('c'), EStreamError);
  EXPECT_EQ(stream2.Position(), 0);

  // Writing has nothing to put back: refused rather than overwriting pending output.
  CountingStream under3;
  {
    TS_BufferStream writer(under3);
    ASSERT_EQ(writer.Write("abc", 3), 3);
    EXPECT_THROW(writer.PutBack('x'), EStreamError);
  }
  EXPECT_EQ(std::string(under3.Data().begin(), under3.Data().end()), "abc");
}

TEST(BufferStream, ChangesOfDirectionKeepTheLogicalPosition) {
  // Read, then write: the write lands at the logical position, not where the refill left the
  // underlying stream.
  {
    CountingStream under(Pattern(10000));
    {
      TS_BufferStream stream(under);
      uint8_t b[10];
      ASSERT_EQ(stream.Read(b, 10), 10);
      ASSERT_EQ(stream.Write("XYZ", 3), 3);
      EXPECT_EQ(stream.Position(), 13);
    }
    std::vector<uint8_t> expected = Pattern(10000);
    expected[10] = 'X';
    expected[11] = 'Y';
    expected[12] = 'Z';
    EXPECT_EQ(under.Data(), expected);
  }
  // Write, then read: pending output is flushed and the read continues after it.
  {
    CountingStream under(Pattern(100));
    TS_BufferStream stream(under);
    ASSERT_EQ(stream.Write("ab", 2), 2);
    uint8_t b[3];
    ASSERT_EQ(stream.Read(b, 3), 3);
    EXPECT_EQ(b[0], At(2));
    EXPECT_EQ(under.Data()[0], 'a');
    EXPECT_EQ(stream.Position(), 5);
  }
  // A write of exactly one buffer leaves nothing pending; a read after it returns file bytes, not
  // the stale contents of the write buffer.
  {
    CountingStream under(Pattern(9000, 3));
    TS_BufferStream stream(under);
    const std::vector<uint8_t> block(8192, 'w');
    ASSERT_EQ(stream.Write(block.data(), 8192), 8192);
    EXPECT_EQ(stream.Mode(), TBufferMode::Idle);
    uint8_t b[1000];
    ASSERT_EQ(stream.Read(b, 1000), 9000 - 8192);
    EXPECT_EQ(b[0], Pattern(9000, 3)[8192]);
  }
  // Reading to the end, then writing: the write appends (and does not spin on an empty buffer).
  {
    CountingStream under(Pattern(10));
    {
      TS_BufferStream stream(under);
      uint8_t b[20];
      ASSERT_EQ(stream.Read(b, 20), 10);
      ASSERT_EQ(stream.Write("end", 3), 3);
    }
    ASSERT_EQ(under.Data().size(), 13u);
    EXPECT_EQ(under.Data()[10], 'e');
  }
}

TEST(BufferStream, ShortWritesStopTheWriteAndFailTheSeek) {
  CountingStream under;
  under.write_limit = 5000;
  {
    TS_BufferStream stream(under);
    const std::vector<uint8_t> data = Pattern(20000);
    EXPECT_EQ(stream.Write(data.data(), 20000), 8192) << "the failed buffer's bytes count as taken";
    EXPECT_EQ(under.writes, (Sizes{8192}));
    EXPECT_EQ(stream.Mode(), TBufferMode::Idle);

    ASSERT_EQ(stream.Write(data.data(), 10), 10);
    try {
      stream.Seek(0, soFromBeginning);
      ADD_FAILURE() << "seek after a short flush";
    } catch (const EStreamError& e) {
      EXPECT_STREQ(e.what(), "Seek error");
    }
  }
  EXPECT_EQ(under.Data().size(), 5000u);
}

TEST(BufferStream, SizeQueryOfAReadingStreamStaysCorrect) {
  CountingStream under(Pattern(1000));
  TS_BufferStream stream(under);
  uint8_t b[10];
  ASSERT_EQ(stream.Read(b, 10), 10);
  EXPECT_EQ(stream.Size(), 1000);
  EXPECT_EQ(stream.Position(), 10);
  ASSERT_EQ(stream.Read(b, 1), 1);
  EXPECT_EQ(b[0], At(10));
}

// ---- TLFNFileStream on real files ----

TEST(LFNFileStream, WritesAFileAndReadsItBack) {
  testing::WineRoot root;
  const std::string name = Utf8ToAnsi("C:\\Длинное имя файла.dat");
  const std::vector<uint8_t> data = Pattern(20000, 11);
  {
    TLFNFileStream out(name, fmCreate);
    int flushed = 0;
    out.OnBufferFlushed = [&](TS_BufferStream&) { ++flushed; };
    EXPECT_EQ(out.Write(data.data(), 20000), 20000);
    EXPECT_EQ(flushed, 2);
  }
  EXPECT_TRUE(FileSystem().FileExists(name));

  TLFNFileStream in(name, fmShareDenyWrite);
  EXPECT_NE(in.Handle().GetDate(), -1);
  EXPECT_EQ(in.Size(), 20000);
  std::vector<uint8_t> back(20001);
  EXPECT_EQ(in.Read(back.data(), 20001), 20000);
  back.resize(20000);
  EXPECT_EQ(back, data);

  TLFNFileStream again(name, fmOpenRead);
  EXPECT_EQ(again.Seek(-4, soFromEnd), 19996);
  uint8_t tail[8];
  ASSERT_EQ(again.Read(tail, 8), 4);
  EXPECT_EQ(tail[3], data[19999]);
}

TEST(LFNFileStream, OpenAndCreateFailuresComeThrough) {
  testing::WineRoot root;
  EXPECT_THROW(TLFNFileStream("C:\\missing.dat", 32), EFOpenError);
  EXPECT_THROW(TLFNFileStream("C:\\missing.dat", 0), EFOpenError);
  EXPECT_THROW(TLFNFileStream("C:\\no such folder\\out.bin", fmCreate), EFCreateError);
}

}  // namespace
}  // namespace corvina
