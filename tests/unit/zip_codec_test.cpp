// The zip library's fast loops against the textbook definitions: the CRC-32 zlib
// computes, and traditional PKWARE decryption byte by byte.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "zip_codec.h"

namespace {

std::vector<unsigned char> RandomBytes(size_t count, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(count);
  for (auto& byte : bytes) byte = static_cast<unsigned char>(random());
  return bytes;
}

// The cipher as the zip format's description gives it, one byte at a time.
struct TextbookCipher {
  uint32_t keys[3];

  static uint32_t Crc(uint32_t crc, unsigned char byte) { return get_crc_table()[(crc ^ byte) & 0xff] ^ (crc >> 8); }

  unsigned char StreamByte() const {
    const uint32_t temp = (keys[2] & 0xffff) | 2;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
  }
  void Update(unsigned char plain) {
    keys[0] = Crc(keys[0], plain);
    keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
    keys[2] = Crc(keys[2], static_cast<unsigned char>(keys[1] >> 24));
  }
  unsigned char Decrypt(unsigned char cipher) {
    const unsigned char plain = cipher ^ StreamByte();
    Update(plain);
    return plain;
  }
  unsigned char Encrypt(unsigned char plain) {
    const unsigned char cipher = plain ^ StreamByte();
    Update(plain);
    return cipher;
  }
};

struct CrcCase {
  size_t length;
  size_t offset;
  unsigned long seed;
};

TEST(ZipCrc32, GivesZlibsValueForEveryLengthAlignmentAndStart) {
  const std::vector<unsigned char> data = RandomBytes((1 << 20) + 64, 7);
  std::vector<CrcCase> cases;
  for (size_t length : {0, 1, 15, 16, 17, 63, 64, 65, 79, 80, 127, 128, 129, 255, 1000, 16384, 65535, 1 << 20}) {
    for (size_t offset : {0, 1, 8, 15}) {
      for (unsigned long seed : {0ul, 0xfffffffful, 0x1234abcdul}) cases.push_back({length, offset, seed});
    }
  }
  const bool clmul = zip_crc32_has_clmul() != 0;
  for (const CrcCase& c : cases) {
    const unsigned char* bytes = data.data() + c.offset;
    const unsigned long expected = crc32(c.seed, bytes, static_cast<uInt>(c.length));
    SCOPED_TRACE("length " + std::to_string(c.length) + ", offset " + std::to_string(c.offset));
    EXPECT_EQ(zip_crc32(c.seed, bytes, c.length), expected);
    if (clmul) {
      EXPECT_EQ(zip_crc32_clmul(c.seed, bytes, c.length), expected);
    }
  }
  if (!clmul) GTEST_SKIP() << "no PCLMULQDQ on this processor: only zlib's tables were compared";
}

TEST(ZipCrc32, PiecesChainToTheWholeValue) {
  const std::vector<unsigned char> data = RandomBytes(200000, 11);
  const unsigned long whole = crc32(0, data.data(), static_cast<uInt>(data.size()));
  std::mt19937 random(3);
  for (int trial = 0; trial < 20; ++trial) {
    unsigned long crc = 0;
    size_t at = 0;
    while (at < data.size()) {
      const size_t piece = std::min<size_t>(random() % 70000, data.size() - at);
      crc = zip_crc32(crc, data.data() + at, piece);
      at += piece;
    }
    EXPECT_EQ(crc, whole);
  }
}

TEST(ZipDecrypt, GivesTheTextbookBytesAndKeys) {
  const std::vector<unsigned char> cipher = RandomBytes(70000, 5);
  std::mt19937 random(9);
  for (size_t length : {0, 1, 2, 3, 12, 255, 16384, 70000}) {
    for (int keysTried = 0; keysTried < 8; ++keysTried) {
      TextbookCipher textbook{{static_cast<uint32_t>(random()), static_cast<uint32_t>(random()),
                               static_cast<uint32_t>(random())}};
      // The library holds the keys in unsigned long; above 32 bits they carry
      // nothing (the second key is never reduced there on 64-bit systems).
      const unsigned long above32 = static_cast<unsigned long>(0x500000000ull);
      unsigned long keys[3] = {textbook.keys[0], textbook.keys[1] | above32, textbook.keys[2]};
      std::vector<unsigned char> expected(cipher.begin(), cipher.begin() + length);
      for (auto& byte : expected) byte = textbook.Decrypt(byte);
      std::vector<unsigned char> actual(cipher.begin(), cipher.begin() + length);
      zip_decrypt(keys, actual.data(), actual.size());
      SCOPED_TRACE("length " + std::to_string(length));
      EXPECT_EQ(actual, expected);
      EXPECT_EQ(keys[0] & 0xffffffffu, textbook.keys[0]);
      EXPECT_EQ(keys[1] & 0xffffffffu, textbook.keys[1]);
      EXPECT_EQ(keys[2] & 0xffffffffu, textbook.keys[2]);
    }
  }
}

TEST(ZipDecrypt, PiecesGiveTheWhole) {
  const std::vector<unsigned char> cipher = RandomBytes(50000, 13);
  unsigned long wholeKeys[3] = {0x12345678, 0x23456789, 0x34567890};
  std::vector<unsigned char> whole = cipher;
  zip_decrypt(wholeKeys, whole.data(), whole.size());
  unsigned long keys[3] = {0x12345678, 0x23456789, 0x34567890};
  std::vector<unsigned char> pieces = cipher;
  for (size_t at = 0, piece = 1; at < pieces.size(); at += piece, piece = piece * 3 + 1) {
    zip_decrypt(keys, pieces.data() + at, std::min(piece, pieces.size() - at));
  }
  EXPECT_EQ(pieces, whole);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(keys[k], wholeKeys[k]);
}

// What sfxpkg writes: the keys made from a password, the bytes encrypted as the
// description says, and decrypted back by the launcher's own loop.
TEST(ZipEncrypt, GivesTheTextbookBytesAndDecryptsBack) {
  const std::vector<unsigned char> plain = RandomBytes(70000, 11);
  for (const std::string& password : std::vector<std::string>{"", "pass word", std::string("\xF6\x01pw", 4)}) {
    SCOPED_TRACE("password \"" + password + "\"");
    TextbookCipher textbook{{0x12345678, 0x23456789, 0x34567890}};
    for (const char ch : password) textbook.Update(static_cast<unsigned char>(ch));
    unsigned long keys[3];
    zip_init_keys(keys, reinterpret_cast<const unsigned char*>(password.data()), password.size());
    for (int k = 0; k < 3; ++k) EXPECT_EQ(keys[k], textbook.keys[k]);

    std::vector<unsigned char> expected = plain;
    for (auto& byte : expected) byte = textbook.Encrypt(byte);
    std::vector<unsigned char> cipher = plain;
    zip_encrypt(keys, cipher.data(), cipher.size());
    EXPECT_EQ(cipher, expected);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(keys[k], textbook.keys[k]);

    zip_init_keys(keys, reinterpret_cast<const unsigned char*>(password.data()), password.size());
    zip_decrypt(keys, cipher.data(), cipher.size());
    EXPECT_EQ(cipher, plain);
  }
}

}  // namespace
