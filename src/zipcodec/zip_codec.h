/* The zip library's two hot loops, done fast: the CRC-32 of extracted data and the
 * decryption of traditional PKWARE-encrypted data. Our build of minizip calls these
 * in place of its own per-byte code (cmake/minizip-unzip.patch). The cipher's other
 * direction, for the tools that write packages, lives here too. */
#ifndef SFX_ZIPCODEC_ZIP_CODEC_H
#define SFX_ZIPCODEC_ZIP_CODEC_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* zlib's crc32() over len bytes, the same value: carry-less multiplication where
 * the processor has it (checked once, at the first call), zlib's tables elsewhere. */
unsigned long zip_crc32(unsigned long crc, const unsigned char* buf, size_t len);

/* Whether zip_crc32 uses carry-less multiplication on this processor. */
int zip_crc32_has_clmul(void);

/* The carry-less multiplication path alone; only where zip_crc32_has_clmul(). */
unsigned long zip_crc32_clmul(unsigned long crc, const unsigned char* buf, size_t len);

/* Decrypts len bytes in place and advances the three cipher keys, as the library's
 * per-byte decoding would (keys as the library holds them; only their low 32 bits
 * count). */
void zip_decrypt(unsigned long keys[3], unsigned char* buf, size_t len);

/* Sets the three cipher keys from the password's bytes, as the archive stores them. */
void zip_init_keys(unsigned long keys[3], const unsigned char* password, size_t len);

/* Encrypts len bytes in place and advances the keys: what zip_decrypt undoes. Used
 * where packages are written, one byte at a time; in an object of its own, so that
 * the launcher links none of it. */
void zip_encrypt(unsigned long keys[3], unsigned char* buf, size_t len);

#ifdef __cplusplus
}
#endif

#endif
