// SHA-256, for checking that a file holds the very bytes that were written to it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace platform {

class Sha256 {
 public:
  using Digest = std::array<uint8_t, 32>;
  Sha256() { Reset(); }
  void Reset();
  void Update(const void* data, size_t size);
  // The digest of everything given since the last Reset; the object is then reset.
  Digest Finish();

 private:
  void Compress(const uint8_t* block);
  std::array<uint32_t, 8> state_{};
  std::array<uint8_t, 64> block_{};
  size_t blockUsed_ = 0;
  uint64_t length_ = 0;
};

}  // namespace platform
