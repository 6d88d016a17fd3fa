// Traditional decryption: the key schedule, the check byte, and archives encrypted by Info-ZIP
// `zip -P` (stored entries), decrypted with the right and with wrong passwords.
#include "inflate/Crypt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inflate/Crc32.h"
#include "platform/Stream.h"
#include "support/InfoZipArchive.h"

namespace corvina {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Crypt, EmptyPasswordKeepsTheInitialKeys) {
  CipherKeys keys;
  keys.Key0 = keys.Key1 = keys.Key2 = 0;
  InitKeys(keys, "");
  EXPECT_EQ(keys.Key0, 0x12345678u);
  EXPECT_EQ(keys.Key1, 0x23456789u);
  EXPECT_EQ(keys.Key2, 0x34567890u);
}

TEST(Crypt, KeyUpdateFollowsItsDefinition) {
  CipherKeys keys;
  InitKeys(keys, "");
  UpdateKeys(keys, 'a');
  const uint32_t k0 = UpdateCrc('a', 0x12345678u);
  const uint32_t k1 = (0x23456789u + (k0 & 0xFF)) * 134775813u + 1u;
  const uint32_t k2 = UpdateCrc(static_cast<uint8_t>(k1 >> 24), 0x34567890u);
  EXPECT_EQ(keys.Key0, k0);
  EXPECT_EQ(keys.Key1, k1);
  EXPECT_EQ(keys.Key2, k2);
  // DecryptByte uses only the low 16 bits of Key2, with bit 1 forced.
  for (uint32_t key2 : {0x00000000u, 0x0000FFFFu, 0xABCD1234u, 0xFFFF0001u}) {
    CipherKeys k;
    k.Key2 = key2;
    const uint32_t t = (key2 & 0xFFFF) | 2;
    EXPECT_EQ(DecryptByte(k), static_cast<uint8_t>(((t * (t ^ 1)) & 0xFFFF) >> 8)) << key2;
  }
}

TEST(Crypt, CheckByteComesFromTheTimeWhenSizesFollowTheData) {
  struct Case {
    uint16_t flags;
    uint8_t expected;
  } cases[] = {{0x0000, 0xAB}, {0x0001, 0xAB}, {0x0008, 0x6F}, {0x0009, 0x6F}};
  for (const Case& c : cases) {
    EXPECT_EQ(ExpectedCheckByte(c.flags, /*dos_date_time=*/0x5A3C6F12u, /*crc=*/0xAB000000u), c.expected)
        << "flags " << c.flags;
  }
}

TEST(Crypt, DecryptingInPiecesEqualsDecryptingAtOnce) {
  Bytes plain(1000);
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 13 + 7);
  CipherKeys enc;
  InitKeys(enc, "pass word");
  Bytes cipher = plain;
  EncryptBuffer(enc, cipher.data(), static_cast<uint32_t>(cipher.size()));
  EXPECT_NE(cipher, plain);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{12}, size_t{999}}) {
    CipherKeys dec;
    InitKeys(dec, "pass word");
    Bytes buffer = cipher;
    DecryptBuffer(dec, buffer.data(), static_cast<uint32_t>(cut));
    DecryptBuffer(dec, buffer.data() + cut, static_cast<uint32_t>(buffer.size() - cut));
    EXPECT_EQ(buffer, plain) << "cut at " << cut;
  }
}

// An entry of an archive made by `zip -P secret`; zip sets bit 3 for encrypted entries, so the
// check byte is the high byte of the time word.
class InfoZipEncrypted : public ::testing::Test {
protected:
  void SetUp() override {
    if (!testing::InfoZipAvailable()) GTEST_SKIP() << "Info-ZIP zip is not installed";
    content_.clear();
    for (int i = 0; i < 3000; ++i) {
      const std::string line = "line " + std::to_string(i * 7 % 1000) + " of the licence\n";
      content_.insert(content_.end(), line.begin(), line.end());
    }
    testing::WriteBytes(dir_.Path() / "licence.txt", content_);
  }

  testing::RawEntry Make(const std::string& options) {
    const std::string name = "e" + std::to_string(counter_++) + ".zip";
    EXPECT_TRUE(testing::RunZip(dir_.Path(), options + " -P secret " + name + " licence.txt"));
    auto entries = testing::ReadRawEntries(testing::ReadBytes(dir_.Path() / name));
    EXPECT_EQ(entries.size(), 1u);
    return entries.at(0);
  }

  testing::TempDir dir_;
  Bytes content_;
  int counter_ = 0;
};

TEST_F(InfoZipEncrypted, RightPasswordPassesTheCheckAndDecryptsTheData) {
  const testing::RawEntry entry = Make("-0");
  ASSERT_EQ(entry.flags & 0x0001, 1);
  ASSERT_EQ(entry.flags & 0x0008, 8) << "this test expects zip to set bit 3";
  ASSERT_EQ(entry.packed_size, content_.size() + kEncryptionHeaderSize);

  TMemoryStream stream(entry.data);
  CipherKeys keys;
  const uint8_t check = DecryptHeader(keys, "secret", stream);
  EXPECT_EQ(check, static_cast<uint8_t>(entry.dos_date_time >> 8));
  EXPECT_EQ(stream.Position(), kEncryptionHeaderSize);

  Bytes data(entry.data.begin() + kEncryptionHeaderSize, entry.data.end());
  DecryptBuffer(keys, data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_TRUE(data == content_);
  EXPECT_EQ(Crc32Of(data.data(), data.size()), entry.crc);

  TMemoryStream again(entry.data);
  CipherKeys k2;
  EXPECT_TRUE(PasswordMatches(k2, "secret", again, entry.flags, entry.dos_date_time, entry.crc));
  // Read as if bit 3 were clear, the same header must match the CRC's high byte instead; the
  // time byte and the CRC byte differ here, so the check fails.
  if (static_cast<uint8_t>(entry.dos_date_time >> 8) != static_cast<uint8_t>(entry.crc >> 24)) {
    TMemoryStream third(entry.data);
    EXPECT_FALSE(PasswordMatches(k2, "secret", third, static_cast<uint16_t>(entry.flags & ~0x0008),
                                 entry.dos_date_time, entry.crc));
  }
}

TEST_F(InfoZipEncrypted, WrongPasswordsAreRefusedOrDecryptToNoise) {
  const testing::RawEntry entry = Make("-0");
  int refused = 0;
  for (const char* wrong : {"Secret", "secret ", "", "x", "secreT", "terces"}) {
    SCOPED_TRACE(std::string("password \"") + wrong + "\"");
    TMemoryStream stream(entry.data);
    CipherKeys keys;
    if (!PasswordMatches(keys, wrong, stream, entry.flags, entry.dos_date_time, entry.crc)) {
      ++refused;
      continue;
    }
    // One wrong password in 256 passes the check byte: then the data must not come out right.
    Bytes data(entry.data.begin() + kEncryptionHeaderSize, entry.data.end());
    DecryptBuffer(keys, data.data(), static_cast<uint32_t>(data.size()));
    EXPECT_NE(Crc32Of(data.data(), data.size()), entry.crc);
  }
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace corvina
