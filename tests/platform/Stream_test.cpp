// The platform streams: the defaults of TStream (the two Seeks routing to each other, GetSize by
// seeking, ReadBuffer and WriteBuffer), the memory stream, and the file stream over the
// environment's file system in a throw-away Wine-style root, with failures provoked through the
// fault-injecting file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/FaultInjectingFileSystem.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

// A stream over a fixed number of zero bytes that only answers the seek of the width it is told to,
// and counts the seeks it answered. Delegating: its 32-bit Seek hands "from the end" to the 64-bit
// default, as a stream may do when it computes only absolute positions itself.
class SeekOnlyStream : public TStream {
public:
  enum class Answers { Seek32, Seek64, Neither, Seek32Delegating };
  SeekOnlyStream(Answers answers, int64_t size) : answers_(answers), size_(size) {}

  int32_t Read(void* buffer, int32_t count) override {
    int64_t n = std::max<int64_t>(0, std::min<int64_t>(count, size_ - position_));
    std::memset(buffer, 0, static_cast<size_t>(n));
    position_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void*, int32_t count) override { return std::min<int32_t>(count, 2); }  // short writes

  int32_t Seek(int32_t offset, uint16_t origin) override {
    if (answers_ == Answers::Seek32Delegating && origin == soFromEnd) return static_cast<int32_t>(Seek64(size_ + offset, soFromBeginning));
    if (answers_ != Answers::Seek32 && answers_ != Answers::Seek32Delegating) return TStream::Seek(offset, origin);
    return static_cast<int32_t>(Move(offset, origin));
  }
  int64_t Seek64(int64_t offset, uint16_t origin) override {
    if (answers_ != Answers::Seek64) return TStream::Seek64(offset, origin);
    return Move(offset, origin);
  }
  int answered = 0;

private:
  int64_t Move(int64_t offset, uint16_t origin) {
    ++answered;
    position_ = origin == soFromBeginning ? offset : origin == soFromCurrent ? position_ + offset : size_ + offset;
    return position_;
  }
  Answers answers_;
  int64_t size_;
  int64_t position_ = 0;
};

TEST(Stream, DefaultSeeksRouteToTheOverriddenOne) {
  using Answers = SeekOnlyStream::Answers;
  for (Answers answers : {Answers::Seek32, Answers::Seek64, Answers::Seek32Delegating}) {
    SeekOnlyStream s(answers, 10);
    EXPECT_EQ(s.Seek(3, soFromBeginning), 3);
    EXPECT_EQ(s.Seek64(2, soFromCurrent), 5);
    EXPECT_EQ(s.Position(), 5);
    // The default size: remember the position, seek to the end, seek back.
    EXPECT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Position(), 5);
    EXPECT_EQ(s.Seek(-4, soFromEnd), 6);
    EXPECT_GT(s.answered, 0);
  }
}

TEST(Stream, AStreamThatAnswersNoSeekFailsInsteadOfRecursing) {
  SeekOnlyStream s(SeekOnlyStream::Answers::Neither, 10);
  for (int round = 0; round < 2; ++round) {  // the failure leaves the stream as it was
    EXPECT_THROW(s.Seek(0, soFromBeginning), EStreamError);
    EXPECT_THROW(s.Seek64(0, soFromCurrent), EStreamError);
    EXPECT_THROW(s.Size(), EStreamError);
  }
}

TEST(Stream, ReadBufferAndWriteBufferDemandEveryByte) {
  SeekOnlyStream s(SeekOnlyStream::Answers::Seek32, 4);
  char buffer[8];
  s.ReadBuffer(buffer, 0);  // nothing asked, nothing read, no error
  s.WriteBuffer(buffer, 0);
  s.ReadBuffer(buffer, 3);
  try {
    s.ReadBuffer(buffer, 3);  // only one byte is left
    FAIL() << "a short read passed";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_THROW(s.ReadBuffer(buffer, -1), EReadError);
  s.WriteBuffer(buffer, 2);
  try {
    s.WriteBuffer(buffer, 5);  // the stream takes two bytes at a time
    FAIL() << "a short write passed";
  } catch (const EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
}

std::string Text(const std::vector<uint8_t>& data) { return std::string(data.begin(), data.end()); }

TEST(MemoryStream, WritesPastTheEndLeaveZerosAndSeeksStayInRange) {
  TMemoryStream m(std::vector<uint8_t>{'a', 'b'});
  EXPECT_EQ(m.Size(), 2);
  EXPECT_EQ(m.Seek64(3, soFromEnd), 5);
  EXPECT_EQ(m.Write("cd", 2), 2);
  EXPECT_EQ(Text(m.Data()), std::string("ab\0\0\0cd", 7));
  EXPECT_EQ(m.Seek64(-100, soFromCurrent), 0);  // before the start: the start
  EXPECT_EQ(m.Seek64(4, soFromBeginning), 4);
  EXPECT_EQ(m.Seek64(1, 7), 4);                 // an unknown origin moves nothing
  char buffer[8];
  EXPECT_EQ(m.Read(buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), std::string("\0cd", 3));
  EXPECT_EQ(m.Seek64(INT64_MAX, soFromBeginning), INT64_MAX);
  EXPECT_EQ(m.Seek64(INT64_MAX, soFromCurrent), INT64_MAX);  // saturates, does not wrap
  EXPECT_EQ(m.Read(buffer, 8), 0);
  EXPECT_THROW(m.Write("x", 1), EStreamError);  // no room for such a position
  EXPECT_EQ(m.Size(), 7);                       // and nothing changed
}

TEST(MemoryStream, SetSizeCutsAndKeepsThePositionInside) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  m.SetSize(3);
  EXPECT_EQ(m.Position(), 3);
  EXPECT_EQ(Text(m.Data()), "abc");
  m.SetSize(-5);  // a negative size is an empty stream, and the position goes with it
  char buffer[4];
  EXPECT_EQ(m.Read(buffer, 4), 0);  // read first: nothing before the data may be reached
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
  m.WriteBuffer("xy", 2);
  m.SetSize(4);  // growing pads with zeros and leaves the position
  EXPECT_EQ(m.Position(), 2);
  EXPECT_EQ(Text(m.Data()), std::string("xy\0\0", 4));
}

class FileStreamTest : public ::testing::Test {
protected:
  std::string Host(const std::string& name) { return root_.DriveC() + "/" + name; }
  testing::WineRoot root_;
};

TEST_F(FileStreamTest, OpenModes) {
  struct Case { const char* label; uint16_t mode; bool writes; const char* after_write; };
  const Case cases[] = {
      {"create", fmCreate, true, "XY"},  // truncated first
      {"read", fmOpenRead | fmShareDenyWrite, false, "abcdef"},
      {"read-write", fmOpenReadWrite | fmShareExclusive, true, "XYcdef"},  // in place
      {"write", fmOpenWrite | fmShareDenyNone, true, "XYcdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    testing::WriteHostFile(Host("f.bin"), "abcdef");
    {
      TFileStream f("C:\\f.bin", c.mode);
      EXPECT_EQ(f.FileName(), "C:\\f.bin");
      EXPECT_EQ(f.Size(), c.mode == fmCreate ? 0 : 6);
      if (c.writes) {
        f.WriteBuffer("XY", 2);
        EXPECT_EQ(f.Position(), 2);
      } else {
        EXPECT_THROW(f.WriteBuffer("XY", 2), EWriteError);
        char buffer[6];
        f.ReadBuffer(buffer, 6);
        EXPECT_EQ(std::string(buffer, 6), "abcdef");
        EXPECT_EQ(f.Read(buffer, 6), 0);  // at the end
      }
    }
    EXPECT_EQ(testing::ReadHostFile(Host("f.bin")).value_or("<missing>"), c.after_write);
  }
}

TEST_F(FileStreamTest, SeekAndSetSize) {
  {
    TFileStream f("C:\\g.bin", fmCreate);
    f.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.Seek(-3, soFromEnd), 7);
    EXPECT_EQ(f.Seek64(-2, soFromCurrent), 5);
    char c;
    f.ReadBuffer(&c, 1);
    EXPECT_EQ(c, '5');
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
  }
  EXPECT_EQ(testing::ReadHostFile(Host("g.bin")).value_or("<missing>"), "0123");
}

TEST_F(FileStreamTest, FailuresNameTheFileAndTheReason) {
  struct Case { const char* name; uint16_t mode; const char* prefix; bool create; };
  const Case cases[] = {
      {"C:\\missing.zip", fmOpenRead, "Cannot open file \"C:\\missing.zip\". ", false},
      {"C:\\missing.zip", fmOpenReadWrite, "Cannot open file \"C:\\missing.zip\". ", false},
      {"C:\\no\\such\\x.bin", fmCreate, "Cannot create file \"C:\\no\\such\\x.bin\". ", true},
      {"Q:\\unmapped.bin", fmCreate, "Cannot create file \"Q:\\unmapped.bin\". ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      TFileStream f(c.name, c.mode);
      ADD_FAILURE() << "opened";
    } catch (const EFileStreamError& e) {
      EXPECT_EQ(dynamic_cast<const EFCreateError*>(&e) != nullptr, c.create);
      EXPECT_EQ(dynamic_cast<const EFOpenError*>(&e) != nullptr, !c.create);
      std::string message = e.what();
      EXPECT_EQ(message.rfind(c.prefix, 0), 0u) << message;
      EXPECT_GT(message.size(), std::strlen(c.prefix)) << "no reason given";
    }
  }
}

TEST_F(FileStreamTest, InjectedFailuresSurfaceAsStreamErrors) {
  auto faults = std::make_shared<FaultInjectingFileSystem>(CurrentFileSystem());
  faults->FailMatching(FaultKind::Open, "locked.bin");
  faults->FailMatching(FaultKind::Write, "full.bin");
  SetFileSystem(faults);
  EXPECT_THROW(TFileStream("C:\\locked.bin", fmCreate), EFCreateError);
  testing::WriteHostFile(Host("locked.bin"), "x");
  EXPECT_THROW(TFileStream("C:\\locked.bin", fmOpenRead), EFOpenError);
  TFileStream full("C:\\full.bin", fmCreate);
  EXPECT_EQ(full.Write("abc", 3), 0);
  EXPECT_THROW(full.WriteBuffer("abc", 3), EWriteError);
  EXPECT_THROW(full.SetSize(0), EStreamError);
}

}  // namespace
}  // namespace corvina
