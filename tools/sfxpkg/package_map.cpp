#include "package_map.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "system_path.h"

namespace sfxpkg {
namespace {

// Far enough back for a whole trailer, the bytes a signature may add, and an end
// record with the longest comment: every bound the checks name lies inside it.
constexpr size_t kExaminedTailSize = 256 * 1024;
constexpr size_t kHeaderReadSize = 4096;
constexpr char kEndSignature[] = "PK\x05\x06";

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

std::string ReadRange(platform::ReadOnlyFile& file, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  bytes.resize(size == 0 ? 0 : file.ReadAt(offset, &bytes[0], size));
  return bytes;
}

// The certificate table that a PE header at the start of the file points to.
std::optional<ByteRange> FindCertificateTable(const std::string& head, uint64_t fileSize) {
  constexpr size_t kPeOffsetField = 0x3C;
  constexpr size_t kCoffHeaderSize = 20;
  constexpr size_t kSecurityDirectory = 4;
  if (head.size() < kPeOffsetField + 4 || head.compare(0, 2, "MZ") != 0) return std::nullopt;
  const uint64_t pe = Le32(Bytes(head) + kPeOffsetField);
  if (pe + 4 + kCoffHeaderSize + 2 > head.size() || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    return std::nullopt;
  }
  const uint64_t optionalHeader = pe + 4 + kCoffHeaderSize;
  const uint16_t optionalSize = Le16(Bytes(head) + pe + 4 + 16);
  const uint16_t magic = Le16(Bytes(head) + optionalHeader);
  // Data directories follow the fixed fields: 96 bytes in PE32, 112 in PE32+.
  const uint64_t directories = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
  if (directories == 0) return std::nullopt;
  const uint64_t security = optionalHeader + directories + kSecurityDirectory * 8;
  if (security + 8 > head.size() || security + 8 > optionalHeader + optionalSize ||
      Le32(Bytes(head) + optionalHeader + directories - 4) <= kSecurityDirectory) {
    return std::nullopt;
  }
  const ByteRange table{Le32(Bytes(head) + security), Le32(Bytes(head) + security + 4)};
  if (table.size == 0 || table.End() > fileSize) return std::nullopt;
  return table;
}

EndRecord ParseEndRecord(const std::string& tail, size_t at, uint64_t tailOffset) {
  EndRecord record;
  record.offset = tailOffset + at;
  if (at + EndRecord::kSize <= tail.size()) {
    const uint8_t* p = Bytes(tail) + at;
    record.entries = Le16(p + 10);
    record.directorySize = Le32(p + 12);
    record.directoryOffset = Le32(p + 16);
    record.commentSize = Le16(p + 20);
  }
  return record;
}

void FindEndRecords(const std::string& tail, uint64_t tailOffset, PackageMap& map) {
  const uint64_t searchStart = map.fileSize - std::min<uint64_t>(kEndRecordSearchSize, map.fileSize);
  const uint64_t archiveLimit = map.trailer ? map.trailer->trailerOffset : map.fileSize;
  for (size_t at = tail.find(kEndSignature, 0, 4); at != std::string::npos; at = tail.find(kEndSignature, at + 1, 4)) {
    const uint64_t offset = tailOffset + at;
    // The library never reports a record at the file's very first byte.
    if (offset >= searchStart && offset > 0) map.libraryEndRecord = ParseEndRecord(tail, at, tailOffset);
    if (offset + EndRecord::kSize <= archiveLimit) map.archiveEndRecord = ParseEndRecord(tail, at, tailOffset);
  }
}

// Why the launcher found no trailer, from the bytes it looked at.
void ExplainMissingTrailer(const std::string& tail, PackageMap& map) {
  const auto* bytes = Bytes(tail);
  const std::optional<uint64_t> distance = package::FindPackageMarker(bytes, tail.size());
  if (distance && *distance + package::kTrailerWordsSize <= tail.size()) {
    const uint8_t* words = bytes + tail.size() - *distance - package::kTrailerWordsSize;
    map.storedPasswordLength = Le32(words) ^ package::kPasswordLengthMask;
    map.storedSecondLength = Le32(words + 4) ^ package::kSecondLengthMask;
  }
  const size_t nearest = tail.rfind(package::kPackageMarker);
  if (nearest != std::string::npos) map.nearestMarkerDistance = tail.size() - nearest;
}

std::string Where(const PackageMap& map, uint64_t offset) {
  const std::optional<ByteRange> trailer = map.Trailer();
  if (trailer && offset >= trailer->End()) return "after the package marker";
  if (trailer && offset >= trailer->offset) return "in the trailer";
  return "between the archive and the trailer";
}

}  // namespace

std::string Grouped(uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

std::optional<uint64_t> PackageMap::MarkerOffset() const {
  if (!trailer) return std::nullopt;
  return fileSize - trailer->markerDistance;
}

std::optional<ByteRange> PackageMap::Archive() const {
  if (!archiveEndRecord) return std::nullopt;
  const uint64_t directoryEnd = uint64_t{archiveEndRecord->directoryOffset} + archiveEndRecord->directorySize;
  if (directoryEnd > archiveEndRecord->offset) return std::nullopt;
  const uint64_t start = archiveEndRecord->offset - directoryEnd;
  return ByteRange{start, archiveEndRecord->End() - start};
}

std::optional<ByteRange> PackageMap::Trailer() const {
  if (!trailer) return std::nullopt;
  return ByteRange{trailer->trailerOffset, *MarkerOffset() + package::kPackageMarkerSize - trailer->trailerOffset};
}

std::optional<ByteRange> PackageMap::AfterMarker() const {
  if (!trailer) return std::nullopt;
  const uint64_t end = *MarkerOffset() + package::kPackageMarkerSize;
  return ByteRange{end, fileSize - end};
}

bool MapPackage(const std::filesystem::path& path, PackageMap& map, std::string& error) {
  map = PackageMap();
  platform::ReadOnlyFile file;
  const std::optional<uint64_t> size = file.Open(SystemPath(path)) ? file.Size() : std::nullopt;
  if (!size) {
    error = "cannot open " + ShownPath(path) + ": " + LastSystemErrorText();
    return false;
  }
  map.fileSize = *size;
  // The launcher's own reading of the trailer.
  map.trailer = package::ReadTrailerLayout(file);

  const size_t tailSize = static_cast<size_t>(std::min<uint64_t>(map.fileSize, kExaminedTailSize));
  const uint64_t tailOffset = map.fileSize - tailSize;
  const std::string tail = ReadRange(file, tailOffset, tailSize);
  if (tail.size() != tailSize) {
    error = "cannot read " + ShownPath(path);
    return false;
  }
  if (!map.trailer) ExplainMissingTrailer(tail, map);
  FindEndRecords(tail, tailOffset, map);
  map.certificateTable = FindCertificateTable(ReadRange(file, 0, kHeaderReadSize), map.fileSize);
  return true;
}

std::vector<std::string> BoundsProblems(const PackageMap& map) {
  using package::kMaxFieldLength;
  std::vector<std::string> problems;
  if (!map.trailer) {
    if (map.storedPasswordLength && (*map.storedPasswordLength > kMaxFieldLength ||
                                     *map.storedSecondLength > kMaxFieldLength)) {
      problems.push_back("the trailer is damaged: its length words give a password of " +
                         Grouped(*map.storedPasswordLength) + " bytes and a second field of " +
                         Grouped(*map.storedSecondLength) + " bytes, but a field holds at most 259");
    } else if (map.storedPasswordLength) {
      problems.push_back("the trailer is damaged: its fields would begin before the start of the file");
    } else if (map.nearestMarkerDistance) {
      problems.push_back(Grouped(*map.nearestMarkerDistance - package::kPackageMarkerSize) +
                         " bytes follow the package marker, but the launcher looks for it only in the last 40,961 "
                         "bytes of the file: at most 40,948 bytes may follow it");
    } else {
      problems.push_back("no package marker \">KIVO_Vantor<\" near the end of the file: this is no package, or it "
                         "was cut short");
    }
    return problems;
  }
  if (!map.libraryEndRecord) {
    if (map.archiveEndRecord) {
      problems.push_back("the archive's end record begins " + Grouped(map.fileSize - map.archiveEndRecord->offset) +
                         " bytes before the end of the file, but the archive library looks for it only in the last "
                         "65,535 bytes");
    } else {
      problems.push_back("no zip archive in front of the trailer");
    }
  } else if (!map.archiveEndRecord || map.libraryEndRecord->offset > map.archiveEndRecord->offset) {
    problems.push_back("a zip end-record signature (50 4B 05 06) lies " + Where(map, map.libraryEndRecord->offset) +
                       ", at offset " + Grouped(map.libraryEndRecord->offset) +
                       ": the archive library takes it for the end of the archive");
  }
  return problems;
}

}  // namespace sfxpkg
