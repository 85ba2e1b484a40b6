// Decryption of traditional PKWARE-encrypted zip data. Every byte depends on the
// byte before through the three keys, so the speed is the length of that chain of
// dependent instructions per byte, not the number of instructions. The textbook
// loop is about 31 processor cycles long per byte; this one about 18, with the
// same output. What stands on the chain is one multiply for the key byte, one
// table load for the key byte's effect on key1, one add, one shift, one table load
// for key2; the rest is done beside it.
//
// The CRC-32 steps of key0 and key2 are linear: T[u ^ v] = T[u] ^ T[v] for the
// CRC table T, and the table's low byte is a bijection of bytes. So:
//   key2   T[(key2 ^ t) & 0xff] ^ (key2 >> 8) = T[t] ^ H, H from the old key2
//          alone, ready early. The key byte is bits 8-15 of u * (u ^ 1) for
//          u = key2 | 2; the same two factors are a = key2 | 3 and a - 1, and
//          they come the same way from tables of T[t] | 3 and (T[t] | 3) - 1,
//          since (v ^ h) | 3 = (v | 3) ^ (h & ~3).
//   key1   (key1 + b) * M + 1, b the new key0's low byte: key1 * M + 1 is ready
//          early, and b * M is one table load: b = T8[i] ^ c for the index i of
//          key0's step and a byte c known early, and with T8's inverse,
//          b = T8[i ^ T8inv[c]], so the table holds T8[v] * M and c is folded
//          into the index along with the cipher byte and key0's low byte.
// Only the low 32 bits of each key ever reach the output.
#include <array>
#include <cstdint>

#include "zip_codec.h"

// Keeps the compiler from reassociating a value into a later expression.
#if defined(__GNUC__)
#define ZIP_OFF_CHAIN(value) __asm__("" : "+r"(value))
#else
#define ZIP_OFF_CHAIN(value) (void)0
#endif

namespace {

constexpr uint32_t kMultiplier = 134775813u;

struct Tables {
  std::array<uint32_t, 256> crc{};               // T
  std::array<uint32_t, 256> lowByteInverse{};    // the v with T[v] & 0xff == index
  std::array<uint32_t, 256> lowByteTimesM{};     // (T[v] & 0xff) * M
  std::array<uint32_t, 256> factorHigh{};        // T[v] | 3
  std::array<uint32_t, 256> factorLow{};         // (T[v] | 3) - 1
};

constexpr Tables MakeTables() {
  Tables tables;
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    tables.crc[n] = c;
    tables.lowByteInverse[c & 0xffu] = n;
    tables.lowByteTimesM[n] = (c & 0xffu) * kMultiplier;
    tables.factorHigh[n] = c | 3u;
    tables.factorLow[n] = (c | 3u) - 1u;
  }
  return tables;
}

// Made by the compiler: nothing to set up at run time, nothing shared to write.
constexpr Tables kTables = MakeTables();

}  // namespace

extern "C" void zip_decrypt(unsigned long keys[3], unsigned char* buf, size_t len) {
  uint32_t k0 = static_cast<uint32_t>(keys[0]);
  uint32_t k1 = static_cast<uint32_t>(keys[1]);
  uint32_t k2 = static_cast<uint32_t>(keys[2]);
  uint32_t a = k2 | 3u;
  uint32_t am1 = a - 1u;
  // key1 * M + 1, ready before the byte that needs it.
  uint32_t k1m = k1 * kMultiplier + 1u;
  unsigned char* const end = buf + len;
  for (unsigned char* p = buf; p != end; ++p) {
    // Everything of key0's step that does not wait for the key byte: y for
    // key0's own index, r for the index of b * M.
    uint32_t y = (*p ^ k0) & 0xffu;
    uint32_t r = y ^ kTables.lowByteInverse[(k0 >> 8) & 0xffu];
    ZIP_OFF_CHAIN(y);
    ZIP_OFF_CHAIN(r);
    const uint32_t stream = ((a * am1) >> 8) & 0xffu;
    *p = static_cast<unsigned char>(*p ^ stream);
    k1 = k1m + kTables.lowByteTimesM[stream ^ r];
    k0 = kTables.crc[stream ^ y] ^ (k0 >> 8);
    k1m = k1 * kMultiplier + 1u;
    const uint32_t t = k1 >> 24;
    const uint32_t h = kTables.crc[k2 & 0xffu] ^ (k2 >> 8);
    k2 = kTables.crc[t] ^ h;
    a = kTables.factorHigh[t] ^ (h & ~3u);
    am1 = kTables.factorLow[t] ^ (h & ~3u);
  }
  keys[0] = k0;
  keys[1] = k1;
  keys[2] = k2;
}

