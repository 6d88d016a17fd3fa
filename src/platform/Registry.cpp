// Wine's registry text files: parsing, the in-memory hive, and saving it back.
//
// A hive is the file's preamble (header lines up to the first key) and its keys in file order.
// Each key keeps its header line "[Path] <seconds>" and its body lines as read: values are parsed
// (name, and the text of string values) but keep their original lines until they are written, so
// an untouched key is saved byte for byte as it was. Names and data are held as UTF-16, as the file
// escapes them; case-insensitive matching folds ASCII, Latin-1 and Cyrillic letters.
//
// File syntax (as Wine writes it): strings in double quotes with C-like escapes, "\x" + up to four
// hex digits for a UTF-16 unit above 127 (four digits when a hex digit follows), "\\" and "\"" in
// value texts and "\[" "\]" in key names; hexadecimal data may continue on lines ending in "\".
#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Environment.h"

namespace corvina {

namespace {

// ---- text <-> UTF-16 ----

// Reads one UTF-8 character at text[pos] (advancing pos) as UTF-16 units; a bad byte is U+FFFD.
void DecodeUtf8Char(const std::string& text, size_t& pos, std::u16string& out) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(pos);
  int extra = lead >= 0xF0 && lead < 0xF8 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (lead < 0x80) {
    out += static_cast<char16_t>(lead);
    ++pos;
    return;
  }
  if (extra < 0) {
    out += u'\uFFFD';
    ++pos;
    return;
  }
  char32_t code = lead & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    if (pos + i >= text.size() || (byte(pos + i) & 0xC0) != 0x80) {
      out += u'\uFFFD';
      ++pos;
      return;
    }
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  pos += extra + 1;
  if (code >= 0x10000) {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  } else {
    out += static_cast<char16_t>(code);
  }
}

bool IsHexDigit(char16_t c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads an escaped text from line[pos] up to the unescaped terminator (not included; pos ends on
// it). False when the line ends first.
bool ParseEscaped(const std::string& line, size_t& pos, char terminator, std::u16string& out) {
  while (pos < line.size()) {
    char c = line[pos];
    if (c == terminator) return true;
    if (c != '\\') {
      DecodeUtf8Char(line, pos, out);
      continue;
    }
    if (++pos >= line.size()) return false;
    char e = line[pos];
    if (e == 'x') {
      ++pos;
      char16_t code = 0;
      int digits = 0;
      while (digits < 4 && pos < line.size() && HexValue(line[pos]) >= 0) {
        code = static_cast<char16_t>(code * 16 + HexValue(line[pos++]));
        ++digits;
      }
      out += digits == 0 ? u'x' : code;
      continue;
    }
    if (e >= '0' && e <= '7') {
      char16_t code = 0;
      for (int digits = 0; digits < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++digits)
        code = static_cast<char16_t>(code * 8 + (line[pos++] - '0'));
      out += code;
      continue;
    }
    switch (e) {
      case 'a': out += u'\a'; break;
      case 'b': out += u'\b'; break;
      case 't': out += u'\t'; break;
      case 'n': out += u'\n'; break;
      case 'v': out += u'\v'; break;
      case 'f': out += u'\f'; break;
      case 'r': out += u'\r'; break;
      case 'e': out += static_cast<char16_t>(0x1B); break;
      default: out += static_cast<char16_t>(static_cast<unsigned char>(e)); break;
    }
    ++pos;
  }
  return false;
}

// Writes a text with the file's escapes; the characters of `specials` are preceded by "\".
std::string Escape(const std::u16string& text, const char* specials) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool next_hex = i + 1 < text.size() && IsHexDigit(text[i + 1]);
    char buffer[16];
    if (c > 127) {
      std::snprintf(buffer, sizeof buffer, next_hex ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
      out += buffer;
    } else if (c < 32) {
      static const char kLetters[32] = {0, 0, 0, 0, 0, 0, 0, 'a', 'b', 't', 'n', 'v', 'f', 'r', 0, 0,
                                        0, 0, 0, 0, 0, 0, 0, 0,   0,   0,   0,   'e', 0,   0,   0, 0};
      if (kLetters[c] != 0) {
        out += '\\';
        out += kLetters[c];
      } else {
        bool next_octal = i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7';
        std::snprintf(buffer, sizeof buffer, next_octal ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
        out += buffer;
      }
    } else {
      char a = static_cast<char>(c);
      if (a == '\\' || std::string_view(specials).find(a) != std::string_view::npos) out += '\\';
      out += a;
    }
  }
  return out;
}

char16_t Fold(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  if (c >= 0x430 && c <= 0x44F) return static_cast<char16_t>(c - 32);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 80);
  return c;
}
std::u16string Folded(const std::u16string& s) {
  std::u16string out = s;
  for (char16_t& c : out) c = Fold(c);
  return out;
}

std::string TimeLine(time_t now) {
  unsigned long long filetime = (static_cast<unsigned long long>(now) + 11644473600ull) * 10000000ull;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "#time=%llx", filetime);
  return buffer;
}

// ---- the hive ----

struct BodyLine {
  enum Kind : uint8_t { Meta, StringValue, OtherValue } kind = Meta;
  std::vector<std::string> raw;  // the original lines; empty once the value was rewritten
  std::u16string name;           // value name ("" = default value)
  std::u16string folded_name;
  std::u16string data;           // text of a string value
};

struct RegKey {
  std::u16string path;    // relative to the hive, components joined by "\"
  std::u16string folded;  // Folded(path)
  std::string header;     // original "[...] <seconds>" line; regenerated when changed
  std::vector<BodyLine> body;
  bool changed = false;
};

struct Hive {
  std::vector<std::string> preamble;
  std::vector<RegKey> keys;

  RegKey* Find(const std::u16string& folded) {
    for (RegKey& key : keys)
      if (key.folded == folded) return &key;
    return nullptr;
  }
  bool Exists(const std::u16string& folded) const {
    if (folded.empty()) return true;
    for (const RegKey& key : keys)
      if (key.folded == folded ||
          (key.folded.size() > folded.size() && key.folded.compare(0, folded.size(), folded) == 0 &&
           key.folded[folded.size()] == u'\\'))
        return true;
    return false;
  }
  RegKey& Create(const std::u16string& path) {
    RegKey key;
    key.path = path;
    key.folded = Folded(path);
    key.changed = true;
    size_t at = keys.size();
    for (size_t i = 0; i < keys.size(); ++i)
      if (LessByComponents(key.folded, keys[i].folded)) {
        at = i;
        break;
      }
    keys.insert(keys.begin() + static_cast<std::ptrdiff_t>(at), std::move(key));
    return keys[at];
  }
  static bool LessByComponents(const std::u16string& a, const std::u16string& b) {
    // "\" sorts before every other character, so a key's subkeys follow it directly.
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
      if (a[i] == b[i]) continue;
      if (a[i] == u'\\') return true;
      if (b[i] == u'\\') return false;
      return a[i] < b[i];
    }
    return a.size() < b.size();
  }
};

bool ParseValueLine(const std::string& text, BodyLine& line) {
  size_t pos = 0;
  if (text[0] == '@') {
    pos = 1;
  } else {
    pos = 1;
    if (!ParseEscaped(text, pos, '"', line.name)) return false;
    ++pos;
  }
  if (pos >= text.size() || text[pos] != '=') return false;
  ++pos;
  line.folded_name = Folded(line.name);
  std::string rest = text.substr(pos);
  size_t start = std::string::npos;
  if (rest.rfind("\"", 0) == 0) start = 1;
  else if (rest.rfind("str(2):\"", 0) == 0) start = 8;
  if (start == std::string::npos) {
    line.kind = BodyLine::OtherValue;
    return true;
  }
  line.kind = BodyLine::StringValue;
  size_t at = start;
  if (!ParseEscaped(rest, at, '"', line.data)) line.kind = BodyLine::OtherValue;
  return true;
}

Hive ParseHive(const std::string& content) {
  Hive hive;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = content.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  RegKey* current = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '[') {
      RegKey key;
      size_t pos = 1;
      ParseEscaped(line, pos, ']', key.path);
      key.folded = Folded(key.path);
      key.header = line;
      hive.keys.push_back(std::move(key));
      current = &hive.keys.back();
      continue;
    }
    if (current == nullptr) {
      hive.preamble.push_back(line);
      continue;
    }
    if (line.empty()) continue;
    BodyLine body;
    body.raw.push_back(line);
    if (line[0] == '"' || line[0] == '@') {
      // Hexadecimal data continues on the following lines while a line ends in "\".
      std::string joined = line;
      while (!joined.empty() && joined.back() == '\\' && i + 1 < lines.size()) {
        joined.pop_back();
        body.raw.push_back(lines[++i]);
        joined += lines[i];
      }
      if (!ParseValueLine(joined, body)) body.kind = BodyLine::Meta;
    }
    current->body.push_back(std::move(body));
  }
  while (!hive.preamble.empty() && hive.preamble.back().empty()) hive.preamble.pop_back();
  return hive;
}

std::string SerializeHive(const Hive& hive, time_t now) {
  std::string out;
  for (const std::string& line : hive.preamble) out += line + "\n";
  for (const RegKey& key : hive.keys) {
    out += "\n";
    if (key.changed || key.header.empty()) {
      out += "[" + Escape(key.path, "[]") + "] " + std::to_string(static_cast<long long>(now)) + "\n";
    } else {
      out += key.header + "\n";
    }
    bool time_written = false;
    if (key.changed) {
      out += TimeLine(now) + "\n";
      time_written = true;
    }
    for (const BodyLine& line : key.body) {
      if (time_written && line.kind == BodyLine::Meta && !line.raw.empty() && line.raw[0].rfind("#time=", 0) == 0)
        continue;
      if (!line.raw.empty()) {
        for (const std::string& raw : line.raw) out += raw + "\n";
        continue;
      }
      std::string name = line.name.empty() ? "@" : "\"" + Escape(line.name, "\"") + "\"";
      out += name + "=\"" + Escape(line.data, "\"") + "\"\n";
    }
  }
  return out;
}

// ---- files and the cache ----

struct CachedHive {
  std::shared_ptr<Hive> hive;
  bool existed = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec modified = {};
};

std::map<std::string, CachedHive>& Cache() {
  static std::map<std::string, CachedHive> cache;
  return cache;
}

bool SameIdentity(const CachedHive& cached, bool exists, const struct stat& st) {
  if (cached.existed != exists) return false;
  if (!exists) return true;
  return cached.device == st.st_dev && cached.inode == st.st_ino && cached.size == st.st_size &&
         cached.modified.tv_sec == st.st_mtim.tv_sec && cached.modified.tv_nsec == st.st_mtim.tv_nsec;
}

void Remember(const std::string& file, std::shared_ptr<Hive> hive) {
  CachedHive entry;
  entry.hive = std::move(hive);
  struct stat st;
  entry.existed = stat(file.c_str(), &st) == 0;
  if (entry.existed) {
    entry.device = st.st_dev;
    entry.inode = st.st_ino;
    entry.size = st.st_size;
    entry.modified = st.st_mtim;
  }
  Cache()[file] = std::move(entry);
}

std::vector<std::string> NewPreamble(HKEY root) {
  if (root == HKEY_CURRENT_USER)
    return {"WINE REGISTRY Version 2", ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000", "", "#arch=win32"};
  return {"WINE REGISTRY Version 2", ";; All keys relative to \\\\Machine", "", "#arch=win32"};
}

std::string HiveFile(HKEY root) {
  const std::string& folder = Environment().Root();
  std::string name = root == HKEY_CURRENT_USER ? "user.reg" : "system.reg";
  return folder == "/" ? "/" + name : folder + "/" + name;
}

// The hive of a root; nullptr when its file exists but cannot be read.
std::shared_ptr<Hive> LoadHive(HKEY root) {
  const std::string file = HiveFile(root);
  struct stat st;
  bool exists = stat(file.c_str(), &st) == 0;
  auto& cache = Cache();
  if (auto it = cache.find(file); it != cache.end() && SameIdentity(it->second, exists, st)) return it->second.hive;
  auto hive = std::make_shared<Hive>();
  if (!exists) {
    if (errno != ENOENT) return nullptr;
    hive->preamble = NewPreamble(root);
  } else {
    if (!S_ISREG(st.st_mode)) return nullptr;
    int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    std::string content;
    char buffer[65536];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) content.append(buffer, static_cast<size_t>(got));
    close(fd);
    if (got < 0) return nullptr;
    *hive = ParseHive(content);
    if (hive->preamble.empty()) hive->preamble = NewPreamble(root);
  }
  Remember(file, hive);
  return hive;
}

// Writes the hive beside its file and renames it over the file; false (old file intact) on failure.
bool SaveHive(HKEY root, const std::shared_ptr<Hive>& saved) {
  Hive& hive = *saved;
  const std::string file = HiveFile(root);
  const time_t now = std::time(nullptr);
  const std::string text = SerializeHive(hive, now);
  std::string temp = file + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) {
    ForgetRegistryCache();  // the in-memory hive holds the unsaved change: read the file again
    return false;
  }
  struct stat st;
  fchmod(fd, stat(file.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      break;
    }
    done += static_cast<size_t>(wrote);
  }
  bool ok = done == text.size();
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    ForgetRegistryCache();  // the in-memory hive holds the unsaved change: read the file again
    return false;
  }
  // What was saved is now the file's text: keep the hive in step with it.
  for (RegKey& key : hive.keys) {
    if (!key.changed) continue;
    key.changed = false;
    key.header = "[" + Escape(key.path, "[]") + "] " + std::to_string(static_cast<long long>(now));
    std::vector<BodyLine> body;
    BodyLine time_line;
    time_line.raw.push_back(TimeLine(now));
    body.push_back(time_line);
    for (BodyLine& line : key.body) {
      if (line.kind == BodyLine::Meta && !line.raw.empty() && line.raw[0].rfind("#time=", 0) == 0) continue;
      if (line.raw.empty())
        line.raw.push_back((line.name.empty() ? "@" : "\"" + Escape(line.name, "\"") + "\"") + "=\"" +
                           Escape(line.data, "\"") + "\"");
      body.push_back(std::move(line));
    }
    key.body = std::move(body);
  }
  Remember(file, saved);
  return true;
}

// A 1251 key path -> its components joined by "\" (no empty components).
std::string CleanPath(const std::string& path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      if (!out.empty()) out += '\\';
      out += path.substr(start, end - start);
    }
    start = end + 1;
  }
  return out;
}

std::u16string HivePath(HKEY root, const std::string& path) {
  std::string full = path;
  if (root == HKEY_CLASSES_ROOT) full = path.empty() ? "Software\\Classes" : "Software\\Classes\\" + path;
  return AnsiToUtf16(full);
}

bool KnownRoot(HKEY root) {
  return root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE;
}

}  // namespace

void ForgetRegistryCache() { Cache().clear(); }

void TRegistry::SetRootKey(HKEY root_key) {
  CloseKey();
  root_key_ = root_key;
}

void TRegistry::CloseKey() {
  key_open_ = false;
  read_only_ = false;
  current_path_.clear();
}

namespace {
std::string ResolveKey(bool key_open, const std::string& current, const std::string& key) {
  if (!key.empty() && key[0] == '\\') return CleanPath(key);
  if (key_open && !current.empty()) return CleanPath(current + "\\" + key);
  return CleanPath(key);
}
}  // namespace

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  if (!KnownRoot(root_key_)) return false;
  std::string path = ResolveKey(key_open_, current_path_, key);
  std::shared_ptr<Hive> hive = LoadHive(root_key_);
  if (!hive) return false;
  std::u16string folded = Folded(HivePath(root_key_, path));
  if (!hive->Exists(folded)) {
    if (!can_create) return false;
    hive->Create(HivePath(root_key_, path));
    if (!SaveHive(root_key_, hive)) return false;
  }
  current_path_ = path;
  key_open_ = true;
  read_only_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  if (!OpenKey(key, false)) return false;
  read_only_ = true;
  return true;
}

bool TRegistry::KeyExists(const std::string& key) {
  if (!KnownRoot(root_key_)) return false;
  std::shared_ptr<Hive> hive = LoadHive(root_key_);
  if (!hive) return false;
  return hive->Exists(Folded(HivePath(root_key_, ResolveKey(key_open_, current_path_, key))));
}

namespace {
BodyLine* FindValue(RegKey* key, const std::u16string& folded_name) {
  if (key == nullptr) return nullptr;
  for (BodyLine& line : key->body)
    if (line.kind != BodyLine::Meta && line.folded_name == folded_name) return &line;
  return nullptr;
}
}  // namespace

bool TRegistry::ValueExists(const std::string& name) {
  if (!key_open_) return false;
  std::shared_ptr<Hive> hive = LoadHive(root_key_);
  if (!hive) return false;
  return FindValue(hive->Find(Folded(HivePath(root_key_, current_path_))), Folded(AnsiToUtf16(name))) != nullptr;
}

std::string TRegistry::ReadString(const std::string& name) {
  if (!key_open_) return "";
  std::shared_ptr<Hive> hive = LoadHive(root_key_);
  if (!hive) return "";
  BodyLine* value = FindValue(hive->Find(Folded(HivePath(root_key_, current_path_))), Folded(AnsiToUtf16(name)));
  if (value == nullptr) return "";
  if (value->kind != BodyLine::StringValue)
    throw ERegistryException(Format("Invalid data type for '%s'", {name}));
  return Utf16ToAnsi(value->data);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  const std::string failure = Format("Failed to set data for '%s'", {name});
  if (!key_open_ || read_only_) throw ERegistryException(failure);
  std::shared_ptr<Hive> hive = LoadHive(root_key_);
  if (!hive) throw ERegistryException(failure);
  std::u16string path = HivePath(root_key_, current_path_);
  RegKey* key = hive->Find(Folded(path));
  if (key == nullptr) key = &hive->Create(path);
  BodyLine* line = FindValue(key, Folded(AnsiToUtf16(name)));
  if (line == nullptr) {
    key->body.emplace_back();
    line = &key->body.back();
    line->name = AnsiToUtf16(name);
    line->folded_name = Folded(line->name);
  }
  line->kind = BodyLine::StringValue;
  line->raw.clear();
  line->data = AnsiToUtf16(value);
  key->changed = true;
  if (!SaveHive(root_key_, hive)) throw ERegistryException(failure);
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (!key_open_ || read_only_) return false;
  std::shared_ptr<Hive> hive = LoadHive(root_key_);
  if (!hive) return false;
  RegKey* key = hive->Find(Folded(HivePath(root_key_, current_path_)));
  BodyLine* line = FindValue(key, Folded(AnsiToUtf16(name)));
  if (line == nullptr) return false;
  key->body.erase(key->body.begin() + (line - key->body.data()));
  key->changed = true;
  return SaveHive(root_key_, hive);
}

}  // namespace corvina
