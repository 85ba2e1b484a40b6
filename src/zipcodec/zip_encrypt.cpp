// Traditional PKWARE encryption, for the tools that write packages. Kept apart from
// the decryption so that the launcher, which only reads, links none of it.
#include <cstdint>

#include "zip_codec.h"
#include "zlib.h"

namespace {

constexpr uint32_t kMultiplier = 134775813u;

// One step of the key schedule for a plain byte, as the zip format describes it.
void UpdateKeys(const z_crc_t* crc, uint32_t& k0, uint32_t& k1, uint32_t& k2, uint32_t plain) {
  k0 = static_cast<uint32_t>(crc[(k0 ^ plain) & 0xffu]) ^ (k0 >> 8);
  k1 = (k1 + (k0 & 0xffu)) * kMultiplier + 1u;
  k2 = static_cast<uint32_t>(crc[(k2 ^ (k1 >> 24)) & 0xffu]) ^ (k2 >> 8);
}

}  // namespace

extern "C" void zip_init_keys(unsigned long keys[3], const unsigned char* password, size_t len) {
  const z_crc_t* crc = get_crc_table();
  uint32_t k0 = 0x12345678u, k1 = 0x23456789u, k2 = 0x34567890u;
  for (size_t i = 0; i < len; ++i) UpdateKeys(crc, k0, k1, k2, password[i]);
  keys[0] = k0;
  keys[1] = k1;
  keys[2] = k2;
}

extern "C" void zip_encrypt(unsigned long keys[3], unsigned char* buf, size_t len) {
  const z_crc_t* crc = get_crc_table();
  uint32_t k0 = static_cast<uint32_t>(keys[0]);
  uint32_t k1 = static_cast<uint32_t>(keys[1]);
  uint32_t k2 = static_cast<uint32_t>(keys[2]);
  for (size_t i = 0; i < len; ++i) {
    const uint32_t t = (k2 & 0xffffu) | 2u;
    const uint32_t plain = buf[i];
    buf[i] = static_cast<unsigned char>(plain ^ (((t * (t ^ 1u)) >> 8) & 0xffu));
    UpdateKeys(crc, k0, k1, k2, plain);
  }
  keys[0] = k0;
  keys[1] = k1;
  keys[2] = k2;
}
