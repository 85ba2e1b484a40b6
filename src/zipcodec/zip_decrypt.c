/* Decryption of traditional PKWARE-encrypted zip data. Every byte depends on the
 * byte before through the three keys, so the speed is the length of that chain of
 * dependent instructions per byte, not the number of instructions. The textbook
 * loop is about 31 processor cycles long per byte; this one about 18, with the
 * same output. What stands on the chain is one multiply for the key byte, one
 * table load for the key byte's effect on key1, one add, one shift, one table load
 * for key2; the rest is done beside it.
 *
 * The CRC-32 steps of key0 and key2 are linear: T[u ^ v] = T[u] ^ T[v] for the
 * CRC table T, and the table's low byte is a bijection of bytes. So:
 *   key2   T[(key2 ^ t) & 0xff] ^ (key2 >> 8) = T[t] ^ H, H from the old key2
 *          alone, ready early. The key byte's two factors (t | 2 and t ^ 1 as
 *          a = key2 | 3 and a - 1) come the same way from tables of T[t] | 3
 *          and (T[t] | 3) - 1, since (u ^ h) | 3 = (u | 3) ^ (h & ~3).
 *   key1   (key1 + b) * M + 1, b the new key0's low byte: key1 * M + 1 is ready
 *          early, and b * M is one table load: b = T8[i] ^ c for the index i of
 *          key0's step and a byte c known early, and with T8's inverse,
 *          b = T8[i ^ T8inv[c]], so the table holds T8[v] * M and c is folded
 *          into the index along with the cipher byte and key0's low byte.
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

static uint32_t crc_table[256];      /* T */
static uint32_t low_byte_inverse[256];  /* the v with T[v] & 0xff == index */
static uint32_t low_byte_times_m[256];  /* (T[v] & 0xff) * M */
static uint32_t factor_high[256];      /* T[v] | 3 */
static uint32_t factor_low[256];       /* (T[v] | 3) - 1 */
static int tables_ready;

static void build_tables(void) {
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
    crc_table[n] = c;
    low_byte_inverse[c & 0xffu] = n;
    low_byte_times_m[n] = (c & 0xffu) * kMultiplier;
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
    /* Everything of key0's step that does not wait for the key byte: y for
     * key0's own index, r for the index of b * M. */
    uint32_t y = (*p ^ k0) & 0xffu;
    uint32_t r = y ^ low_byte_inverse[(k0 >> 8) & 0xffu];
    ZIP_OFF_CHAIN(y);
    ZIP_OFF_CHAIN(r);
    const uint32_t stream = ((a * am1) >> 8) & 0xffu;
    *p = (unsigned char)(*p ^ stream);
    k1 = k1m + low_byte_times_m[stream ^ r];
    k0 = crc_table[stream ^ y] ^ (k0 >> 8);
    k1m = k1 * kMultiplier + 1u;
    const uint32_t t = k1 >> 24;
    const uint32_t h = crc_table[k2 & 0xffu] ^ (k2 >> 8);
    k2 = crc_table[t] ^ h;
    a = factor_high[t] ^ (h & ~3u);
    am1 = factor_low[t] ^ (h & ~3u);
  }
  keys[0] = k0;
  keys[1] = k1;
  keys[2] = k2;
}
