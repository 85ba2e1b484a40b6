// Fresh committed pages that give themselves back.
#include <utility>

#include "platform/platform.h"

namespace platform {

CommittedBuffer::~CommittedBuffer() { Release(); }

CommittedBuffer::CommittedBuffer(CommittedBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

CommittedBuffer& CommittedBuffer::operator=(CommittedBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace platform
