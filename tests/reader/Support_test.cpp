// The reader's support routines and its string resource: percentages with halves to even, head and
// tail of strings, the zero-terminated conversions, the file-system helpers inside a temporary
// Wine-style root, and the "S_Stream" table: its bytes, its records, the cache of open tables and
// the errors for a missing table.
#include "inflate/StringResource.h"
#include "inflate/Support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "support/WineRoot.h"

namespace corvina {
namespace {

TEST(Support, PercentageTable) {
  struct Case {
    int32_t total;
    int32_t done;
    int32_t percent;
  } cases[] = {
      {0, 5, 0},      // no total: nothing to show
      {-10, 5, 0},    // a negative total is no total either
      {200, 1, 0},    // 0.5 rounds to even
      {200, 3, 2},    // 1.5 rounds to even
      {200, 5, 2},    // 2.5 rounds to even
      {200, 7, 4},    // 3.5 rounds to even
      {3, 1, 33},
      {3, 2, 67},
      {8, 1, 12},     // 12.5 rounds to even
      {8, 3, 38},     // 37.5 rounds to even
      {10, 15, 100},  // more done than total is capped
      {10, 10, 100},
      {10, 0, 0},
      {10, -3, 0},
      {INT32_MAX, INT32_MAX - 1, 100},
      {INT32_MAX, INT32_MAX / 2, 50},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Percentage(c.total, c.done), c.percent) << c.done << " of " << c.total;
    EXPECT_EQ(BigPercentage(c.total, c.done), c.percent) << c.done << " of " << c.total << " (64-bit)";
  }
}

// Values beyond a double's 53 bits: one unit above an exact half must still round up, which a
// floating-point computation of Done * 100 / Total loses.
TEST(Support, BigPercentageOfHugeValuesIsExact) {
  const int64_t unit = INT64_C(1) << 54;
  const int64_t total = 200 * unit;
  EXPECT_EQ(BigPercentage(total, unit), 0);          // exactly 0.5
  EXPECT_EQ(BigPercentage(total, unit + 1), 1);      // just over 0.5
  EXPECT_EQ(BigPercentage(total, 3 * unit), 2);      // exactly 1.5
  EXPECT_EQ(BigPercentage(total, 3 * unit - 1), 1);  // just under 1.5
  EXPECT_EQ(BigPercentage(total, total / 2), 50);
  EXPECT_EQ(BigPercentage(total, total - 1), 100);   // 99.99...
  EXPECT_EQ(BigPercentage(total, INT64_MAX), 100);
  EXPECT_EQ(BigPercentage(INT64_MAX, INT64_MAX - 1), 100);
}

TEST(Support, TailAndHead) {
  struct Case {
    const char* s;
    int32_t n;
    const char* tail;
    const char* head;
  } cases[] = {
      {"abc", 5, "abc", "abc"}, {"abc", 3, "abc", "abc"}, {"abc", 2, "bc", "ab"},
      {"abc", 0, "", ""},       {"abc", -1, "", ""},      {"", 2, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TailOf(c.s, c.n), c.tail) << c.s << " " << c.n;
    EXPECT_EQ(HeadOf(c.s, c.n), c.head) << c.s << " " << c.n;
  }
}

TEST(Support, ZeroTerminatedConversions) {
  std::string s = "left over";
  TextFromZeroTerminated("abc\0def", s);
  EXPECT_EQ(s, "abc");
  TextFromZeroTerminated(nullptr, s);
  EXPECT_EQ(s, "");

  const std::string text = "\xCF\xF0\xE8\xE2\xE5\xF2";  // 1251 bytes survive unchanged
  auto copy = ZeroTerminatedCopy(text);
  EXPECT_EQ(std::memcmp(copy.get(), text.c_str(), text.size() + 1), 0);
  auto empty = ZeroTerminatedCopy("");
  EXPECT_EQ(empty[0], '\0');

  EXPECT_STREQ(ZeroTerminated(text), text.c_str());
  EXPECT_STREQ(ZeroTerminated(std::string()), "");
  EXPECT_EQ(MinOf(-3, 7), -3);
  EXPECT_EQ(MaxOf(-3, 7), 7);
  static_assert(MinOf(INT32_MIN, INT32_MAX) == INT32_MIN && MaxOf(INT32_MIN, INT32_MAX) == INT32_MAX);
}

// ---- the file-system helpers, in a temporary Wine-style root ----

TEST(Support, FileSystemHelpers) {
  testing::WineRoot root;
  const std::string c = root.DriveC();

  CreateDirTree("C:\\one\\two\\three");
  EXPECT_TRUE(DirIsPresent("C:\\one\\two\\three"));
  EXPECT_TRUE(testing::HostExists(c + "/one/two/three"));
  CreateDirTree("C:\\one\\two");  // existing: nothing happens, nothing is raised
  EXPECT_TRUE(DirIsPresent("C:\\one\\two"));

  testing::WriteHostFile(c + "/one/file.txt", "x");
  EXPECT_TRUE(FileIsPresent("C:\\one\\file.txt"));
  EXPECT_FALSE(FileIsPresent("C:\\one\\two")) << "a folder is not a file";
  EXPECT_FALSE(DirIsPresent("C:\\one\\file.txt")) << "a file is not a folder";
  EXPECT_FALSE(FileIsPresent("C:\\one\\missing.txt"));
  EXPECT_FALSE(DirIsPresent("C:\\missing"));

  // A file in the way: the tree cannot be made, and that is not reported.
  CreateDirTree("C:\\one\\file.txt\\below");
  EXPECT_FALSE(DirIsPresent("C:\\one\\file.txt\\below"));

  std::string path = "stale";
  DriveCurrentDir(3, path);
  EXPECT_EQ(path.substr(0, 2), "C:");
}

TEST(Support, ReadVolumeLabel) {
  testing::WineRoot root;
  std::string label = "stale";
  ReadVolumeLabel("C:\\", label);
  EXPECT_EQ(label, "") << "no label file";

  struct Case {
    std::string file;
    std::string label;
  } cases[] = {
      {"DATA\n", "DATA"},
      {"SETUP_DISK_1", "SETUP_DISK_1"},
      {"ABCDEFGHIJKLMNOPQ", "ABCDEFGHIJKLM"},  // the system's buffer holds 13 characters
  };
  for (const Case& c : cases) {
    testing::WriteHostFile(root.DriveC() + "/.windows-label", c.file);
    label = "stale";
    ReadVolumeLabel("C:\\", label);
    EXPECT_EQ(label, c.label) << c.file;
  }
  label = "stale";
  ReadVolumeLabel("Q:\\", label);
  EXPECT_EQ(label, "") << "an unmapped drive";
}

// ---- the string resource ----

TEST(StringResource, StreamTableBytesParseToTheSevenStrings) {
  static_assert(kStreamStringTable.size() == 180);
  // Walk the raw bytes by the record format, independently of TS_StringResource.
  const char* expected[] = {"Seek error",
                            "Invalid seek origin (%d)",
                            "Putback overflow",
                            "Cannot find resource",
                            "Cannot access resource",
                            "Seek past end of resource stream",
                            "Cannot write to a resource stream"};
  size_t at = 0;
  for (int id = 1; id <= 7; ++id) {
    ASSERT_LE(at + 3, kStreamStringTable.size());
    const int16_t read_id = static_cast<int16_t>(kStreamStringTable[at] | (kStreamStringTable[at + 1] << 8));
    EXPECT_EQ(read_id, id);
    const size_t n = kStreamStringTable[at + 2];
    ASSERT_LE(at + 3 + n, kStreamStringTable.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&kStreamStringTable[at + 3]), n), expected[id - 1]);
    at += 3 + n;
  }
  ASSERT_EQ(at + 2, kStreamStringTable.size());
  EXPECT_EQ(kStreamStringTable[at], 0);
  EXPECT_EQ(kStreamStringTable[at + 1], 0);

  // The same texts through the resource object.
  TS_StringResource resource("S_Stream");
  for (int id = 1; id <= 7; ++id) {
    std::string text = "stale";
    resource.GetString(static_cast<int16_t>(id), text);
    EXPECT_EQ(text, expected[id - 1]);
  }
  EXPECT_FALSE(resource.IsLocked()) << "GetString unlocks again";
}

TEST(StringResource, ResourcesAreFoundWithoutRegardToCase) {
  EXPECT_NE(FindModuleResource("S_STRINGTABLE", "S_STREAM"), nullptr);
  EXPECT_NE(FindModuleResource("s_stringtable", "s_stream"), nullptr);
  EXPECT_EQ(FindModuleResource("S_StringTable", "S_Streams"), nullptr);
  EXPECT_EQ(FindModuleResource("RCDATA", "S_Stream"), nullptr);
  const ModuleResource* r = FindModuleResource("S_StringTable", "S_Stream");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Data.size(), 180u);
}

TEST(StringResource, RecordsAndMissingIdentifiers) {
  TS_StringResource resource("s_stream");
  resource.Lock();
  TS_StringResource::Record first = resource.FindRecord(1);
  ASSERT_NE(first, nullptr);
  TS_StringResource::Record second = resource.NextRecord(first);
  EXPECT_EQ(second, resource.FindRecord(2));
  EXPECT_EQ(second, first + 3 + 10);
  EXPECT_EQ(resource.FindRecord(8), nullptr);
  EXPECT_EQ(resource.FindRecord(-1), nullptr);
  EXPECT_EQ(resource.FindRecord(0), nullptr) << "the end record holds no text";
  EXPECT_EQ(resource.NextRecord(resource.FindRecord(7)) , first + 178) << "the end record follows 7";
  resource.Unlock();

  for (int16_t id : {int16_t{0}, int16_t{8}, int16_t{-1}, int16_t{32767}}) {
    std::string text = "stale";
    resource.GetString(id, text);
    EXPECT_EQ(text, "") << id;
  }
  resource.Close();
  EXPECT_FALSE(resource.IsOpen());
  EXPECT_THROW(resource.Lock(), EOutOfResources);
  try {
    resource.Lock();
  } catch (const EOutOfResources& e) {
    EXPECT_STREQ(e.what(), "Cannot lock string resource");
  }
}

// Damaged tables: the search stops where a record would run past the table's end, and never reads
// beyond it (the sanitizer run catches a read past the vector).
TEST(StringResource, RecordSearchStaysInsideDamagedTables) {
  struct Case {
    std::string bytes;
    int16_t id;
    const char* text;  // nullptr: not found
  } cases[] = {
      {std::string("\x01\x00\x03" "abc" "\xFE\xFF\x02" "de" "\x00\x00", 13), -2, "de"},
      {std::string("\x01\x00\x03" "abc" "\xFE\xFF\x02" "de" "\x00\x00", 13), 1, "abc"},
      {std::string("\x01\x00\x03" "abc" "\x02\x00\x05" "de", 11), 2, nullptr},    // text cut short
      {std::string("\x01\x00\x03" "abc" "\x02\x00\x05" "de", 11), 1, "abc"},
      {std::string("\x01\x00\x01" "a", 4), 2, nullptr},                           // no end record
      {std::string("\x01\x00\x01" "a" "\x02", 5), 2, nullptr},                   // half an identifier
      {std::string("\x01\x00", 2), 1, nullptr},                                    // no length byte
      {std::string("\x01", 1), 1, nullptr},
      {std::string(), 1, nullptr},
      {std::string("\x00\x00\x01\x00\x01" "a", 6), 1, nullptr},                 // after the end record
      {std::string("\x05\x00\x00" "\x00\x00", 5), 5, ""},                       // an empty text
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> table(c.bytes.begin(), c.bytes.end());
    const uint8_t* r = FindTableRecord(table, c.id);
    if (c.text == nullptr) {
      EXPECT_EQ(r, nullptr) << "id " << c.id << " in " << table.size() << " bytes";
    } else {
      ASSERT_NE(r, nullptr) << "id " << c.id << " in " << table.size() << " bytes";
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(r + 3), r[2]), c.text);
    }
    EXPECT_EQ(FindTableRecord(table, 0), nullptr);
  }
  const std::vector<uint8_t> cut = {0x01, 0x00, 0x01, 'a', 0x02, 0x00, 0x09, 'b'};
  EXPECT_EQ(NextTableRecord(cut, cut.data()), nullptr) << "the next record does not fit";
  EXPECT_EQ(NextTableRecord(cut, nullptr), nullptr);
}

TEST(StringResource, LoadResMessageUsesTheCache) {
  EXPECT_EQ(LoadResMessage("S_Stream", 2), "Invalid seek origin (%d)");
  TS_StringResource* cached = CachedStringResource("S_Stream");
  ASSERT_NE(cached, nullptr);
  const size_t count = StringResourceCacheCount();

  std::string text = "stale";
  LoadResMessage("S_STREAM", 8, text);
  EXPECT_EQ(text, "");
  LoadResMessage("S_Stream", 1, text);
  EXPECT_EQ(text, "Seek error");
  EXPECT_EQ(CachedStringResource("s_stream"), cached) << "the same object serves every lookup";
  EXPECT_EQ(StringResourceCacheCount(), count);
  EXPECT_TRUE(cached->IsOpen());
}

TEST(StringResource, MissingTableRaisesWithItsName) {
  const size_t count = StringResourceCacheCount();
  for (const char* name : {"S_Nothing", "S_Stream2"}) {
    try {
      LoadResMessage(name, 1);
      ADD_FAILURE() << "no exception for " << name;
    } catch (const EOutOfResources&) {
      ADD_FAILURE() << "a missing table is not an out-of-resources error";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), std::string("No such string resource: ") + name);
    }
    EXPECT_EQ(CachedStringResource(name), nullptr) << "a failed open is not cached";
  }
  EXPECT_EQ(StringResourceCacheCount(), count);
  EXPECT_THROW(TS_StringResource("S_Nothing"), Exception);
}

TEST(StringResource, ProgramStrings) {
  EXPECT_EQ(ProgramString(SResourceNotLocked), "Cannot lock string resource");
  EXPECT_EQ(ProgramString(SNoSuchResource), "No such string resource: %s");
  EXPECT_NE(ProgramString(SResourceNotLoaded), "");
  EXPECT_EQ(ProgramString(4291), "");
}

}  // namespace
}  // namespace corvina
