// The reader's own string tables, compiled into the program as resources of type "S_StringTable".
// A table is a run of records (16-bit signed little-endian identifier, one length byte, that many
// 8-bit characters, no terminator) closed by an identifier of 0. The bytes are real constexpr
// arrays laid out in exactly that format, registered under (type, name) in a small module-resource
// registry that is searched without regard to ASCII case, the way the system finds resources.
//
// TS_StringResource opens one table, maps it and finds records in it; LoadResMessage keeps one open
// object per table name in a process-wide cache (used from the user-interface thread only) so each
// table is looked up once. Records are read within the table's size: a record that would run past
// the end is treated as the end record, so even damaged data is never read outside the table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace corvina {

// ---- module resources ----

inline constexpr const char* kStringTableResourceType = "S_StringTable";
inline constexpr const char* kStreamStringTableName = "S_Stream";

// One resource of the program's module.
struct ModuleResource {
  const char* Type;
  const char* Name;
  std::span<const uint8_t> Data;
};

// The resource of that type and name (ASCII case ignored), or nullptr when the module has none.
const ModuleResource* FindModuleResource(const std::string& type, const std::string& name);

// ---- the "S_Stream" table ----

namespace string_table_detail {

struct Entry {
  int16_t Id;
  const char* Text;
};

constexpr size_t Length(const char* s) {
  size_t n = 0;
  while (s[n] != '\0') ++n;
  return n;
}

template <size_t N>
constexpr size_t TableSize(const Entry (&entries)[N]) {
  size_t size = 2;  // the end record
  for (const Entry& e : entries) size += 3 + Length(e.Text);
  return size;
}

// Writes the entries out in the record format.
template <size_t Size, size_t N>
constexpr std::array<uint8_t, Size> BuildTable(const Entry (&entries)[N]) {
  std::array<uint8_t, Size> out{};
  size_t at = 0;
  for (const Entry& e : entries) {
    const size_t n = Length(e.Text);
    out[at++] = static_cast<uint8_t>(static_cast<uint16_t>(e.Id) & 0xFF);
    out[at++] = static_cast<uint8_t>(static_cast<uint16_t>(e.Id) >> 8);
    out[at++] = static_cast<uint8_t>(n);
    for (size_t i = 0; i < n; ++i) out[at++] = static_cast<uint8_t>(e.Text[i]);
  }
  out[at++] = 0;
  out[at++] = 0;
  return out;
}

inline constexpr Entry kStreamEntries[] = {
    {1, "Seek error"},
    {2, "Invalid seek origin (%d)"},
    {3, "Putback overflow"},
    {4, "Cannot find resource"},
    {5, "Cannot access resource"},
    {6, "Seek past end of resource stream"},
    {7, "Cannot write to a resource stream"},
};

}  // namespace string_table_detail

// Identifiers of the "S_Stream" table.
enum : int16_t {
  SStreamSeekError = 1,
  SStreamInvalidSeekOrigin = 2,
  SStreamPutbackOverflow = 3,
  SStreamCannotFindResource = 4,
  SStreamCannotAccessResource = 5,
  SStreamSeekPastEnd = 6,
  SStreamCannotWrite = 7,
};

inline constexpr std::array kStreamStringTable =
    string_table_detail::BuildTable<string_table_detail::TableSize(string_table_detail::kStreamEntries)>(
        string_table_detail::kStreamEntries);
static_assert(kStreamStringTable.size() == 180, "the stream table is 180 bytes");

// ---- records of a table ----

// The record after r in table (nullptr when r is the end record or the next record does not fit),
// and the record with that identifier (nullptr when it is absent or the table ends first). Every
// record returned lies whole inside the table; identifier 0 names the end record and is never found.
const uint8_t* NextTableRecord(std::span<const uint8_t> table, const uint8_t* r);
const uint8_t* FindTableRecord(std::span<const uint8_t> table, int16_t id);

// ---- the program's ordinary strings that belong to TS_StringResource ----

enum : int32_t {
  SResourceNotLoaded = 4288,
  SResourceNotLocked = 4289,
  SNoSuchResource = 4290,
};

// The text of one of the three strings above; "" for any other identifier.
std::string ProgramString(int32_t id);

// ---- TS_StringResource ----

class TS_StringResource {
public:
  // One record: a pointer to its identifier bytes.
  using Record = const uint8_t*;

  // Opens the named table when a name is given ("" opens nothing).
  explicit TS_StringResource(const std::string& name = std::string());
  virtual ~TS_StringResource();
  TS_StringResource(const TS_StringResource&) = delete;
  TS_StringResource& operator=(const TS_StringResource&) = delete;

  // The record after r, or nullptr when r is the last one that fits in the table.
  virtual Record NextRecord(Record r) const;
  // The record with that identifier in the mapped data, or nullptr.
  virtual Record FindRecord(int16_t id) const;
  // Finds and loads the table of type "S_StringTable" with that name. A missing table raises
  // Exception "No such string resource: %s"; one that cannot be loaded raises EOutOfResources.
  virtual void Open(const std::string& name);
  // Unlocks while locked and releases the loaded table.
  virtual void Close();
  // Maps the loaded data; EOutOfResources "Cannot lock string resource" when there is none.
  virtual void Lock();
  virtual void Unlock();

  // The text of the record with that identifier, or "" when there is none.
  void GetString(int16_t id, std::string& text);

  bool IsOpen() const { return resource_ != nullptr; }
  bool IsLocked() const { return data_ != nullptr; }

private:
  std::span<const uint8_t> Mapped() const;

  const ModuleResource* resource_ = nullptr;  // the loaded table, or none
  const uint8_t* data_ = nullptr;             // first record while locked, else none
  const uint8_t* end_ = nullptr;              // one past the last byte while locked
};

// The text of record id in the named table, through the process-wide cache of open tables. The
// first lookup of a name opens it (and raises the errors of Open when it is missing).
void LoadResMessage(const std::string& name, int16_t id, std::string& text);
std::string LoadResMessage(const std::string& name, int16_t id);

// The cached object of that name (ASCII case ignored), or nullptr; and the number of cached tables.
TS_StringResource* CachedStringResource(const std::string& name);
size_t StringResourceCacheCount();

}  // namespace corvina
