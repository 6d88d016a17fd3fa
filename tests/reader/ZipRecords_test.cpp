// The ZIP records on crafted bytes: field parsing, the name conversion and split, the date repair,
// the record readers' failures and volume switch, the end-record search, and assignment.
#include "zip/ZipRecords.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/Stream.h"
#include "support/ZipWriter.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::CentralHeader;
using testing::EndRecord;
using testing::EndRecordSpec;
using testing::LocalHeader;
using testing::ZipEntrySpec;

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Filler(size_t n, uint8_t value = 0xAA) { return Bytes(n, value); }

ZipEntrySpec Entry(const std::string& name) {
  ZipEntrySpec e;
  e.name = name;
  e.data = "hello";
  return e;
}

// A stored name goes through slash conversion, OEM 866 -> ANSI 1251, and the split at the last
// backslash or colon. Both readers take the same path, so each case runs through both.
struct NameCase {
  std::string stored;
  std::string dir;
  std::string name;
  uint16_t name_length;
};

// Shows the stored name in test output instead of the struct's bytes.
void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.stored << '"'; }

class NameSplit : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameSplit, CentralAndLocalRecordsConvertAndSplitTheName) {
  const NameCase& c = GetParam();
  {
    TMemoryStream stream(CentralHeader(Entry(c.stored), 0));
    TZipHeaderInfo info;
    ASSERT_TRUE(info.ReadCentral(stream));
    EXPECT_EQ(info.EntryDir(), c.dir);
    EXPECT_EQ(info.EntryName(), c.name);
    EXPECT_EQ(info.NameLength, c.name_length);
  }
  {
    TMemoryStream stream(LocalHeader(Entry(c.stored)));
    TZipHeaderInfo info;
    ASSERT_TRUE(info.ReadLocal(stream));
    EXPECT_EQ(info.EntryDir(), c.dir);
    EXPECT_EQ(info.EntryName(), c.name);
    EXPECT_EQ(info.NameLength, c.name_length);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameSplit,
    ::testing::Values(NameCase{"docs/readme.txt", "docs\\", "readme.txt", 15},
                      NameCase{"docs/", "docs\\", "", 5},
                      NameCase{"readme.txt", "", "readme.txt", 10},
                      NameCase{"a/b\\c.txt", "a\\b\\", "c.txt", 9},
                      // a split at a colon gains a backslash, so the lengths no longer add up to
                      // the stored length
                      NameCase{"c:x.txt", "c:\\", "x.txt", 8},
                      // 866 capital O (0x8E) is 1251 0xCE; 866 small a (0xA0) is 1251 0xE0
                      NameCase{"\x8E.txt", "", "\xCE.txt", 5},
                      NameCase{"\x8E/\xA0", "\xCE\\", "\xE0", 3}));

TEST(ConvertEntryName, ConvertsSlashesAndOemTextInPlace) {
  std::string name = "\x8E\x8F/\xA0\\b";
  ConvertEntryName(name);
  EXPECT_EQ(name, "\xCE\xCF\\\xE0\\b");
}

TEST(TZipHeaderInfoTest, ReadCentralTakesEveryFieldAndSkipsExtraAndComment) {
  ZipEntrySpec e = Entry("dir/file.bin");
  e.made_by = 0x0B17;
  e.needed_version = 10;
  e.flags = 0x0009;
  e.method = 6;
  e.crc = 0xDEADBEEF;
  e.packed_size = 0x80000001u;  // read as a signed 32-bit value
  e.unpacked_size = 1234;
  e.central_extra = "XYZ";
  e.comment = "a comment";
  e.start_disk = 3;
  e.internal_attr = 0x0102;
  e.external_attr = 0x81ED0021u;
  const Bytes prefix = Filler(7);
  TMemoryStream stream(Concat({prefix, CentralHeader(e, 0x01020304u), Filler(3, 0x55)}));
  stream.Seek64(7, soFromBeginning);

  TZipHeaderInfo info;
  info.Marked = true;
  ASSERT_TRUE(info.ReadCentral(stream));
  EXPECT_EQ(info.MadeBy, 0x0B17);
  EXPECT_EQ(info.NeededVersion, 10);
  EXPECT_EQ(info.BitFlags, 0x0009);
  EXPECT_TRUE(info.IsEncrypted());
  EXPECT_TRUE(info.HasDataDescriptor());
  EXPECT_EQ(info.Method, 6);
  EXPECT_EQ(info.DosDateTime, e.dos_date_time);
  EXPECT_EQ(info.Crc, 0xDEADBEEFu);
  EXPECT_EQ(info.PackedSize, static_cast<int32_t>(0x80000001u));
  EXPECT_EQ(info.UnpackedSize, 1234);
  EXPECT_EQ(info.NameLength, 12);
  EXPECT_EQ(info.ExtraLength, 3);
  EXPECT_EQ(info.CommentLength, 9);
  EXPECT_TRUE(info.HasComment());
  EXPECT_FALSE(info.Comment().has_value());  // read on demand only
  EXPECT_EQ(info.StartDisk, 3);
  EXPECT_EQ(info.InternalAttr, 0x0102);
  EXPECT_EQ(info.ExternalAttr, 0x81ED0021u);
  EXPECT_EQ(info.LocalOffset, 0x01020304u);
  EXPECT_EQ(info.CentralOffset, 7u);
  EXPECT_FALSE(info.Marked);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(7 + 46 + 12 + 3 + 9));
}

TEST(TZipHeaderInfoTest, ReadLocalLeavesTheStreamAfterTheNameAndZeroesCentralOnlyFields) {
  ZipEntrySpec e = Entry("x/y.txt");
  e.local_extra = "EXTRA";
  e.method = 8;
  e.flags = 1;
  const Bytes prefix = Filler(100);
  TMemoryStream stream(Concat({prefix, LocalHeader(e)}));
  stream.Seek64(100, soFromBeginning);

  TZipHeaderInfo info;
  info.ExternalAttr = 0x1234;
  info.CentralOffset = 99;
  info.SetComment(std::string("old"));
  ASSERT_TRUE(info.ReadLocal(stream));
  EXPECT_EQ(info.MadeBy, 0);
  EXPECT_EQ(info.ExternalAttr, 0u);
  EXPECT_EQ(info.InternalAttr, 0);
  EXPECT_EQ(info.CommentLength, 0);
  EXPECT_FALSE(info.Comment().has_value());
  EXPECT_EQ(info.CentralOffset, 0u);
  EXPECT_EQ(info.LocalOffset, 100u);
  EXPECT_EQ(info.Method, 8);
  EXPECT_TRUE(info.IsEncrypted());
  EXPECT_EQ(info.Crc, testing::SimpleCrc32("hello"));
  EXPECT_EQ(info.PackedSize, 5);
  EXPECT_EQ(info.ExtraLength, 5);
  EXPECT_EQ(info.EntryDir(), "x\\");
  EXPECT_EQ(info.EntryName(), "y.txt");
  EXPECT_EQ(stream.Position(), 100 + 30 + 7);  // the extra field is the caller's to skip
}

// Records that cannot be read: false, nothing raised, the stream back at the record's start.
struct BadRecordCase {
  const char* what;
  Bytes central;
  Bytes local;
};

std::vector<BadRecordCase> BadRecords() {
  const ZipEntrySpec e = Entry("name.txt");
  const Bytes central = CentralHeader(e, 0);
  const Bytes local = LocalHeader(e);
  std::vector<BadRecordCase> cases;
  cases.push_back({"wrong signature", CentralHeader(e, 0, 0x02014B51u), LocalHeader(e, 0x04034B51u)});
  cases.push_back({"local signature where a central one belongs", LocalHeader(e), CentralHeader(e, 0)});
  cases.push_back({"fixed part cut short", Bytes(central.begin(), central.begin() + 45),
                   Bytes(local.begin(), local.begin() + 29)});
  cases.push_back({"name cut short", Bytes(central.begin(), central.begin() + 46 + 7),
                   Bytes(local.begin(), local.begin() + 30 + 7)});
  cases.push_back({"nothing at all", Bytes{}, Bytes{}});
  return cases;
}

TEST(TZipHeaderInfoTest, UnreadableRecordsReturnFalseWithTheStreamBackAtTheStart) {
  for (const BadRecordCase& c : BadRecords()) {
    SCOPED_TRACE(c.what);
    const Bytes prefix = Filler(11);
    {
      TMemoryStream stream(Concat({prefix, c.central}));
      stream.Seek64(11, soFromBeginning);
      TZipHeaderInfo info;
      EXPECT_FALSE(info.ReadCentral(stream));
      EXPECT_EQ(stream.Position(), 11);
    }
    {
      TMemoryStream stream(Concat({prefix, c.local}));
      stream.Seek64(11, soFromBeginning);
      TZipHeaderInfo info;
      EXPECT_FALSE(info.ReadLocal(stream));
      EXPECT_EQ(stream.Position(), 11);
    }
  }
}

// A central record at the end of one volume continues on the next one when a handler is given.
struct VolumeSwitchCase {
  const char* what;
  size_t bytes_on_first;  // of the record, at the end of the first volume
  bool handler_called;
  bool read;
};

TEST(TZipHeaderInfoTest, ReadCentralContinuesOnTheNextVolume) {
  const VolumeSwitchCase cases[] = {
      {"nothing left on the first volume", 0, true, true},
      {"record split after its fixed signature", 20, true, true},
      {"record split inside the signature", 2, true, true},
      {"record split after the fixed part, inside the name", 50, false, false},
  };
  ZipEntrySpec e = Entry("dir/next.txt");
  e.comment = "cc";
  const Bytes record = CentralHeader(e, 77);
  for (const VolumeSwitchCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes prefix = Filler(9);
    auto first = std::make_unique<TMemoryStream>(
        Concat({prefix, Bytes(record.begin(), record.begin() + static_cast<long>(c.bytes_on_first))}));
    TMemoryStream second(Bytes(record.begin() + static_cast<long>(c.bytes_on_first), record.end()));
    first->Seek64(9, soFromBeginning);
    int calls = 0;
    TStream* handed_over = nullptr;
    TZipHeaderInfo info;
    const bool read = info.ReadCentral(*first, [&](TZipHeaderInfo& rec, TStream*& stream) {
      ++calls;
      EXPECT_EQ(&rec, &info);
      handed_over = stream;
      first.reset();  // the handler may free the volume it replaces
      stream = &second;
    });
    EXPECT_EQ(calls, c.handler_called ? 1 : 0);
    EXPECT_EQ(read, c.read);
    if (c.handler_called) {
      EXPECT_NE(handed_over, nullptr);
    }
    if (c.read) {
      EXPECT_EQ(info.EntryName(), "next.txt");
      EXPECT_EQ(info.LocalOffset, 77u);
      EXPECT_EQ(info.CentralOffset, 9u);
      EXPECT_EQ(second.Position(), second.Size());  // name, extra and comment consumed
    }
  }
}

TEST(TZipHeaderInfoTest, ReadCentralAtTheEndWithoutHandlerOrSignatureDoesNotSwitch) {
  ZipEntrySpec e = Entry("a.txt");
  const Bytes record = CentralHeader(e, 0);
  {
    TMemoryStream empty;
    TZipHeaderInfo info;
    EXPECT_FALSE(info.ReadCentral(empty));
  }
  {
    // The bytes left are not the beginning of a central record: no volume request.
    TMemoryStream stream(Filler(10, 0x50));
    int calls = 0;
    TZipHeaderInfo info;
    EXPECT_FALSE(info.ReadCentral(stream, [&](TZipHeaderInfo&, TStream*&) { ++calls; }));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(stream.Position(), 0);
  }
}

// Date repair: clamped fields are rebuilt, anything in range passes bit for bit.
constexpr uint32_t DosValue(uint32_t year, uint32_t month, uint32_t day, uint32_t hours, uint32_t minutes,
                            uint32_t seconds_field) {
  return (((year - 1980) << 9 | month << 5 | day) << 16) | (hours << 11 | minutes << 5 | seconds_field);
}

TEST(RepairDosDateTime, ClampsFieldsOutOfRangeAndKeepsValidValues) {
  struct Case {
    const char* what;
    uint32_t in;
    uint32_t out;
  } cases[] = {
      {"valid value", DosValue(2009, 1, 1, 9, 35, 3), DosValue(2009, 1, 1, 9, 35, 3)},
      {"30 February is not checked", DosValue(2001, 2, 30, 0, 0, 0), DosValue(2001, 2, 30, 0, 0, 0)},
      {"latest valid", DosValue(2099, 12, 31, 23, 59, 29), DosValue(2099, 12, 31, 23, 59, 29)},
      {"hours 31, seconds field 31", DosValue(2000, 5, 6, 31, 10, 31), DosValue(2000, 5, 6, 23, 10, 29)},
      {"seconds field 30 is 60 seconds", DosValue(2000, 5, 6, 1, 2, 30), DosValue(2000, 5, 6, 1, 2, 29)},
      {"minutes 63", DosValue(2000, 5, 6, 1, 63, 4), DosValue(2000, 5, 6, 1, 59, 4)},
      {"month 0, day 0", DosValue(1995, 0, 0, 12, 0, 0), DosValue(1995, 1, 1, 12, 0, 0)},
      {"month 15", DosValue(1995, 15, 3, 12, 0, 0), DosValue(1995, 12, 3, 12, 0, 0)},
      {"year 2107", DosValue(2107, 6, 7, 8, 9, 10), DosValue(2099, 6, 7, 8, 9, 10)},
      {"all zero", 0u, DosValue(1980, 1, 1, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RepairDosDateTime(c.in), c.out);
  }
}

TEST(RepairDosDateTime, BothReadersStoreTheRepairedValue) {
  ZipEntrySpec e = Entry("d.txt");
  e.dos_date_time = DosValue(2000, 0, 0, 31, 0, 31);
  const uint32_t repaired = DosValue(2000, 1, 1, 23, 0, 29);
  TMemoryStream central(CentralHeader(e, 0));
  TMemoryStream local(LocalHeader(e));
  TZipHeaderInfo a, b;
  ASSERT_TRUE(a.ReadCentral(central));
  ASSERT_TRUE(b.ReadLocal(local));
  EXPECT_EQ(a.DosDateTime, repaired);
  EXPECT_EQ(b.DosDateTime, repaired);
}

// The end record search.
TEST(TEndCentralTest, FindsAnEndRecordThatFillsTheWholeFile) {
  EndRecordSpec end_record;
  end_record.this_disk = 1;
  end_record.central_disk = 2;
  end_record.entries_this_disk = 3;
  end_record.total_entries = 4;
  end_record.central_size = 0x05060708;
  end_record.directory_offset = 0x0A0B0C0D;
  TMemoryStream stream(EndRecord(end_record));
  ASSERT_EQ(stream.Size(), 22);
  TEndCentral end;
  ASSERT_TRUE(end.FindInStream(stream));
  EXPECT_EQ(end.Signature, 0x06054B50u);
  EXPECT_EQ(end.ThisDisk, 1);
  EXPECT_EQ(end.CentralDisk, 2);
  EXPECT_EQ(end.EntriesThisDisk, 3);
  EXPECT_EQ(end.TotalEntries, 4);
  EXPECT_EQ(end.CentralSize, 0x05060708u);
  EXPECT_EQ(end.DirectoryOffset, 0x0A0B0C0Du);
  EXPECT_EQ(end.CommentLength, 0);
  EXPECT_EQ(end.CommentOffset, 22u);
  EXPECT_FALSE(end.HasComment());
}

// Counts reads, to show that a file under 22 bytes is not read at all.
class CountingMemoryStream : public TMemoryStream {
public:
  using TMemoryStream::TMemoryStream;
  int32_t Read(void* buffer, int32_t count) override {
    ++reads;
    return TMemoryStream::Read(buffer, count);
  }
  int reads = 0;
};

TEST(TEndCentralTest, RejectsFilesWithoutARecordInTheSearchWindow) {
  const Bytes record = EndRecord({});
  EndRecordSpec long_comment;
  long_comment.comment = std::string(65507, 'c');  // pushes the signature out of the window
  EndRecordSpec longest_comment;
  longest_comment.comment = std::string(65506, 'c');
  struct Case {
    const char* what;
    Bytes file;
    bool found;
  } cases[] = {
      {"21 bytes of a record", Bytes(record.begin() + 1, record.end()), false},
      {"empty file", Bytes{}, false},
      {"no signature", Filler(5000, 0x50), false},
      {"signature only inside the last 21 bytes", Concat({Filler(30), Bytes{0x50, 0x4B, 0x05, 0x06}, Filler(17)}),
       false},
      {"comment of 65507 bytes", EndRecord(long_comment), false},
      {"comment of 65506 bytes", EndRecord(longest_comment), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CountingMemoryStream stream(c.file);
    TEndCentral end;
    EXPECT_EQ(end.FindInStream(stream), c.found);
    if (c.file.size() < 22) {
      EXPECT_EQ(stream.reads, 0);
    }
  }
}

TEST(TEndCentralTest, TheSignatureNearestTheEndWins) {
  // The real record's comment holds a complete second end record: that one is nearer the end.
  EndRecordSpec inner;
  inner.total_entries = 9;
  inner.directory_offset = 1234;
  const Bytes inner_bytes = EndRecord(inner);
  EndRecordSpec outer;
  outer.total_entries = 2;
  outer.directory_offset = 100;
  outer.comment = std::string(inner_bytes.begin(), inner_bytes.end()) + "tail";
  const Bytes file = Concat({Filler(300), EndRecord(outer)});
  TMemoryStream stream(file);
  TEndCentral end;
  ASSERT_TRUE(end.FindInStream(stream));
  EXPECT_EQ(end.TotalEntries, 9);
  EXPECT_EQ(end.DirectoryOffset, 1234u);
  EXPECT_EQ(end.CommentLength, 0);
  EXPECT_EQ(end.CommentOffset, file.size());

  // A comment length that runs past the end of the file does not hide the record.
  EndRecordSpec lying;
  lying.comment_length = 500;
  TMemoryStream lying_stream(Concat({Filler(10), EndRecord(lying)}));
  ASSERT_TRUE(end.FindInStream(lying_stream));
  EXPECT_EQ(end.CommentLength, 500);
}

// Defaults, setters and assignment.
TEST(TZipHeaderInfoTest, ClearRestoresEveryDefault) {
  TMemoryStream stream(CentralHeader(Entry("a/b"), 5));
  TZipHeaderInfo info;
  ASSERT_TRUE(info.ReadCentral(stream));
  info.SetComment(std::string("x"));
  info.Marked = true;
  info.Clear();
  EXPECT_EQ(info.MadeBy, 20);
  EXPECT_EQ(info.NeededVersion, 20);
  EXPECT_EQ(info.BitFlags, 0);
  EXPECT_EQ(info.Method, 8);
  EXPECT_EQ(info.DosDateTime, 0u);
  EXPECT_EQ(info.Crc, 0xFFFFFFFFu);
  EXPECT_EQ(info.PackedSize, 0);
  EXPECT_EQ(info.UnpackedSize, 0);
  EXPECT_EQ(info.NameLength, 0);
  EXPECT_EQ(info.ExtraLength, 0);
  EXPECT_EQ(info.CommentLength, 0);
  EXPECT_EQ(info.StartDisk, 0);
  EXPECT_EQ(info.InternalAttr, 1);
  EXPECT_EQ(info.ExternalAttr, 0x20u);
  EXPECT_EQ(info.LocalOffset, 0u);
  EXPECT_EQ(info.CentralOffset, 0u);
  EXPECT_EQ(info.EntryName(), "");
  EXPECT_EQ(info.EntryDir(), "");
  EXPECT_FALSE(info.Comment().has_value());
  EXPECT_FALSE(info.Marked);
}

TEST(TZipHeaderInfoTest, SettersKeepNameLengthAndTheTrailingBackslash) {
  TZipHeaderInfo info;
  info.SetEntryDir("folder");
  EXPECT_EQ(info.EntryDir(), "folder\\");
  EXPECT_EQ(info.NameLength, 7);
  info.SetEntryName("file.txt");
  EXPECT_EQ(info.NameLength, 15);
  info.SetEntryDir("other\\");
  EXPECT_EQ(info.EntryDir(), "other\\");
  EXPECT_EQ(info.NameLength, 14);
  info.SetEntryDir("");
  EXPECT_EQ(info.NameLength, 8);
  // An unchanged value leaves NameLength alone, even when it was set by hand.
  info.NameLength = 99;
  info.SetEntryName("file.txt");
  EXPECT_EQ(info.NameLength, 99);

  info.SetComment(std::string("note"));
  EXPECT_EQ(info.CommentLength, 4);
  EXPECT_TRUE(info.HasComment());
  info.SetComment(std::nullopt);
  EXPECT_EQ(info.CommentLength, 0);
  EXPECT_FALSE(info.Comment().has_value());
}

TEST(TZipHeaderInfoTest, AssignCopiesEveryFieldAndASeparateComment) {
  ZipEntrySpec e = Entry("p/q.txt");
  e.made_by = 0x031E;
  e.start_disk = 2;
  e.external_attr = 0x8000;
  TMemoryStream stream(Concat({Filler(3), CentralHeader(e, 44)}));
  stream.Seek64(3, soFromBeginning);
  TZipHeaderInfo source;
  ASSERT_TRUE(source.ReadCentral(stream));
  source.SetComment(std::string("remark"));
  source.Marked = true;

  TZipHeaderInfo dest;
  dest.Assign(&source);
  TZipHeaderInfo other;
  source.AssignTo(other);
  for (const TZipHeaderInfo* copy : {&dest, &other}) {
    EXPECT_EQ(copy->MadeBy, 0x031E);
    EXPECT_EQ(copy->StartDisk, 2);
    EXPECT_EQ(copy->ExternalAttr, 0x8000u);
    EXPECT_EQ(copy->LocalOffset, 44u);
    EXPECT_EQ(copy->CentralOffset, 3u);
    EXPECT_EQ(copy->Crc, source.Crc);
    EXPECT_EQ(copy->DosDateTime, source.DosDateTime);
    EXPECT_EQ(copy->EntryDir(), "p\\");
    EXPECT_EQ(copy->EntryName(), "q.txt");
    EXPECT_EQ(copy->NameLength, 7);
    EXPECT_TRUE(copy->Marked);
    ASSERT_TRUE(copy->Comment().has_value());
    EXPECT_EQ(*copy->Comment(), "remark");
    EXPECT_EQ(copy->CommentLength, 6);
  }
  source.SetComment(std::string("changed"));
  EXPECT_EQ(*dest.Comment(), "remark");

  // A source without a loaded comment leaves none behind in the destination.
  TZipHeaderInfo plain;
  dest.Assign(&plain);
  EXPECT_FALSE(dest.Comment().has_value());
  EXPECT_EQ(dest.CommentLength, 0);
}

TEST(TEndCentralTest, AssignCopiesTheRecordAndTheComment) {
  EndRecordSpec end_record;
  end_record.this_disk = 4;
  end_record.total_entries = 6;
  end_record.directory_offset = 77;
  end_record.comment = "zip comment";
  TMemoryStream stream(EndRecord(end_record));
  TEndCentral source;
  ASSERT_TRUE(source.FindInStream(stream));
  source.SetComment(std::string("zip comment"));
  TEndCentral dest;
  dest.Assign(&source);
  TEndCentral other;
  source.AssignTo(other);
  for (const TEndCentral* copy : {&dest, &other}) {
    EXPECT_EQ(copy->ThisDisk, 4);
    EXPECT_EQ(copy->TotalEntries, 6);
    EXPECT_EQ(copy->DirectoryOffset, 77u);
    EXPECT_EQ(copy->CommentLength, 11);
    EXPECT_EQ(copy->CommentOffset, 22u);
    ASSERT_TRUE(copy->Comment().has_value());
    EXPECT_EQ(*copy->Comment(), "zip comment");
  }
  dest.Clear();
  EXPECT_EQ(dest.Signature, 0x06054B50u);
  EXPECT_EQ(dest.TotalEntries, 0);
  EXPECT_EQ(dest.CommentOffset, 0u);
  EXPECT_FALSE(dest.Comment().has_value());
}

TEST(AssignError, ForeignClassesRaiseTheAssignmentError) {
  TZipHeaderInfo info;
  TEndCentral end;
  struct Case {
    const char* what;
    std::function<void()> action;
    const char* message;
  } cases[] = {
      {"end record into entry", [&] { info.Assign(&end); }, "Cannot assign a TEndCentral to a TZipHeaderInfo"},
      {"entry into end record", [&] { end.Assign(&info); }, "Cannot assign a TZipHeaderInfo to a TEndCentral"},
      {"entry to end record", [&] { info.AssignTo(end); }, "Cannot assign a TZipHeaderInfo to a TEndCentral"},
      {"end record to entry", [&] { end.AssignTo(info); }, "Cannot assign a TEndCentral to a TZipHeaderInfo"},
      {"nothing into entry", [&] { info.Assign(nullptr); }, "Cannot assign a nil to a TZipHeaderInfo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.action();
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message, c.message);
    }
  }
}

}  // namespace
}  // namespace corvina
