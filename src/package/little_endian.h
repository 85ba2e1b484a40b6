// Little-endian words of the formats a package is made of: the PE headers, the zip
// records and the package trailer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace package {

inline uint16_t ReadLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t ReadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t ReadLe64(const uint8_t* p) { return ReadLe32(p) | static_cast<uint64_t>(ReadLe32(p + 4)) << 32; }

// The same at an offset into bytes that the caller has checked holds the word.
inline uint16_t ReadLe16(const std::string& bytes, size_t at) {
  return ReadLe16(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}
inline uint32_t ReadLe32(const std::string& bytes, size_t at) {
  return ReadLe32(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
}

}  // namespace package
