// Tests of the reader's containers: growth and limits of the object list, ownership, the sorted
// list's search and duplicate policies, the orders of the sorted directory, and list streaming.
#include "zip/Containers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/Stream.h"
#include "zip/ZipRecords.h"

namespace corvina {
namespace {

// A small keyed object that counts the live instances, so a test sees what a list freed.
class Item : public TPersistent {
public:
  explicit Item(int32_t k = 0) : key(k) { ++live; }
  ~Item() override { --live; }
  const char* ClassName() const override { return "TTestItem"; }
  int32_t key;
  static int live;
};
int Item::live = 0;

class ItemList : public TSortedObjectList {
public:
  explicit ItemList(TDuplicates duplicates) : TSortedObjectList(duplicates) {}
  int32_t Compare(const TPersistent* item_key, const TPersistent* key) const override {
    return static_cast<const Item*>(item_key)->key - static_cast<const Item*>(key)->key;
  }
};

std::vector<int32_t> Keys(const TObjectList& list) {
  std::vector<int32_t> keys;
  for (int32_t i = 0; i < list.Count(); ++i) keys.push_back(static_cast<Item*>(list.Get(i))->key);
  return keys;
}

template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.Message;
  }
  return "(no exception)";
}

// ---- TObjectList ----

TEST(ObjectList, CapacityGrowsByFourThenEightThenSixteen) {
  TObjectList list;
  list.OwnsObjects = false;
  Item item;
  std::vector<int32_t> capacities{list.Capacity()};
  for (int i = 0; i < 64; ++i) {
    list.Add(&item);
    if (list.Capacity() != capacities.back()) capacities.push_back(list.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{0, 4, 8, 16, 32, 48, 64}));
  EXPECT_EQ(list.Count(), 64);
}

TEST(ObjectList, HoldsExactly65534Objects) {
  TObjectList list;
  list.OwnsObjects = false;
  Item item;
  // Start a few growth steps below the limit: 65500 + 16 + 16 reaches 65532, and the next step of
  // 16 would pass 65534.
  list.SetCapacity(65500);
  for (int32_t i = 0; i < kMaxListSize; ++i) ASSERT_EQ(list.Add(&item), i);
  EXPECT_EQ(list.Capacity(), kMaxListSize);
  EXPECT_EQ(MessageOf([&] { list.Add(&item); }), "ListIndexError");
  EXPECT_EQ(MessageOf([&] { list.Insert(0, &item); }), "ListIndexError");
  EXPECT_EQ(list.Count(), kMaxListSize);
  EXPECT_EQ(list.Get(kMaxListSize - 1), &item);
}

TEST(ObjectList, RangeViolationsRaiseAndLeaveTheListUnchanged) {
  Item a(1), b(2), c(3);
  struct Case {
    const char* what;
    void (*act)(TObjectList&, Item&);
  };
  const Case cases[] = {
      {"Get(-1)", [](TObjectList& l, Item&) { l.Get(-1); }},
      {"Get(Count)", [](TObjectList& l, Item&) { l.Get(l.Count()); }},
      {"Put(Count)", [](TObjectList& l, Item& x) { l.Put(l.Count(), &x); }},
      {"Put(-1)", [](TObjectList& l, Item& x) { l.Put(-1, &x); }},
      {"Insert(Count + 1)", [](TObjectList& l, Item& x) { l.Insert(l.Count() + 1, &x); }},
      {"Insert(-1)", [](TObjectList& l, Item& x) { l.Insert(-1, &x); }},
      {"SetCapacity below Count", [](TObjectList& l, Item&) { l.SetCapacity(1); }},
      {"SetCapacity above the limit", [](TObjectList& l, Item&) { l.SetCapacity(kMaxListSize + 1); }},
      {"SetCount(-1)", [](TObjectList& l, Item&) { l.SetCount(-1); }},
      {"SetCount above the limit", [](TObjectList& l, Item&) { l.SetCount(kMaxListSize + 1); }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.what);
    TObjectList list;
    list.OwnsObjects = false;
    list.Add(&a);
    list.Add(&b);
    EXPECT_EQ(MessageOf([&] { test.act(list, c); }), "ListIndexError");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Capacity(), 4);
    EXPECT_EQ(list.Get(0), &a);
    EXPECT_EQ(list.Get(1), &b);
  }
  TObjectList empty;
  EXPECT_EQ(MessageOf([&] { empty.First(); }), "ListIndexError");
  EXPECT_EQ(MessageOf([&] { empty.Last(); }), "ListIndexError");
  EXPECT_EQ(MessageOf([&] { empty.Neighbour(nullptr, true); }), "ListIndexError");
  EXPECT_EQ(MessageOf([&] { empty.Neighbour(nullptr, false); }), "ListIndexError");
}

TEST(ObjectList, InsertPutIndexOfAndNeighbour) {
  Item a(1), b(2), c(3), d(4);
  TObjectList list;
  list.OwnsObjects = false;
  list.Add(&a);
  list.Add(&c);
  list.Insert(1, &b);  // between
  list.Insert(3, &d);  // at the end
  EXPECT_EQ(Keys(list), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(list.IndexOf(&c), 2);
  Item twin(3);  // equal key, other object: identity counts in a plain list
  EXPECT_EQ(list.IndexOf(&twin), -1);
  EXPECT_EQ(list.First(), &a);
  EXPECT_EQ(list.Last(), &d);
  EXPECT_EQ(list.Neighbour(nullptr, true), &a);
  EXPECT_EQ(list.Neighbour(nullptr, false), &d);
  EXPECT_EQ(list.Neighbour(&b, true), &c);
  EXPECT_EQ(list.Neighbour(&b, false), &a);
  EXPECT_EQ(list.Neighbour(&d, true), nullptr);
  EXPECT_EQ(list.Neighbour(&a, false), nullptr);
  EXPECT_EQ(MessageOf([&] { list.Neighbour(&twin, true); }), "tObject TTestItem not in item list");
  list.Put(0, &twin);
  EXPECT_EQ(list.Get(0), &twin);
  list.SetCount(6);
  EXPECT_EQ(list.Get(5), nullptr);
}

TEST(ObjectList, OwnershipDecidesWhatIsFreed) {
  Item::live = 0;
  {
    TObjectList owning;
    owning.Add(new Item(1));
    owning.Add(new Item(2));
    auto* replaced = new Item(3);
    owning.Add(replaced);
    auto* replacement = new Item(4);
    owning.Put(2, replacement);  // the replaced object stays the caller's
    EXPECT_EQ(Item::live, 4);
    delete replaced;
  }
  EXPECT_EQ(Item::live, 0);

  Item kept(5);
  {
    TObjectList sharing;
    sharing.OwnsObjects = false;
    sharing.Add(&kept);
    sharing.FreeAll();
    EXPECT_EQ(sharing.Count(), 0);
  }
  EXPECT_EQ(Item::live, 1);

  auto* loose = new Item(6);
  {
    TObjectList owning;
    owning.Add(loose);
    owning.Clear();  // Clear forgets, it does not free
    EXPECT_EQ(owning.Capacity(), 0);
  }
  EXPECT_EQ(Item::live, 2);
  delete loose;
}

// ---- TSortedObjectList ----

TEST(SortedObjectList, SearchFindsTheFirstEqualItemOnlyWhenDuplicatesAreAccepted) {
  ItemList list(TDuplicates::AcceptDuplicates);
  for (int32_t k : {5, 3, 1, 3, 3}) list.Add(new Item(k));
  ASSERT_EQ(Keys(list), (std::vector<int32_t>{1, 3, 3, 3, 5}));
  struct Case {
    TDuplicates policy;
    int32_t key;
    bool found;
    int32_t position;
  };
  const Case cases[] = {
      {TDuplicates::AcceptDuplicates, 0, false, 0}, {TDuplicates::AcceptDuplicates, 1, true, 0},
      {TDuplicates::AcceptDuplicates, 2, false, 1}, {TDuplicates::AcceptDuplicates, 3, true, 1},
      {TDuplicates::AcceptDuplicates, 4, false, 4}, {TDuplicates::AcceptDuplicates, 5, true, 4},
      {TDuplicates::AcceptDuplicates, 6, false, 5},
      // The other policies stop at the first equal item the halving meets: the middle one.
      {TDuplicates::IgnoreDuplicates, 3, true, 2}, {TDuplicates::RejectDuplicates, 3, true, 2},
      {TDuplicates::IgnoreDuplicates, 1, true, 0}, {TDuplicates::RejectDuplicates, 6, false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "policy " << static_cast<int>(c.policy) << " key " << c.key);
    list.Duplicates = c.policy;
    Item key(c.key);
    int32_t position = -7;
    EXPECT_EQ(list.Search(&key, position), c.found);
    EXPECT_EQ(position, c.position);
  }
}

TEST(SortedObjectList, DuplicatePolicies) {
  Item::live = 0;
  {
    ItemList ignore(TDuplicates::IgnoreDuplicates);
    ignore.Add(new Item(1));
    Item twin(1);
    EXPECT_EQ(ignore.Add(&twin), 0);
    EXPECT_EQ(ignore.Count(), 1);
    EXPECT_EQ(ignore.IndexOf(&twin), 0);  // any object with an equal key counts
    EXPECT_NE(ignore.Get(0), &twin);
  }
  EXPECT_EQ(Item::live, 0);  // the refused object was left alone, the list freed its own

  ItemList reject(TDuplicates::RejectDuplicates);
  reject.Add(new Item(1));
  reject.Add(new Item(2));
  auto twin = std::make_unique<Item>(2);
  EXPECT_EQ(MessageOf([&] { reject.Add(twin.get()); }), "Duplicate Object index");
  EXPECT_EQ(Keys(reject), (std::vector<int32_t>{1, 2}));

  // Accepted duplicates go in front of their equals.
  ItemList accept(TDuplicates::AcceptDuplicates);
  accept.OwnsObjects = false;
  Item first(7), second(7), third(7), low(1);
  for (Item* item : {&first, &second, &low, &third}) accept.Add(item);
  EXPECT_EQ(accept.Get(0), &low);
  EXPECT_EQ(accept.Get(1), &third);
  EXPECT_EQ(accept.Get(2), &second);
  EXPECT_EQ(accept.Get(3), &first);
}

TEST(SortedObjectList, AddReturnsZeroAndPutIsRefused) {
  ItemList list(TDuplicates::AcceptDuplicates);
  EXPECT_EQ(list.Add(new Item(1)), 0);
  EXPECT_EQ(list.Add(new Item(9)), 0);  // went to the end
  EXPECT_EQ(list.Add(new Item(5)), 0);
  list.Insert(0, new Item(7));  // the index is ignored
  EXPECT_EQ(Keys(list), (std::vector<int32_t>{1, 5, 7, 9}));
  Item other(3);
  EXPECT_EQ(MessageOf([&] { list.Put(0, &other); }), "Cannot <Put> an Object in a sorted list!");
  EXPECT_EQ(Keys(list), (std::vector<int32_t>{1, 5, 7, 9}));
  Item missing(4);
  EXPECT_EQ(list.IndexOf(&missing), -1);
  // Nothing to compare: refused rather than dereferenced.
  EXPECT_EQ(list.IndexOf(nullptr), -1);
  EXPECT_EQ(MessageOf([&] { list.Add(nullptr); }), "ListIndexError");
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(MessageOf([&] { list.Neighbour(&missing, true); }), "tObject TTestItem not in item list");
}

// ---- TSortedZip ----

struct EntrySpec {
  std::string dir;
  std::string name;
  uint32_t date = 0x3A214C63;
  int32_t packed = 10;
  int32_t unpacked = 10;
  uint16_t disk = 0;
  uint32_t offset = 0;
};

std::unique_ptr<TZipHeaderInfo> MakeEntry(const EntrySpec& s) {
  auto entry = std::make_unique<TZipHeaderInfo>();
  entry->SetEntryDir(s.dir);
  entry->SetEntryName(s.name);
  entry->DosDateTime = s.date;
  entry->PackedSize = s.packed;
  entry->UnpackedSize = s.unpacked;
  entry->StartDisk = s.disk;
  entry->LocalOffset = s.offset;
  return entry;
}

constexpr uint32_t Dos(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return (static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day) << 16) |
         static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
}

TEST(SortedZip, EveryModeOrdersAndBreaksTiesAsDocumented) {
  struct Case {
    const char* what;
    TZipSortMode mode;
    std::vector<EntrySpec> added;  // in this order; each entry's name doubles as its label
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"full name, equal names in reverse insertion, ASCII case folded",
       TZipSortMode::ByName,
       {{"b\\", "x"}, {"A\\", "z"}, {"a\\", "Z"}, {"", "c"}, {"b\\", "w"}},
       {"Z", "z", "w", "x", "c"}},
      {"file name", TZipSortMode::ByFileName, {{"z\\", "b"}, {"a\\", "c"}, {"q\\", "A"}, {"", "a"}}, {"a", "A", "b", "c"}},
      {"directory", TZipSortMode::ByDirectoryName, {{"b\\", "1"}, {"a\\", "2"}, {"B\\", "3"}, {"", "4"}}, {"4", "2", "3", "1"}},
      {"date: newest first, equal dates in insertion order, a rejected date last",
       TZipSortMode::ByDate,
       {{"", "old", Dos(1999, 5, 1)},
        {"", "bad", Dos(2001, 2, 30)},
        {"", "new", Dos(2005, 1, 1, 12, 0, 2)},
        {"", "new2", Dos(2005, 1, 1, 12, 0, 2)},
        {"", "newer", Dos(2005, 1, 1, 12, 0, 4)}},
       {"newer", "new", "new2", "old", "bad"}},
      {"packed size: largest first, equal in insertion order",
       TZipSortMode::ByCompressedSize,
       {{"", "s", 0, 5}, {"", "l1", 0, 50}, {"", "l2", 0, 50}, {"", "m", 0, 20}},
       {"l1", "l2", "m", "s"}},
      {"unpacked size: largest first, equal in insertion order",
       TZipSortMode::ByUnCompressedSize,
       {{"", "s", 0, 1, 5}, {"", "l1", 0, 1, 50}, {"", "m", 0, 1, 20}, {"", "l2", 0, 1, 50}},
       {"l1", "l2", "m", "s"}},
      {"rate: highest first, equal in reverse insertion; empty is 0, grown is 100",
       TZipSortMode::ByRate,
       {{"", "half", 0, 50, 100},
        {"", "empty", 0, 7, 0},
        {"", "grown", 0, 150, 100},
        {"", "full", 0, 100, 100},
        {"", "half2", 0, 1, 2}},
       {"full", "grown", "half2", "half", "empty"}},
      {"archive order: disk, then signed local offset",
       TZipSortMode::ByNone,
       {{"", "d1o0", 0, 0, 0, 1, 0},
        {"", "d0o9", 0, 0, 0, 0, 9},
        {"", "d0o2", 0, 0, 0, 0, 2},
        {"", "d0neg", 0, 0, 0, 0, 0x80000000u}},
       {"d0neg", "d0o2", "d0o9", "d1o0"}},
      {"a mode outside the enumeration keeps insertion order",
       static_cast<TZipSortMode>(9),
       {{"", "3"}, {"", "1"}, {"", "2"}},
       {"3", "1", "2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TSortedZip list(TDuplicates::AcceptDuplicates);
    list.SortMode = c.mode;
    for (const EntrySpec& s : c.added) EXPECT_EQ(list.Add(MakeEntry(s).release()), 0);
    std::vector<std::string> order;
    for (int32_t i = 0; i < list.Count(); ++i) order.push_back(list.Entry(i)->EntryName());
    EXPECT_EQ(order, c.expected);
  }
}

TEST(SortedZip, DirectoryRejectsTwoRecordsAtTheSamePlace) {
  TSortedZip directory(TDuplicates::RejectDuplicates);
  EXPECT_EQ(directory.SortMode, TZipSortMode::ByNone);
  directory.Add(MakeEntry({"", "a", 0, 1, 1, 0, 100}).release());
  directory.Add(MakeEntry({"", "b", 0, 1, 1, 1, 100}).release());  // same offset, other disk
  auto same_place = MakeEntry({"", "c", 0, 1, 1, 0, 100});
  EXPECT_EQ(MessageOf([&] { directory.Add(same_place.get()); }), "Duplicate Object index");
  EXPECT_EQ(directory.Count(), 2);
}

TEST(SortedZip, CompressionRateRoundsHalvesToEvenAndCaps) {
  struct Case {
    int32_t packed, unpacked, rate;
  };
  const Case cases[] = {
      {0, 0, 0},     {5, 0, 0},        {5, -3, 0},          {1, 200, 0},  // 0.5 -> 0
      {3, 200, 2},   {5, 200, 2},      {7, 200, 4},         // 1.5 -> 2, 2.5 -> 2, 3.5 -> 4
      {1, 3, 33},    {2, 3, 67},       {101, 100, 100},     {2000000000, 1, 100},
      {2147483647, 2147483647, 100},   {1073741823, 2147483646, 50},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.packed << "/" << c.unpacked);
    EXPECT_EQ(CompressionRate(*MakeEntry({"", "x", 0, c.packed, c.unpacked})), c.rate);
  }
}

TEST(SortedZip, DosDatesBecomeDaysSince1899) {
  struct Case {
    uint32_t dos;
    bool valid;
    double days;
  };
  const Case cases[] = {
      {Dos(1980, 1, 1), true, 29221.0},
      {Dos(2000, 2, 29, 12), true, 36585.5},
      {Dos(2009, 1, 1, 9, 35, 6), true, 39814.0 + (9 * 3600 + 35 * 60 + 6) / 86400.0},
      {Dos(2001, 2, 29), false, 0},  // not a leap year
      {Dos(2100, 2, 29), false, 0},  // nor is 2100
      {Dos(2001, 2, 30), false, 0},
      {Dos(2001, 4, 31), false, 0},
      {Dos(2001, 0, 1), false, 0},
      {Dos(2001, 13, 1), false, 0},
      {Dos(2001, 1, 0), false, 0},
      {Dos(2001, 1, 1, 24), false, 0},
      {Dos(2001, 1, 1, 0, 60), false, 0},
      {Dos(2001, 1, 1, 0, 0, 60), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.dos);
    double days = -1;
    EXPECT_EQ(DosDateTimeToDateTime(c.dos, days), c.valid);
    if (c.valid) {
      EXPECT_DOUBLE_EQ(days, c.days);
    }
  }
}

// ---- Class registry and streaming ----

// Registers TTestItem (its key as four bytes) for one test.
class Streaming : public ::testing::Test {
protected:
  void SetUp() override {
    tRegisterRec row;
    row.ClassRef = [] { return std::make_unique<Item>(); };
    row.LoadProc = [](TPersistent& object, TStream& stream) {
      stream.ReadBuffer(&static_cast<Item&>(object).key, 4);
    };
    row.StoreProc = [](const TPersistent& object, TStream& stream) {
      stream.WriteBuffer(&static_cast<const Item&>(object).key, 4);
    };
    ASSERT_TRUE(ClassRegistry().Register("TTestItem", row));
    Item::live = 0;
  }
  void TearDown() override { ClassRegistry().Unregister("TTestItem"); }

  static std::vector<uint8_t> Saved(const TObjectList& list) {
    TMemoryStream stream;
    list.SaveData(stream);
    return stream.Data();
  }
};

TEST_F(Streaming, RegistryIgnoresASecondRowOfTheSameNameInAnyCase) {
  tRegisterRec other;
  EXPECT_FALSE(ClassRegistry().Register("ttestitem", other));
  const tRegisterRec* row = ClassRegistry().Find("TTESTITEM");
  ASSERT_NE(row, nullptr);
  EXPECT_TRUE(static_cast<bool>(row->ClassRef));  // still the first row
  EXPECT_EQ(ClassRegistry().Find("TNobody"), nullptr);
}

TEST_F(Streaming, SortedListRoundTripsThroughItsStreamFormat) {
  ItemList list(TDuplicates::AcceptDuplicates);
  for (int32_t k : {0x0102, -1}) list.Add(new Item(k));
  const std::vector<uint8_t> bytes = Saved(list);
  std::vector<uint8_t> expected = {1, 1, 2, 0, 0, 0};
  for (int32_t k : {-1, 0x0102}) {
    expected.push_back(9);
    for (char ch : std::string("TTestItem")) expected.push_back(static_cast<uint8_t>(ch));
    uint8_t raw[4];
    std::memcpy(raw, &k, 4);
    expected.insert(expected.end(), raw, raw + 4);
  }
  EXPECT_EQ(bytes, expected);

  ItemList loaded(TDuplicates::RejectDuplicates);
  loaded.OwnsObjects = false;
  loaded.Add(new Item(5));  // loading adds to what is there, in order
  TMemoryStream in(bytes);
  loaded.LoadData(in);
  EXPECT_EQ(loaded.Duplicates, TDuplicates::AcceptDuplicates);
  EXPECT_TRUE(loaded.OwnsObjects);
  EXPECT_EQ(Keys(loaded), (std::vector<int32_t>{-1, 5, 0x0102}));
  EXPECT_EQ(in.Position(), static_cast<int64_t>(bytes.size()));

  // A plain list writes no policy byte.
  TObjectList plain;
  plain.OwnsObjects = false;
  Item item(3);
  plain.Add(&item);
  const std::vector<uint8_t> plain_bytes = Saved(plain);
  ASSERT_GE(plain_bytes.size(), 5u);
  EXPECT_EQ(std::vector<uint8_t>(plain_bytes.begin(), plain_bytes.begin() + 5), (std::vector<uint8_t>{0, 1, 0, 0, 0}));
  TObjectList plain_loaded;
  TMemoryStream plain_in(plain_bytes);
  plain_loaded.LoadData(plain_in);
  EXPECT_FALSE(plain_loaded.OwnsObjects);
  ASSERT_EQ(plain_loaded.Count(), 1);
  EXPECT_EQ(static_cast<Item*>(plain_loaded.Get(0))->key, 3);
  delete plain_loaded.Get(0);
}

TEST_F(Streaming, ARefusedDuplicateIsFreedWhileLoading) {
  std::vector<uint8_t> bytes = {0, 1, 2, 0, 0, 0};  // IgnoreDuplicates, owning, two objects
  for (int rep = 0; rep < 2; ++rep) {
    bytes.push_back(9);
    for (char ch : std::string("TTestItem")) bytes.push_back(static_cast<uint8_t>(ch));
    bytes.insert(bytes.end(), {4, 0, 0, 0});
  }
  {
    ItemList list(TDuplicates::AcceptDuplicates);
    TMemoryStream in(bytes);
    list.LoadData(in);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(Item::live, 1);
  }
  EXPECT_EQ(Item::live, 0);
}

TEST_F(Streaming, ErrorsOfBadStreamsAndUnregisteredClasses) {
  auto record = [](const std::string& name) {
    std::vector<uint8_t> r{static_cast<uint8_t>(name.size())};
    r.insert(r.end(), name.begin(), name.end());
    return r;
  };
  auto list_of = [](std::vector<uint8_t> head, const std::vector<uint8_t>& body) {
    head.insert(head.end(), body.begin(), body.end());
    return head;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    std::string message;
  };
  const std::string long_name(70, 'N');
  const Case cases[] = {
      {"unregistered class", list_of({1, 1, 1, 0, 0, 0}, record("TNobody")), "Class <TNobody> not registered"},
      {"long name cut to 63", list_of({1, 1, 1, 0, 0, 0}, record(long_name)),
       "Class <" + long_name.substr(0, 63) + "> not registered"},
      {"policy byte out of range", {3, 1, 0, 0, 0, 0}, "Stream read error"},
      {"cut in the count", {1, 1, 0, 0}, "Stream read error"},
      {"cut in an object", list_of({1, 1, 1, 0, 0, 0}, {9, 'T', 'T', 'e'}), "Stream read error"},
      {"cut in the object's data", list_of({1, 1, 1, 0, 0, 0}, list_of(record("TTestItem"), {1, 2})),
       "Stream read error"},
      {"more objects than a list holds", {1, 1, 0xFF, 0xFF, 0, 0}, "ListIndexError"},
      {"count near the 32-bit limit", {1, 1, 0xFF, 0xFF, 0xFF, 0x7F}, "ListIndexError"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ItemList list(TDuplicates::AcceptDuplicates);
    TMemoryStream in(c.bytes);
    EXPECT_EQ(MessageOf([&] { list.LoadData(in); }), c.message);
    EXPECT_EQ(list.Count(), 0);
  }
  EXPECT_EQ(Item::live, 0);

  TObjectList sources;
  sources.OwnsObjects = false;
  TZipHeaderInfo entry;
  sources.Add(&entry);
  EXPECT_EQ(MessageOf([&] { Saved(sources); }), "Source Class <TZipHeaderInfo> not registered");
  TObjectList holes;
  holes.Add(nullptr);
  EXPECT_EQ(MessageOf([&] { Saved(holes); }), "Nil Source Class!");
}

TEST_F(Streaming, ObjectContainerIsDeclaredOnlyForAListWithObjects) {
  struct RecordingFiler : TFiler {
    void DefineBinaryProperty(const std::string& property, const std::function<void(TStream&)>& read,
                              const std::function<void(TStream&)>& write, bool data) override {
      name = property;
      reader = read;
      writer = write;
      has_data = data;
    }
    std::string name;
    std::function<void(TStream&)> reader, writer;
    bool has_data = true;
  };
  ItemList list(TDuplicates::RejectDuplicates);
  RecordingFiler empty_filer;
  list.DefineProperties(empty_filer);
  EXPECT_EQ(empty_filer.name, "ObjectContainer");
  EXPECT_FALSE(empty_filer.has_data);

  list.Add(new Item(42));
  RecordingFiler filer;
  list.DefineProperties(filer);
  EXPECT_TRUE(filer.has_data);
  TMemoryStream stream;
  filer.writer(stream);
  EXPECT_EQ(stream.Data(), Saved(list));

  ItemList copy(TDuplicates::AcceptDuplicates);
  RecordingFiler copy_filer;
  copy.DefineProperties(copy_filer);
  stream.SetPosition(0);
  copy_filer.reader(stream);
  EXPECT_EQ(Keys(copy), (std::vector<int32_t>{42}));
  EXPECT_EQ(copy.Duplicates, TDuplicates::RejectDuplicates);
}

}  // namespace
}  // namespace corvina
