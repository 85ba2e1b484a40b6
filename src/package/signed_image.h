// Where a signed Windows image keeps its signature: the certificate table that the
// security directory of its PE headers names, at the end of the file. Authenticode
// does not cover that table, so anyone can add bytes to it without breaking the
// signature; a package therefore ends where its certificate table begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace package {

struct FileRange {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t End() const { return offset + size; }
};

// The headers are looked for in the file's first bytes only.
inline constexpr size_t kImageHeadSize = 4096;

// The security directory of the PE headers in head (a file's first headSize bytes)
// as it stands, wherever it points; none without PE headers or for an empty one.
std::optional<FileRange> SecurityDirectoryOf(const uint8_t* head, size_t headSize);

// The certificate table named by the PE headers in head (the first headSize bytes
// of a file of fileSize bytes). None without PE headers, for an empty security
// directory, or for one that points outside the file.
std::optional<FileRange> CertificateTableOf(const uint8_t* head, size_t headSize, uint64_t fileSize);

// Where a package ends: where its certificate table begins when that table runs
// exactly to the end of the file, otherwise at the file's end.
uint64_t PackageEndFor(const std::optional<FileRange>& certificateTable, uint64_t fileSize);
// The same for the open file, from its first bytes.
uint64_t PackageEnd(platform::ReadOnlyFile& file, uint64_t fileSize);

}  // namespace package
