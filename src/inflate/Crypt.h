// Traditional ZIP encryption: a stream cipher over three 32-bit keys, preceded in every encrypted
// entry by a 12-byte header whose last byte, once decrypted, checks the password.
//
// The keys live in the component (Key0 to Key2 of the entry being read); the routines here take
// them as a CipherKeys so that they can be used and tested without one. DecryptBuffer works in
// place on a whole buffer, with the key update inlined: no call per byte, no stream access.
// The password check itself (which check byte is expected, decrypting the header) is split from
// the retry policy (OnBadPassword, OnSkippingFile), which belongs to entry extraction.
#pragma once

#include <cstdint>
#include <string>

#include "inflate/Crc32.h"

namespace corvina {

class TStream;

inline constexpr uint32_t kInitialKey0 = 0x12345678u;
inline constexpr uint32_t kInitialKey1 = 0x23456789u;
inline constexpr uint32_t kInitialKey2 = 0x34567890u;
inline constexpr int kEncryptionHeaderSize = 12;

struct CipherKeys {
  uint32_t Key0 = kInitialKey0;
  uint32_t Key1 = kInitialKey1;
  uint32_t Key2 = kInitialKey2;
};

inline void UpdateKeys(CipherKeys& keys, uint8_t c) {
  keys.Key0 = UpdateCrc(c, keys.Key0);
  keys.Key1 = (keys.Key1 + (keys.Key0 & 0xFFu)) * 134775813u + 1u;
  keys.Key2 = UpdateCrc(static_cast<uint8_t>(keys.Key1 >> 24), keys.Key2);
}

// The next key-stream byte; the product is taken in 16 bits.
inline uint8_t DecryptByte(const CipherKeys& keys) {
  const uint16_t t = static_cast<uint16_t>((keys.Key2 & 0xFFFFu) | 2u);
  return static_cast<uint8_t>(static_cast<uint16_t>(t * (t ^ 1u)) >> 8);
}

// Initial keys, then one UpdateKeys per password byte in order.
void InitKeys(CipherKeys& keys, const std::string& password);

// Decrypts length bytes in place, advancing the keys with each decrypted byte.
void DecryptBuffer(CipherKeys& keys, uint8_t* buffer, uint32_t length);

// The inverse of DecryptBuffer (used by tests and tools to make encrypted data).
void EncryptBuffer(CipherKeys& keys, uint8_t* buffer, uint32_t length);

// Reads the 12-byte encryption header from the stream (a short read leaves zeros), initialises the
// keys from the password, decrypts the header and returns its last byte. The keys are left ready
// for the entry's data. The caller subtracts the 12 header bytes from the entry's packed size.
uint8_t DecryptHeader(CipherKeys& keys, const std::string& password, TStream& stream);

// The check byte the decrypted header must end with: the high byte of the DOS time word when bit 3
// of the flags is set (the CRC was not known when the header was written), else the CRC's high byte.
inline uint8_t ExpectedCheckByte(uint16_t bit_flags, uint32_t dos_date_time, uint32_t crc) {
  return (bit_flags & 0x0008u) ? static_cast<uint8_t>(dos_date_time >> 8) : static_cast<uint8_t>(crc >> 24);
}

// DecryptHeader and the comparison with ExpectedCheckByte in one: true when the password fits.
bool PasswordMatches(CipherKeys& keys, const std::string& password, TStream& stream, uint16_t bit_flags,
                     uint32_t dos_date_time, uint32_t crc);

}  // namespace corvina
