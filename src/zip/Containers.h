// The reader's containers. TObjectList is a growable array of object references that may own
// its objects and can stream itself through the class registry; TSortedObjectList keeps its
// objects ordered by a virtual comparison and finds them by binary search, with a policy for equal
// keys; TSortedZip is the sorted list of archive entries whose order a TZipSortMode chooses. The
// unzip component keeps its directory (archive order, owning) and its sorted view (sharing the
// entries) in two TSortedZip lists.
//
// Choices a reader would not guess:
// - Capacity grows in steps of 4, 8 and then 16 slots (0, 4, 8, 16, 32, 48, ...) and never
//   beyond 65534 slots, one fewer than the end record's 16-bit entry count. The last step is
//   shortened to end exactly at 65534, so a list really holds 65534 objects before an Add fails.
// - Search is the one binary search every sorted operation uses. Under AcceptDuplicates it stops
//   at the first of the equal items, so a new item goes in front of the items equal to it; the
//   tie orders of the sort modes (reverse insertion for names, insertion order for dates and sizes)
//   follow from that and from comparisons that never answer 0.
// - Every failure leaves the list as it was, and an object a list refused stays the caller's. A
//   sorted list refuses an empty (null) slot, which it could not compare.
// - The stream format ("ObjectContainer") names each object's class; a class must be entered in
//   the process-wide ClassRegistry to be streamed. The program enters none, so only an empty list
//   streams without an error; tests register their own classes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/Stream.h"
#include "zip/ZipRecords.h"

namespace corvina {

// The streaming side of DefineProperties: a list declares its binary property through it.
class TFiler {
public:
  virtual ~TFiler() = default;
  // Declares a binary property; read and write move its bytes, has_data says whether there is
  // anything to store.
  virtual void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& read,
                                    const std::function<void(TStream&)>& write, bool has_data) = 0;
};

// One row of the class registry: how to make an object of the class and how to move its data.
struct tRegisterRec {
  std::function<std::unique_ptr<TPersistent>()> ClassRef;
  std::function<void(TPersistent& object, TStream& stream)> LoadProc;
  std::function<void(const TPersistent& object, TStream& stream)> StoreProc;
};

// The process-wide table of streamable classes, keyed by class name without regard to ASCII case.
class TClassRegistry {
public:
  // Enters a class; a second row under the same name is ignored (false).
  bool Register(const std::string& class_name, tRegisterRec record);
  // Removes a class; false when it was not there.
  bool Unregister(const std::string& class_name);
  // The row of a class, or nullptr.
  const tRegisterRec* Find(const std::string& class_name) const;
  size_t Size() const { return rows_.size(); }

private:
  struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const;
  };
  std::map<std::string, tRegisterRec, NameLess> rows_;
};

TClassRegistry& ClassRegistry();

// The longest class name the stream format holds.
inline constexpr size_t kMaxStreamedClassName = 63;
// The most objects a list holds.
inline constexpr int32_t kMaxListSize = 65534;

inline constexpr const char* SListIndexErrorText = "ListIndexError";
inline constexpr const char* SSortedPutError = "Cannot <Put> an Object in a sorted list!";
inline constexpr const char* SDuplicateObjectIndex = "Duplicate Object index";
inline constexpr const char* SObjectNotInList = "tObject %s not in item list";
inline constexpr const char* SClassNotRegistered = "Class <%s> not registered";
inline constexpr const char* SSourceClassNotRegistered = "Source Class <%s> not registered";
inline constexpr const char* SNilSourceClass = "Nil Source Class!";

class TObjectList : public TPersistent {
public:
  TObjectList() = default;
  ~TObjectList() override;
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;

  const char* ClassName() const override { return "TObjectList"; }
  // Declares "ObjectContainer" (LoadData / SaveData), present only when the list is not empty.
  void DefineProperties(TFiler& filer) override;

  // EListError "ListIndexError".
  [[noreturn]] virtual void Error() const;
  virtual void Grow();
  // Replaces the object at index; the replaced one is neither freed nor returned.
  virtual void Put(int32_t index, TPersistent* item);
  // Frees the object when the list owns its objects.
  virtual void FreeObject(TPersistent* item);
  virtual int32_t Add(TPersistent* item);
  // Empties the list and releases the slots; the objects are not freed.
  virtual void Clear();
  // First index holding that very object, else -1.
  virtual int32_t IndexOf(const TPersistent* item) const;
  virtual void Insert(int32_t index, TPersistent* item);
  virtual void LoadData(TStream& stream);
  virtual void SaveData(TStream& stream) const;
  virtual TPersistent* First() const;
  virtual TPersistent* Last() const;
  // The item after (forward) or before the given one, or nullptr past either end; for a null
  // item the first or the last item.
  virtual TPersistent* Neighbour(const TPersistent* item, bool forward) const;

  TPersistent* Get(int32_t index) const;
  void SetCapacity(int32_t capacity);
  void SetCount(int32_t count);
  // FreeObject on every item in index order, then Clear.
  void FreeAll();

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }

  bool OwnsObjects = true;

protected:
  // The object records after the header bytes: OwnsObjects, the count, then each object.
  void LoadObjects(TStream& stream);
  void SaveObjects(TStream& stream) const;

private:
  std::unique_ptr<TPersistent*[]> items_;  // capacity_ slots; [0, count_) in use
  int32_t count_ = 0;
  int32_t capacity_ = 0;
};

enum class TDuplicates : uint8_t { IgnoreDuplicates = 0, AcceptDuplicates = 1, RejectDuplicates = 2 };

class TSortedObjectList : public TObjectList {
public:
  explicit TSortedObjectList(TDuplicates duplicates) : Duplicates(duplicates) {}

  const char* ClassName() const override { return "TSortedObjectList"; }

  // Always EListError: a sorted list decides the positions itself.
  void Put(int32_t index, TPersistent* item) override;
  // Inserts in order; returns 0 whatever position the object took.
  int32_t Add(TPersistent* item) override;
  // The position of an item with an equal key, else -1.
  int32_t IndexOf(const TPersistent* item) const override;
  // The index is ignored: the object goes to its sorted position, subject to Duplicates.
  void Insert(int32_t index, TPersistent* item) override;
  void LoadData(TStream& stream) override;
  void SaveData(TStream& stream) const override;

  virtual const TPersistent* KeyOf(const TPersistent* item) const { return item; }
  // Negative, zero or positive as the item sorts before, with or after the searched key.
  virtual int32_t Compare(const TPersistent* item_key, const TPersistent* key) const = 0;
  // Binary search for key; position is where it is or would go.
  virtual bool Search(const TPersistent* key, int32_t& position) const;

  TDuplicates Duplicates;
};

enum class TZipSortMode : uint8_t {
  ByName = 0,
  ByFileName = 1,
  ByDirectoryName = 2,
  ByDate = 3,
  ByCompressedSize = 4,
  ByUnCompressedSize = 5,
  ByRate = 6,
  ByNone = 7,
};

// The sorted list of archive entries (TZipHeaderInfo objects).
class TSortedZip : public TSortedObjectList {
public:
  explicit TSortedZip(TDuplicates duplicates) : TSortedObjectList(duplicates) {}

  const char* ClassName() const override { return "TSortedZip"; }
  int32_t Compare(const TPersistent* item_key, const TPersistent* key) const override;

  TZipHeaderInfo* Entry(int32_t index) const { return static_cast<TZipHeaderInfo*>(Get(index)); }

  TZipSortMode SortMode = TZipSortMode::ByNone;
};

// Packed size as a percentage of the unpacked size, rounded half to even, at most 100; 0 for an
// entry whose unpacked size is not positive.
int32_t CompressionRate(const TZipHeaderInfo& entry);

// A DOS date-time (date in the high word) as days since 30 December 1899; false for a value
// whose fields are out of range (30 February, hour 24, ...).
bool DosDateTimeToDateTime(uint32_t dos_date_time, double& date_time);

}  // namespace corvina
