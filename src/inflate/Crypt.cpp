#include "inflate/Crypt.h"

#include "platform/Stream.h"

namespace corvina {

void InitKeys(CipherKeys& keys, const std::string& password) {
  keys = CipherKeys{};
  for (char c : password) UpdateKeys(keys, static_cast<uint8_t>(c));
}

void DecryptBuffer(CipherKeys& keys, uint8_t* buffer, uint32_t length) {
  // Local copies keep the keys in registers across the loop.
  CipherKeys k = keys;
  for (uint32_t i = 0; i < length; ++i) {
    const uint8_t plain = buffer[i] ^ DecryptByte(k);
    buffer[i] = plain;
    UpdateKeys(k, plain);
  }
  keys = k;
}

void EncryptBuffer(CipherKeys& keys, uint8_t* buffer, uint32_t length) {
  CipherKeys k = keys;
  for (uint32_t i = 0; i < length; ++i) {
    const uint8_t plain = buffer[i];
    buffer[i] = plain ^ DecryptByte(k);
    UpdateKeys(k, plain);
  }
  keys = k;
}

uint8_t DecryptHeader(CipherKeys& keys, const std::string& password, TStream& stream) {
  uint8_t header[kEncryptionHeaderSize] = {};
  stream.Read(header, kEncryptionHeaderSize);
  InitKeys(keys, password);
  DecryptBuffer(keys, header, kEncryptionHeaderSize);
  return header[kEncryptionHeaderSize - 1];
}

bool PasswordMatches(CipherKeys& keys, const std::string& password, TStream& stream, uint16_t bit_flags,
                     uint32_t dos_date_time, uint32_t crc) {
  const uint8_t expected = ExpectedCheckByte(bit_flags, dos_date_time, crc);
  return DecryptHeader(keys, password, stream) == expected;
}

}  // namespace corvina
