// Where the pieces of a package lie, found the way the launcher and its archive
// library find them: inspect shows it, verify explains failures with it and build
// checks its own output against it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "package/package_trailer.h"
#include "package/signed_image.h"

namespace sfxpkg {

using ByteRange = package::FileRange;

// A zip end-of-central-directory record as stored, with the zip64 end record's
// values where one lies in front of it.
struct EndRecord {
  uint64_t offset = 0;  // of its signature, from the start of the file
  uint64_t entries = 0;
  uint64_t directorySize = 0;
  uint64_t directoryOffset = 0;  // from the archive's own first byte
  uint32_t commentSize = 0;
  // Where the central directory ends: at the zip64 end record when there is one.
  uint64_t directoryEnd = 0;
  bool zip64 = false;
  uint64_t End() const { return offset + kSize + commentSize; }
  static constexpr uint64_t kSize = 22;
};

// The archive library looks for the end record only this far in front of the
// archive's end (the trailer).
inline constexpr uint64_t kEndRecordSearchSize = 0xFFFF;

// The certificate table of a signed image and what its records hold.
struct CertificateTable {
  ByteRange range;
  unsigned records = 0;
  // Bytes of the table that are neither a record's signature nor the zero padding
  // that aligns it: added after signing, since the signature does not cover them.
  uint64_t unsignedBytes = 0;
};

struct PackageMap {
  uint64_t fileSize = 0;
  // Where the package ends: the file's end, or where its certificate table begins.
  uint64_t packageEnd = 0;
  // The trailer as the launcher reads it; none when the launcher calls the file damaged.
  std::optional<package::TrailerLayout> trailer;
  // Only when there is no trailer: the marker nearest the end of the package, and
  // the length words in front of a marker the launcher does find.
  std::optional<uint64_t> nearestMarkerDistance;
  std::optional<uint32_t> storedPasswordLength, storedSecondLength;
  // The end record the archive library takes (the last signature within the last
  // 65,535 bytes in front of the trailer), and the archive's own (the last whole
  // record in front of the trailer).
  std::optional<EndRecord> libraryEndRecord;
  std::optional<EndRecord> archiveEndRecord;
  // The Authenticode certificate table named by a PE header at the start of the file.
  std::optional<CertificateTable> certificateTable;
  // The security directory as the image's headers state it, wherever it points.
  std::optional<ByteRange> securityDirectory;
  // Bytes between the marker and the package's end that are not alignment.
  uint64_t strayBytesAfterMarker = 0;

  // Where the archive must end: the trailer's first byte (the package's end without one).
  uint64_t ArchiveBound() const { return trailer ? trailer->trailerOffset : packageEnd; }
  std::optional<uint64_t> MarkerOffset() const;
  std::optional<ByteRange> Archive() const;     // from the archive's own end record
  std::optional<ByteRange> Trailer() const;     // password field to the marker's end
  std::optional<ByteRange> AfterMarker() const;
};

// Maps the package at path; false with the reason when it cannot be read.
bool MapPackage(const std::filesystem::path& path, PackageMap& map, std::string& error);

// What keeps the launcher from finding its trailer or the archive library from
// finding the archive, one line each; empty when all bounds hold.
std::vector<std::string> BoundsProblems(const PackageMap& map);

// Bytes behind the marker that the launcher ignores and that are neither alignment
// nor a certificate table, one line each: a package as built has none.
std::vector<std::string> StrayBytesWarnings(const PackageMap& map);

// What is wrong with the signature block, one line each: bytes added inside it, a
// block cut short, bytes appended behind it. Windows' check of such a package fails
// or is fooled; empty for an unsigned package and for a sound signature.
std::vector<std::string> SignatureProblems(const PackageMap& map);

// Thousands separated by commas, as the messages give sizes.
std::string Grouped(uint64_t number);
// A CRC or a word as the reports give it: "0x" and eight hex digits.
std::string Hex32(uint32_t value);

}  // namespace sfxpkg
