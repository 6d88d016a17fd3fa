// The module-resource registry, TS_StringResource and the cache behind LoadResMessage.
#include "inflate/StringResource.h"

#include <map>
#include <memory>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace corvina {

namespace {

// The program module's resources.
const ModuleResource kModuleResources[] = {
    {kStringTableResourceType, kStreamStringTableName, std::span<const uint8_t>(kStreamStringTable)},
};

struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareText(a, b) < 0; }
};

// Name -> open table. Created on first use and freed when the program ends; each table stays
// open until then.
using Cache = std::map<std::string, std::unique_ptr<TS_StringResource>, NameLess>;

Cache& TheCache() {
  static Cache cache;
  return cache;
}

int16_t IdOf(const uint8_t* r) { return static_cast<int16_t>(r[0] | (r[1] << 8)); }

// True when the record at offset lies whole inside the table: the end record is its two
// identifier bytes, any other record three header bytes and its text.
bool Fits(std::span<const uint8_t> table, size_t offset) {
  if (offset > table.size() || table.size() - offset < 2) return false;
  const uint8_t* r = table.data() + offset;
  if (IdOf(r) == 0) return true;
  return table.size() - offset >= 3 && table.size() - offset - 3 >= r[2];
}

}  // namespace

const uint8_t* NextTableRecord(std::span<const uint8_t> table, const uint8_t* r) {
  if (r == nullptr || table.empty() || r < table.data() || r >= table.data() + table.size()) return nullptr;
  const size_t offset = static_cast<size_t>(r - table.data());
  if (!Fits(table, offset) || IdOf(r) == 0) return nullptr;
  const size_t next = offset + 3 + r[2];
  return Fits(table, next) ? table.data() + next : nullptr;
}

const uint8_t* FindTableRecord(std::span<const uint8_t> table, int16_t id) {
  if (id == 0 || !Fits(table, 0)) return nullptr;
  const uint8_t* r = table.data();
  while (r != nullptr && IdOf(r) != id) {
    if (IdOf(r) == 0) return nullptr;  // the end record
    r = NextTableRecord(table, r);
  }
  return r;
}

const ModuleResource* FindModuleResource(const std::string& type, const std::string& name) {
  for (const ModuleResource& r : kModuleResources) {
    if (SameText(r.Type, type) && SameText(r.Name, name)) return &r;
  }
  return nullptr;
}

std::string ProgramString(int32_t id) {
  switch (id) {
    case SResourceNotLoaded: return "Cannot load string resource";
    case SResourceNotLocked: return "Cannot lock string resource";
    case SNoSuchResource: return "No such string resource: %s";
    default: return std::string();
  }
}

TS_StringResource::TS_StringResource(const std::string& name) {
  if (!name.empty()) Open(name);
}

TS_StringResource::~TS_StringResource() { Close(); }

std::span<const uint8_t> TS_StringResource::Mapped() const {
  if (data_ == nullptr) return {};
  return std::span<const uint8_t>(data_, static_cast<size_t>(end_ - data_));
}

TS_StringResource::Record TS_StringResource::NextRecord(Record r) const { return NextTableRecord(Mapped(), r); }

TS_StringResource::Record TS_StringResource::FindRecord(int16_t id) const { return FindTableRecord(Mapped(), id); }

void TS_StringResource::Open(const std::string& name) {
  Close();
  const ModuleResource* found = FindModuleResource(kStringTableResourceType, name);
  if (found == nullptr) throw Exception(Format(ProgramString(SNoSuchResource), {name}));
  if (found->Data.data() == nullptr) throw EOutOfResources(ProgramString(SResourceNotLoaded));
  resource_ = found;
}

void TS_StringResource::Close() {
  if (data_ != nullptr) Unlock();
  resource_ = nullptr;
}

void TS_StringResource::Lock() {
  if (resource_ == nullptr || resource_->Data.data() == nullptr) {
    throw EOutOfResources(ProgramString(SResourceNotLocked));
  }
  data_ = resource_->Data.data();
  end_ = data_ + resource_->Data.size();
}

void TS_StringResource::Unlock() {
  data_ = nullptr;
  end_ = nullptr;
}

void TS_StringResource::GetString(int16_t id, std::string& text) {
  Lock();
  struct Unlocker {
    TS_StringResource& owner;
    ~Unlocker() { owner.Unlock(); }
  } unlocker{*this};
  Record r = FindRecord(id);
  text = r == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(r + 3), r[2]);
}

void LoadResMessage(const std::string& name, int16_t id, std::string& text) {
  Cache& cache = TheCache();
  auto it = cache.find(name);
  if (it == cache.end()) {
    auto resource = std::make_unique<TS_StringResource>(name);  // raises before anything is cached
    it = cache.emplace(name, std::move(resource)).first;
  }
  it->second->GetString(id, text);
}

std::string LoadResMessage(const std::string& name, int16_t id) {
  std::string text;
  LoadResMessage(name, id, text);
  return text;
}

TS_StringResource* CachedStringResource(const std::string& name) {
  Cache& cache = TheCache();
  auto it = cache.find(name);
  return it == cache.end() ? nullptr : it->second.get();
}

size_t StringResourceCacheCount() { return TheCache().size(); }

}  // namespace corvina
