// Byte-wise helpers for the extraction's 8-bit paths.
#include "package_extraction/path_helpers.h"

#include <cstring>

namespace package {
namespace {
constexpr size_t kReplaceBufferSize = 520;
constexpr int kMaxReplacements = 51;
}  // namespace

char NativeSeparator() { return static_cast<char>(platform::kPathSeparator); }
char ForeignSeparator() { return NativeSeparator() == '\\' ? '/' : '\\'; }

PathBuffer NormalizeSeparators(const char* path) {
  PathBuffer copy{};
  std::strncpy(copy.data(), path, copy.size() - 1);
  const char native[] = {NativeSeparator(), '\0'};
  const char doubled[] = {NativeSeparator(), NativeSeparator(), '\0'};
  const char foreign[] = {ForeignSeparator(), '\0'};
  // Runs first, then the foreign separators: a native one followed by a foreign one
  // ends as two native ones.
  ReplaceAll(copy.data(), copy.size(), doubled, native);
  ReplaceAll(copy.data(), copy.size(), foreign, native);
  return copy;
}

void ReplaceAll(char* text, size_t textCapacity, const char* pattern, const char* replacement) {
  const size_t patternLength = std::strlen(pattern);
  const size_t replacementLength = std::strlen(replacement);
  if (patternLength == 0) return;
  for (int count = 0; count < kMaxReplacements; ++count) {
    char* found = std::strstr(text, pattern);
    if (found == nullptr) return;
    const size_t before = static_cast<size_t>(found - text);
    const size_t after = std::strlen(found + patternLength);
    const size_t total = before + replacementLength + after;
    if (total + 1 > kReplaceBufferSize || total + 1 > textCapacity) return;
    char working[kReplaceBufferSize] = {};
    std::memcpy(working, text, before);
    std::memcpy(working + before, replacement, replacementLength);
    std::memcpy(working + before + replacementLength, found + patternLength, after);
    std::memcpy(text, working, total + 1);
  }
}

int FindFrom(int start, const char* text, const char* pattern) {
  const size_t length = std::strlen(text);
  if (*pattern == '\0') return 0;
  if (start < 0) start = 0;
  if (static_cast<size_t>(start) >= length) return 0;
  const char* found = std::strstr(text + start, pattern);
  return found == nullptr ? 0 : static_cast<int>(found - text) + 1;
}

char* ReverseInPlace(char* text) {
  if (text == nullptr || *text == '\0') return text;
  for (char *front = text, *back = text + std::strlen(text) - 1; front < back; ++front, --back) {
    const char swapped = *front;
    *front = *back;
    *back = swapped;
  }
  return text;
}

platform::CommittedBuffer CopyToFreshBuffer(const char* text, int n) {
  const size_t count = n > 0 ? static_cast<size_t>(n) : 0;
  platform::CommittedBuffer copy(count + 1);
  if (copy) {
    for (size_t i = 0; i < count && text[i] != '\0'; ++i) copy.Data()[i] = text[i];
  }
  return copy;
}

}  // namespace package
