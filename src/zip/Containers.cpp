// The reader's containers: growth, sorted insertion, the comparisons of the sort modes, the class
// registry and the "ObjectContainer" stream format.
#include "zip/Containers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace corvina {

// ---- ClassRegistry ----

bool TClassRegistry::NameLess::operator()(const std::string& a, const std::string& b) const {
  return CompareText(a, b) < 0;
}

bool TClassRegistry::Register(const std::string& class_name, tRegisterRec record) {
  return rows_.emplace(class_name, std::move(record)).second;
}

bool TClassRegistry::Unregister(const std::string& class_name) { return rows_.erase(class_name) != 0; }

const tRegisterRec* TClassRegistry::Find(const std::string& class_name) const {
  auto it = rows_.find(class_name);
  return it == rows_.end() ? nullptr : &it->second;
}

TClassRegistry& ClassRegistry() {
  static TClassRegistry registry;
  return registry;
}

namespace {

void WriteByte(TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

uint8_t ReadByte(TStream& stream) {
  uint8_t value = 0;
  stream.ReadBuffer(&value, 1);
  return value;
}

void WriteInt32(TStream& stream, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                            static_cast<uint8_t>(v >> 24)};
  stream.WriteBuffer(bytes, 4);
}

int32_t ReadInt32(TStream& stream) {
  uint8_t bytes[4];
  stream.ReadBuffer(bytes, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                              (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
}

// Reads one object record and makes the object it describes.
std::unique_ptr<TPersistent> ReadObject(TStream& stream) {
  const uint8_t length = ReadByte(stream);
  std::string name(length, '\0');
  if (length > 0) stream.ReadBuffer(name.data(), length);
  if (name.size() > kMaxStreamedClassName) name.resize(kMaxStreamedClassName);
  const tRegisterRec* row = ClassRegistry().Find(name);
  if (row == nullptr || !row->ClassRef) throw EClassNotFound(Format(SClassNotRegistered, {name}));
  std::unique_ptr<TPersistent> object = row->ClassRef();
  if (!object) throw EClassNotFound(Format(SClassNotRegistered, {name}));
  if (row->LoadProc) row->LoadProc(*object, stream);
  return object;
}

void WriteObject(const TPersistent* object, TStream& stream) {
  if (object == nullptr) throw EClassNotFound(SNilSourceClass);
  std::string name = object->ClassName();
  if (name.size() > kMaxStreamedClassName) name.resize(kMaxStreamedClassName);
  const tRegisterRec* row = ClassRegistry().Find(name);
  if (row == nullptr) throw EClassNotFound(Format(SSourceClassNotRegistered, {name}));
  WriteByte(stream, static_cast<uint8_t>(name.size()));
  if (!name.empty()) stream.WriteBuffer(name.data(), static_cast<int32_t>(name.size()));
  if (row->StoreProc) row->StoreProc(*object, stream);
}

}  // namespace

// ---- TObjectList ----

TObjectList::~TObjectList() {
  FreeAll();
  Clear();
}

void TObjectList::DefineProperties(TFiler& filer) {
  filer.DefineBinaryProperty(
      "ObjectContainer", [this](TStream& stream) { LoadData(stream); },
      [this](TStream& stream) { SaveData(stream); }, count_ > 0);
}

void TObjectList::Error() const { throw EListError(SListIndexErrorText); }

void TObjectList::Grow() {
  const int32_t step = capacity_ > 8 ? 16 : capacity_ > 4 ? 8 : 4;
  // The last step stops at the limit, so that the list can hold every object it may hold; a full
  // list of the largest size cannot grow.
  const int32_t target = capacity_ + step > kMaxListSize ? kMaxListSize : capacity_ + step;
  if (target == capacity_) Error();
  SetCapacity(target);
}

void TObjectList::Put(int32_t index, TPersistent* item) {
  if (index < 0 || index >= count_) Error();
  items_[index] = item;
}

void TObjectList::FreeObject(TPersistent* item) {
  if (OwnsObjects) delete item;
}

int32_t TObjectList::Add(TPersistent* item) {
  if (count_ == capacity_) Grow();
  items_[count_] = item;
  return count_++;
}

void TObjectList::Clear() {
  SetCount(0);
  SetCapacity(0);
}

int32_t TObjectList::IndexOf(const TPersistent* item) const {
  for (int32_t i = 0; i < count_; ++i)
    if (items_[i] == item) return i;
  return -1;
}

void TObjectList::Insert(int32_t index, TPersistent* item) {
  if (index < 0 || index > count_) Error();
  if (count_ == capacity_) Grow();
  for (int32_t i = count_; i > index; --i) items_[i] = items_[i - 1];
  items_[index] = item;
  ++count_;
}

void TObjectList::LoadData(TStream& stream) { LoadObjects(stream); }

void TObjectList::SaveData(TStream& stream) const { SaveObjects(stream); }

void TObjectList::LoadObjects(TStream& stream) {
  OwnsObjects = ReadByte(stream) != 0;
  const int32_t n = ReadInt32(stream);
  if (n > 0 && capacity_ - count_ < n) {
    // Checked here in 64 bits: a count near the 32-bit limit must not wrap into a small capacity.
    if (static_cast<int64_t>(count_) + n > kMaxListSize) Error();
    SetCapacity(count_ + n);
  }
  for (int32_t i = 0; i < n; ++i) {
    std::unique_ptr<TPersistent> object = ReadObject(stream);
    const int32_t before = count_;
    Add(object.get());
    // A sorted list may refuse an equal key without raising; the object it did not take was made
    // here and is freed here.
    if (count_ != before) object.release();
  }
}

void TObjectList::SaveObjects(TStream& stream) const {
  WriteByte(stream, OwnsObjects ? 1 : 0);
  WriteInt32(stream, count_);
  for (int32_t i = 0; i < count_; ++i) WriteObject(items_[i], stream);
}

TPersistent* TObjectList::First() const { return Get(0); }

TPersistent* TObjectList::Last() const { return Get(count_ - 1); }

TPersistent* TObjectList::Neighbour(const TPersistent* item, bool forward) const {
  if (item == nullptr) return forward ? First() : Last();
  int32_t i = IndexOf(item);
  if (i < 0) throw EListError(Format(SObjectNotInList, {std::string(item->ClassName())}));
  i += forward ? 1 : -1;
  return i >= 0 && i < count_ ? items_[i] : nullptr;
}

TPersistent* TObjectList::Get(int32_t index) const {
  if (index < 0 || index >= count_) Error();
  return items_[index];
}

void TObjectList::SetCapacity(int32_t capacity) {
  if (capacity == capacity_) return;
  if (capacity < count_ || capacity > kMaxListSize) Error();
  std::unique_ptr<TPersistent*[]> slots;
  if (capacity > 0) {
    slots.reset(new TPersistent*[capacity]);
    std::copy(items_.get(), items_.get() + count_, slots.get());
  }
  items_ = std::move(slots);
  capacity_ = capacity;
}

void TObjectList::SetCount(int32_t count) {
  if (count < 0 || count > kMaxListSize) Error();
  if (count > capacity_) SetCapacity(count);
  for (int32_t i = count_; i < count; ++i) items_[i] = nullptr;
  count_ = count;
}

void TObjectList::FreeAll() {
  for (int32_t i = 0; i < count_; ++i) FreeObject(items_[i]);
  Clear();
}

// ---- TSortedObjectList ----

void TSortedObjectList::Put(int32_t, TPersistent*) { throw EListError(SSortedPutError); }

int32_t TSortedObjectList::Add(TPersistent* item) {
  Insert(0, item);
  return 0;
}

int32_t TSortedObjectList::IndexOf(const TPersistent* item) const {
  if (item == nullptr) return -1;  // no key to compare
  int32_t position = 0;
  return Search(KeyOf(item), position) ? position : -1;
}

void TSortedObjectList::Insert(int32_t, TPersistent* item) {
  // A sorted list compares what it holds: an empty slot has no place in the order.
  if (item == nullptr) Error();
  int32_t position = 0;
  if (Search(KeyOf(item), position)) {
    if (Duplicates == TDuplicates::IgnoreDuplicates) return;
    if (Duplicates == TDuplicates::RejectDuplicates) throw EListError(SDuplicateObjectIndex);
  }
  TObjectList::Insert(position, item);
}

bool TSortedObjectList::Search(const TPersistent* key, int32_t& position) const {
  int32_t lo = 0;
  int32_t hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int32_t mid = static_cast<int32_t>((static_cast<uint32_t>(lo) + static_cast<uint32_t>(hi)) >> 1);
    const int32_t c = Compare(KeyOf(Get(mid)), key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (Duplicates != TDuplicates::AcceptDuplicates) lo = mid;
      }
    }
  }
  position = lo;
  return found;
}

void TSortedObjectList::LoadData(TStream& stream) {
  const uint8_t policy = ReadByte(stream);
  // Only the three policies exist; any other byte means the data is not a list of this kind.
  if (policy > static_cast<uint8_t>(TDuplicates::RejectDuplicates)) throw EReadError(SReadError);
  Duplicates = static_cast<TDuplicates>(policy);
  LoadObjects(stream);
}

void TSortedObjectList::SaveData(TStream& stream) const {
  WriteByte(stream, static_cast<uint8_t>(Duplicates));
  SaveObjects(stream);
}

// ---- TSortedZip ----

bool DosDateTimeToDateTime(uint32_t dos_date_time, double& date_time) {
  const uint32_t time = dos_date_time & 0xFFFFu;
  const uint32_t date = dos_date_time >> 16;
  const int32_t year = static_cast<int32_t>(date >> 9) + 1980;
  const int32_t month = static_cast<int32_t>((date >> 5) & 0x0F);
  const int32_t day = static_cast<int32_t>(date & 0x1F);
  const int32_t hour = static_cast<int32_t>(time >> 11);
  const int32_t minute = static_cast<int32_t>((time >> 5) & 0x3F);
  const int32_t second = static_cast<int32_t>(time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return false;
  static constexpr int32_t kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int32_t month_days = kDaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
  if (day > month_days) return false;
  // Days from 1 January 0001 of the proleptic Gregorian calendar, then shifted to the epoch.
  const int32_t y = year - 1;
  int32_t days = y * 365 + y / 4 - y / 100 + y / 400;
  for (int32_t m = 1; m < month; ++m) days += kDaysInMonth[m - 1] + (m == 2 && leap ? 1 : 0);
  days += day - 1;
  constexpr int32_t kDaysTo18991230 = 693593;
  date_time = static_cast<double>(days - kDaysTo18991230) + (hour * 3600 + minute * 60 + second) / 86400.0;
  return true;
}

int32_t CompressionRate(const TZipHeaderInfo& entry) {
  if (entry.UnpackedSize <= 0) return 0;
  // Exact for every 32-bit size: the quotient of two integers below 2^53 is rounded correctly,
  // and nearbyint rounds a half to the even neighbour.
  const double rate = std::nearbyint(static_cast<double>(entry.PackedSize) * 100.0 / entry.UnpackedSize);
  return rate > 100.0 ? 100 : static_cast<int32_t>(rate);
}

namespace {

double EntryDate(const TZipHeaderInfo& entry) {
  double value = 0.0;
  return DosDateTimeToDateTime(entry.DosDateTime, value) ? value : 0.0;
}

}  // namespace

int32_t TSortedZip::Compare(const TPersistent* item_key, const TPersistent* key) const {
  const auto& a = *static_cast<const TZipHeaderInfo*>(item_key);
  const auto& b = *static_cast<const TZipHeaderInfo*>(key);
  switch (SortMode) {
    case TZipSortMode::ByName:
      return CompareText(a.EntryDir() + a.EntryName(), b.EntryDir() + b.EntryName());
    case TZipSortMode::ByFileName:
      return CompareText(a.EntryName(), b.EntryName());
    case TZipSortMode::ByDirectoryName:
      return CompareText(a.EntryDir(), b.EntryDir());
    case TZipSortMode::ByDate:
      return EntryDate(b) > EntryDate(a) ? 1 : -1;
    case TZipSortMode::ByCompressedSize:
      return static_cast<int64_t>(b.PackedSize) - a.PackedSize > 0 ? 1 : -1;
    case TZipSortMode::ByUnCompressedSize:
      return static_cast<int64_t>(b.UnpackedSize) - a.UnpackedSize > 0 ? 1 : -1;
    case TZipSortMode::ByRate:
      return CompressionRate(b) - CompressionRate(a);
    case TZipSortMode::ByNone: {
      if (a.StartDisk != b.StartDisk) return static_cast<int32_t>(a.StartDisk) - static_cast<int32_t>(b.StartDisk);
      const int32_t oa = static_cast<int32_t>(a.LocalOffset);
      const int32_t ob = static_cast<int32_t>(b.LocalOffset);
      return oa > ob ? 1 : oa == ob ? 0 : -1;
    }
  }
  return -1;
}

}  // namespace corvina
