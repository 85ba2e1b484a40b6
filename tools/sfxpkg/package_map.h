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

namespace sfxpkg {

struct ByteRange {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t End() const { return offset + size; }
};

// A zip end-of-central-directory record as stored.
struct EndRecord {
  uint64_t offset = 0;  // of its signature, from the start of the file
  uint32_t entries = 0;
  uint32_t directorySize = 0;
  uint32_t directoryOffset = 0;  // from the archive's own first byte
  uint32_t commentSize = 0;
  uint64_t End() const { return offset + kSize + commentSize; }
  static constexpr uint64_t kSize = 22;
};

// The archive library looks for the end record only this far from the end.
inline constexpr uint64_t kEndRecordSearchSize = 0xFFFF;

struct PackageMap {
  uint64_t fileSize = 0;
  // The trailer as the launcher reads it; none when the launcher calls the file damaged.
  std::optional<package::TrailerLayout> trailer;
  // Only when there is no trailer: the marker nearest the end of the file, and the
  // length words in front of a marker the launcher does find.
  std::optional<uint64_t> nearestMarkerDistance;
  std::optional<uint32_t> storedPasswordLength, storedSecondLength;
  // The end record the archive library takes (the last signature within the last
  // 65,535 bytes), and the archive's own (the last one in front of the trailer).
  std::optional<EndRecord> libraryEndRecord;
  std::optional<EndRecord> archiveEndRecord;
  // The Authenticode certificate table named by a PE header at the start of the file.
  std::optional<ByteRange> certificateTable;

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

// Thousands separated by commas, as the messages give sizes.
std::string Grouped(uint64_t number);

}  // namespace sfxpkg
