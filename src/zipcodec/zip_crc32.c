/* CRC-32 (the zip and zlib polynomial, bit-reflected) of extracted data: four
 * 128-bit lanes folded with carry-less multiplication, then a Barrett reduction
 * (the method of Gopal et al., "Fast CRC Computation for Generic Polynomials Using
 * PCLMULQDQ Instruction", Intel 2009). The processor is asked once whether it has
 * PCLMULQDQ; without it (any processor of the Windows XP era) zlib's crc32() does
 * the work, as it did before. */
#include "zip_codec.h"

#include <limits.h>
#include <stdint.h>
#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#define ZIP_CRC32_CLMUL 1
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>
#endif

/* zlib's crc32() takes at most UINT_MAX bytes at a time. */
static unsigned long crc32_zlib(unsigned long crc, const unsigned char* buf, size_t len) {
  while (len > 0) {
    const unsigned part = len > UINT_MAX ? UINT_MAX : (unsigned)len;
    crc = crc32(crc, buf, part);
    buf += part;
    len -= part;
  }
  return crc;
}

#ifdef ZIP_CRC32_CLMUL

#if defined(__i386__)
/* 32-bit Windows keeps the stack 4-byte aligned; SSE spills need 16. */
#define ZIP_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define ZIP_ALIGN_STACK
#endif

#define ZIP_SSE __attribute__((target("sse2,pclmul")))
#define ZIP_CLMUL ZIP_SSE ZIP_ALIGN_STACK

/* Folds the 128 bits in x over 128 (or, with the other constants, 512) bits of
 * message and adds the next 16 bytes. */
ZIP_SSE static inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

ZIP_SSE static inline __m128i load(const unsigned char* p) { return _mm_loadu_si128((const __m128i*)p); }

/* The CRC register (not inverted) over len bytes; len is at least 64 and a
 * multiple of 16. The constants are powers of x modulo the polynomial, reflected:
 * x^(512+32) and x^(512-32) fold four lanes ahead, x^(128+32) and x^(128-32) one
 * lane, x^64 the last 64 bits; then mu = x^64 / P and P itself. */
ZIP_CLMUL static uint32_t crc32_fold(uint32_t crc, const unsigned char* p, size_t len) {
  const __m128i k1k2 = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
  const __m128i k3k4 = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
  const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124LL);
  const __m128i poly = _mm_set_epi64x(0x1f7011641LL, 0x1db710641LL);
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);

  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128((int)crc));
  __m128i x1 = load(p + 16);
  __m128i x2 = load(p + 32);
  __m128i x3 = load(p + 48);
  p += 64;
  len -= 64;
  while (len >= 64) {
    x0 = fold(x0, k1k2, load(p));
    x1 = fold(x1, k1k2, load(p + 16));
    x2 = fold(x2, k1k2, load(p + 32));
    x3 = fold(x3, k1k2, load(p + 48));
    p += 64;
    len -= 64;
  }
  x0 = fold(x0, k3k4, x1);
  x0 = fold(x0, k3k4, x2);
  x0 = fold(x0, k3k4, x3);
  while (len >= 16) {
    x0 = fold(x0, k3k4, load(p));
    p += 16;
    len -= 16;
  }
  /* 128 bits to 64, then to 32 (each step also appends the 32 zero bits the CRC
   * definition multiplies the message by). */
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(k3k4, x0, 0x01));
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 4), _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), k5, 0x00));
  /* Barrett reduction to the 32-bit remainder. */
  __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x0, mask32), poly, 0x10), mask32);
  t = _mm_clmulepi64_si128(t, poly, 0x00);
  x0 = _mm_xor_si128(x0, t);
  return (uint32_t)_mm_cvtsi128_si32(_mm_srli_si128(x0, 4));
}

static int detect_clmul(void) {
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
  return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}

int zip_crc32_has_clmul(void) {
  /* Threads that ask at once all get the same answer; each stores it whole. */
  static int answer = -1;
  int known = __atomic_load_n(&answer, __ATOMIC_RELAXED);
  if (known < 0) {
    known = detect_clmul();
    __atomic_store_n(&answer, known, __ATOMIC_RELAXED);
  }
  return known;
}

unsigned long zip_crc32_clmul(unsigned long crc, const unsigned char* buf, size_t len) {
  if (len >= 64) {
    const size_t bulk = len & ~(size_t)15;
    crc = ~crc32_fold(~(uint32_t)crc, buf, bulk) & 0xffffffffUL;
    buf += bulk;
    len -= bulk;
  }
  return crc32_zlib(crc, buf, len);
}

unsigned long zip_crc32(unsigned long crc, const unsigned char* buf, size_t len) {
  if (len >= 64 && zip_crc32_has_clmul()) return zip_crc32_clmul(crc, buf, len);
  return crc32_zlib(crc, buf, len);
}

#else

int zip_crc32_has_clmul(void) { return 0; }

unsigned long zip_crc32_clmul(unsigned long crc, const unsigned char* buf, size_t len) {
  return crc32_zlib(crc, buf, len);
}

unsigned long zip_crc32(unsigned long crc, const unsigned char* buf, size_t len) { return crc32_zlib(crc, buf, len); }

#endif
