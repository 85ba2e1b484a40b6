/* Decryption of traditional PKWARE-encrypted zip data. Every byte depends on the
 * byte before through the three keys, so the speed is the length of that chain of
 * dependent instructions per byte, not the number of instructions. The textbook
 * loop is about 31 processor cycles long per byte; this one is written so that as
 * little as possible stands on the chain:
 *
 *   key byte     bits 8-15 of t * (t ^ 1), t = key2 | 2. The same two factors are
 *                a = key2 | 3 and a - 1, and both come straight from tables when
 *                key2 is updated ((x ^ h) | 3 is (x | 3) ^ (h & ~3)), so no
 *                arithmetic stands between the table load and the multiply.
 *   key0         a CRC-32 step with the plain byte; the byte that feeds key1 is
 *                loaded from a byte table and needs no masking.
 *   key1         (key1 + b) * M + 1 is kept as key1 * M + 1 (computed off the
 *                chain) plus b * M, so only one multiply stands on it.
 *   key2         a CRC-32 step with the top byte of key1.
 *
 * Only the low 32 bits of each key ever reach the output. */
#include "zip_codec.h"

#include <stdint.h>

/* Keeps the compiler from reassociating a value into a later expression. */
#if defined(__GNUC__)
#define ZIP_OFF_CHAIN(value) __asm__("" : "+r"(value))
#else
#define ZIP_OFF_CHAIN(value) (void)0
#endif

enum { kMultiplier = 134775813u };

/* The CRC-32 table, its low bytes, and the key byte's two factors per entry. */
static uint32_t crc_table[256];
static uint32_t crc_low_byte[256];
static uint32_t factor_high[256]; /* entry | 3 */
static uint32_t factor_low[256];  /* (entry | 3) - 1 */
static int tables_ready;

static void build_tables(void) {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    crc_table[n] = c;
    crc_low_byte[n] = c & 0xffu;
    factor_high[n] = c | 3u;
    factor_low[n] = (c | 3u) - 1u;
  }
  tables_ready = 1;
}

void zip_decrypt(unsigned long keys[3], unsigned char* buf, size_t len) {
  if (!tables_ready) build_tables();
  uint32_t k0 = (uint32_t)keys[0];
  uint32_t k1 = (uint32_t)keys[1];
  uint32_t k2 = (uint32_t)keys[2];
  uint32_t a = k2 | 3u;
  uint32_t am1 = a - 1u;
  /* key1 * M + 1, ready before the byte that needs it. */
  uint32_t k1m = k1 * kMultiplier + 1u;
  unsigned char* const end = buf + len;
  for (unsigned char* p = buf; p != end; ++p) {
    /* key0 and the cipher byte meet before the key byte is known (the compiler
     * must not move that xor onto the chain). */
    uint32_t y = (k0 ^ *p) << 8;
    ZIP_OFF_CHAIN(y);
    const uint32_t i0 = ((a * am1) ^ y) >> 8 & 0xffu;
    *p = (unsigned char)(i0 ^ k0);
    const uint32_t b = crc_low_byte[i0] ^ ((k0 >> 8) & 0xffu);
    k0 = crc_table[i0] ^ (k0 >> 8);
    k1 = k1m + b * kMultiplier;
    k1m = k1 * kMultiplier + 1u;
    const uint32_t j = (k1 >> 24) ^ (k2 & 0xffu);
    const uint32_t h = k2 >> 8;
    k2 = crc_table[j] ^ h;
    a = factor_high[j] ^ (h & ~3u);
    am1 = factor_low[j] ^ (h & ~3u);
  }
  keys[0] = k0;
  keys[1] = k1;
  keys[2] = k2;
}
