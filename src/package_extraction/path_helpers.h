// Byte-wise helpers for the 8-bit paths of member extraction. They know nothing of
// double-byte code pages: a separator byte counts wherever it stands.
#pragma once

#include <array>
#include <cstddef>

#include "platform/platform.h"

namespace package {

using PathBuffer = std::array<char, platform::kMaxPathBytes>;

// The separator the extraction core writes, and the other one member names may use.
char NativeSeparator();
char ForeignSeparator();

// path (at most 259 bytes) with every run of native separators collapsed to one and
// then every foreign separator turned into the native one.
PathBuffer NormalizeSeparators(const char* path);

// Replaces occurrences of pattern in the zero-terminated text (of textCapacity
// bytes), searching from the start each time, at most 51 times. A replacement whose
// result would not fit is not made.
void ReplaceAll(char* text, size_t textCapacity, const char* pattern, const char* replacement);

// 1-based position of the first match of pattern at or after offset start, or 0.
int FindFrom(int start, const char* text, const char* pattern);

// Reverses text in place and returns it; none and empty stay as they are.
char* ReverseInPlace(char* text);

// A fresh zero-filled copy of at most n bytes of text, terminated; empty on failure.
platform::CommittedBuffer CopyToFreshBuffer(const char* text, int n);

}  // namespace package
