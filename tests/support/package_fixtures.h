#pragma once

#include <string>
#include <vector>

#include "archive_writer.h"

namespace testsupport {

// The bytes of a zip archive of members, written with minizip's zip writer.
std::string ZipBytes(const std::vector<sfxpkg::ArchiveMember>& members);

// An encrypted member, deflated unless level is 0.
sfxpkg::ArchiveMember Member(const std::string& name, const std::string& data, const std::string& password,
                             int level = 9);

// The archive with a field of one member's entries changed, in its local header and
// in the central directory: its compression method, its CRC-32 or its size.
enum class EntryField { kMethod, kCrc, kSize };
std::string WithEntryField(std::string zip, const std::string& member, EntryField field, uint32_t value);

// Data that compresses somewhat, like a program: n bytes from a fixed seed.
std::string SampleBytes(size_t n, unsigned seed = 1);

// The four members a package carries, each with its own recognisable content.
struct PackageContent {
  std::string data = "setup data\r\n" + SampleBytes(3000, 2);
  std::string engine = SampleBytes(200000, 3);
  std::string ui = SampleBytes(70000, 4);
  std::string exp = SampleBytes(1000, 5);
};
std::vector<sfxpkg::ArchiveMember> PackageMembers(const PackageContent& content, const std::string& password,
                                                  int level = 9);

// Zip archives that other tools made at build time (members A0, A1, A3, A4; A1 the
// test setup engine), all with one password: Info-ZIP's `zip -P`, the same with
// zip64 end records, one with a streamed member (a data descriptor), and 7-Zip's.
inline constexpr char kInfoZipArchive[] = "infozip.zip";
inline constexpr char kInfoZipZip64Archive[] = "infozip-zip64.zip";
inline constexpr char kInfoZipStreamedArchive[] = "infozip-streamed.zip";
inline constexpr char kSevenZipArchive[] = "7zip.zip";
std::string PeerArchive(const char* fileName);
inline std::string InfoZipArchive() { return PeerArchive(kInfoZipArchive); }
inline constexpr char kInfoZipPassword[] = "Info-ZIP pw";

}  // namespace testsupport
