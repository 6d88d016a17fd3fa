// The Windows registry as Wine keeps it: text files in the environment root. HKEY_LOCAL_MACHINE is
// <root>/system.reg, HKEY_CURRENT_USER is <root>/user.reg, and HKEY_CLASSES_ROOT is the key
// Software\Classes of HKEY_LOCAL_MACHINE. A missing file is an empty hive.
//
// TRegistry reads a hive file when it is first needed and again whenever the file has changed on
// disk; every write saves the whole file at once (written beside it, then renamed over it), so a
// failed save leaves the old file whole. Keys and values that the program does not touch are written
// back exactly as they were read, lines and escapes included. Key and value names are matched
// without regard to case. Names and string data are code page 1251 at this interface and UTF-16
// in the file; keys are separated by "\" and a leading "\" names a key from the root.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Exception.h"

namespace corvina {

using HKEY = uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

class ERegistryException : public Exception {
public:
  explicit ERegistryException(std::string message) : Exception(std::move(message)) {}
};

class TRegistry {
public:
  TRegistry() = default;
  ~TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // The root that key paths start from; changing it closes the open key.
  HKEY RootKey() const { return root_key_; }
  void SetRootKey(HKEY root_key);

  // Opens a key: "\A\B" from the root, "A\B" below the open key (or the root when none is open).
  // With can_create a missing key is created (and the hive saved). False when the key is missing
  // and not created, or the hive cannot be read or saved.
  bool OpenKey(const std::string& key, bool can_create);
  bool OpenKeyReadOnly(const std::string& key);
  // Whether a key exists (same path rules); a key that has only subkeys exists too.
  bool KeyExists(const std::string& key);
  void CloseKey();
  // The open key's path from its root, without a leading "\"; "" when none is open or at the root.
  const std::string& CurrentPath() const { return current_path_; }
  bool HasCurrentKey() const { return key_open_; }

  // Values of the open key; "" names the default value. ReadString gives "" for a missing value
  // and raises ERegistryException for a value that is not a string; WriteString stores a REG_SZ
  // value and raises ERegistryException when no key is open or the hive cannot be saved.
  bool ValueExists(const std::string& name);
  std::string ReadString(const std::string& name);
  void WriteString(const std::string& name, const std::string& value);
  bool DeleteValue(const std::string& name);

private:
  HKEY root_key_ = HKEY_CURRENT_USER;
  bool key_open_ = false;
  bool read_only_ = false;
  std::string current_path_;
};

// Drops the cached hives (after a test rewrote or removed a file within the same second).
void ForgetRegistryCache();

}  // namespace corvina
