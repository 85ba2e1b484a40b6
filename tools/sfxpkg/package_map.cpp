// Where the pieces of a package lie, found as the launcher and its zip library find them.
#include "package_map.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "package/little_endian.h"
#include "platform/platform.h"
#include "system_path.h"

namespace sfxpkg {
namespace {

using package::ReadLe16;
using package::ReadLe32;
using package::ReadLe64;

// Far enough back for a whole trailer, the bytes a signature may add, and an end
// record with the longest comment: every bound the checks name lies inside it.
constexpr size_t kExaminedTailSize = 256 * 1024;
constexpr char kEndSignature[] = "PK\x05\x06";


const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

std::string ReadRange(platform::ReadOnlyFile& file, uint64_t offset, size_t size) {
  std::string bytes(size, '\0');
  bytes.resize(size == 0 ? 0 : file.ReadAt(offset, &bytes[0], size));
  return bytes;
}


constexpr uint64_t kCertificateHeaderSize = 8;  // WIN_CERTIFICATE: length, revision, type
constexpr uint64_t kCertificateAlignment = 8;
// The only record Windows takes for an Authenticode signature: WIN_CERT_REVISION_2_0
// holding WIN_CERT_TYPE_PKCS_SIGNED_DATA.
constexpr uint16_t kCertificateRevision = 0x0200;
constexpr uint16_t kCertificateTypePkcsSignedData = 2;
// How much of a record's signature its check reads: the headers of the ContentInfo,
// its content type and the SignedData's first field.
constexpr size_t kSignatureHeadSize = 40;

uint64_t AlignUp(uint64_t n) { return (n + kCertificateAlignment - 1) / kCertificateAlignment * kCertificateAlignment; }

// One DER element's identifier and definite length, read at bytes[at].
struct DerElement {
  uint8_t tag = 0;
  uint64_t headerSize = 0;
  uint64_t length = 0;
  uint64_t Size() const { return headerSize + length; }
};

std::optional<DerElement> ReadDer(const std::string& bytes, size_t at) {
  if (at + 2 > bytes.size()) return std::nullopt;
  DerElement element;
  element.tag = static_cast<uint8_t>(bytes[at]);
  const uint8_t first = static_cast<uint8_t>(bytes[at + 1]);
  if (first < 0x80) {
    element.headerSize = 2;
    element.length = first;
    return element;
  }
  // Long form in at most 4 bytes; 0x80 alone is BER's indefinite length, no DER.
  const size_t count = first & 0x7F;
  if (count == 0 || count > 4 || at + 2 + count > bytes.size()) return std::nullopt;
  for (size_t i = 0; i < count; ++i) element.length = element.length << 8 | static_cast<uint8_t>(bytes[at + 2 + i]);
  element.headerSize = 2 + count;
  return element;
}

// The size of the PKCS#7 ContentInfo at the start of signature, which holds at
// most room bytes: a SEQUENCE of the content type signedData (1.2.840.113549.1.7.2)
// and its [0] content, a SignedData SEQUENCE that begins with its version, each
// filling its parent exactly. None for anything else.
std::optional<uint64_t> SignedDataSize(const std::string& signature, uint64_t room) {
  static const std::string kSignedDataOid("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 11);
  const std::optional<DerElement> info = ReadDer(signature, 0);
  if (!info || info->tag != 0x30 || info->Size() > room) return std::nullopt;
  size_t at = static_cast<size_t>(info->headerSize);
  if (signature.compare(at, kSignedDataOid.size(), kSignedDataOid) != 0) return std::nullopt;
  at += kSignedDataOid.size();
  const std::optional<DerElement> content = ReadDer(signature, at);
  if (!content || content->tag != 0xA0 || at + content->Size() != info->Size()) return std::nullopt;
  at += static_cast<size_t>(content->headerSize);
  const std::optional<DerElement> signedData = ReadDer(signature, at);
  if (!signedData || signedData->tag != 0x30 || signedData->Size() != content->length) return std::nullopt;
  at += static_cast<size_t>(signedData->headerSize);
  const std::optional<DerElement> version = ReadDer(signature, at);
  if (!version || version->tag != 0x02 || version->Size() > signedData->length) return std::nullopt;
  return info->Size();
}

bool AllZero(const std::string& bytes) { return bytes.find_first_not_of('\0') == std::string::npos; }

// Walks the table's records: each, at an 8-byte boundary, holds one Authenticode
// signature and the zero bytes that align it to 8 bytes. The walk stops at the
// first record Windows would not take; from there on, and whatever else the table
// holds, was added after signing.
CertificateTable ReadCertificateTable(platform::ReadOnlyFile& file, const ByteRange& range) {
  CertificateTable table;
  table.range = range;
  uint64_t at = range.offset;
  uint64_t accounted = 0;
  while (at % kCertificateAlignment == 0 && at + kCertificateHeaderSize <= range.End()) {
    const std::string record = ReadRange(file, at, kCertificateHeaderSize + kSignatureHeadSize);
    if (record.size() < kCertificateHeaderSize) break;
    const uint64_t length = ReadLe32(Bytes(record));
    if (length < kCertificateHeaderSize || length > range.End() - at ||
        ReadLe16(Bytes(record) + 4) != kCertificateRevision ||
        ReadLe16(Bytes(record) + 6) != kCertificateTypePkcsSignedData) {
      break;
    }
    const std::optional<uint64_t> signature =
        SignedDataSize(record.substr(kCertificateHeaderSize), length - kCertificateHeaderSize);
    if (!signature) break;
    const uint64_t signatureEnd = at + kCertificateHeaderSize + *signature;
    const uint64_t recordEnd = std::min(at + AlignUp(length), range.End());
    const uint64_t paddingEnd = std::min(at + AlignUp(kCertificateHeaderSize + *signature), recordEnd);
    const bool zeroPadding = AllZero(ReadRange(file, signatureEnd, static_cast<size_t>(paddingEnd - signatureEnd)));
    ++table.records;
    accounted += (zeroPadding ? paddingEnd : signatureEnd) - at;
    at = recordEnd;
  }
  table.unsignedBytes = range.size - accounted;
  return table;
}

EndRecord ParseEndRecord(const std::string& tail, size_t at, uint64_t tailOffset) {
  constexpr size_t kLocatorSize = 20;
  constexpr size_t kZip64RecordSize = 56;
  EndRecord record;
  record.offset = tailOffset + at;
  record.directoryEnd = record.offset;
  if (at + EndRecord::kSize <= tail.size()) {
    const uint8_t* p = Bytes(tail) + at;
    record.entries = ReadLe16(p + 10);
    record.directorySize = ReadLe32(p + 12);
    record.directoryOffset = ReadLe32(p + 16);
    record.commentSize = ReadLe16(p + 20);
  }
  // A zip64 locator right in front, and the zip64 end record right in front of it,
  // as the archive library finds them.
  if (at >= kLocatorSize + kZip64RecordSize && tail.compare(at - kLocatorSize, 4, "PK\x06\x07") == 0 &&
      tail.compare(at - kLocatorSize - kZip64RecordSize, 4, "PK\x06\x06") == 0) {
    const uint8_t* zip64 = Bytes(tail) + at - kLocatorSize - kZip64RecordSize;
    record.zip64 = true;
    record.entries = ReadLe64(zip64 + 32);
    record.directorySize = ReadLe64(zip64 + 40);
    record.directoryOffset = ReadLe64(zip64 + 48);
    record.directoryEnd = tailOffset + at - kLocatorSize - kZip64RecordSize;
  }
  return record;
}

void FindEndRecords(const std::string& tail, uint64_t tailOffset, PackageMap& map) {
  // The library sees the file end where the trailer begins.
  const uint64_t bound = map.ArchiveBound();
  const uint64_t searchStart = bound - std::min<uint64_t>(kEndRecordSearchSize, bound);
  for (size_t at = tail.find(kEndSignature, 0, 4); at != std::string::npos; at = tail.find(kEndSignature, at + 1, 4)) {
    const uint64_t offset = tailOffset + at;
    // The library never reports a record at the file's very first byte.
    const EndRecord record = ParseEndRecord(tail, at, tailOffset);
    if (offset >= searchStart && offset > 0 && offset + 4 <= bound) map.libraryEndRecord = record;
    // The archive's own: a whole record with its central directory in front of it.
    if (record.End() <= bound && record.directoryOffset <= record.directoryEnd &&
        record.directorySize <= record.directoryEnd - record.directoryOffset) {
      map.archiveEndRecord = record;
    }
  }
}

// Why the launcher found no trailer, from the bytes it looked at.
void ExplainMissingTrailer(const std::string& tail, PackageMap& map) {
  const auto* bytes = Bytes(tail);
  const std::optional<uint64_t> distance = package::FindPackageMarker(bytes, tail.size());
  if (distance && *distance + package::kTrailerWordsSize <= tail.size()) {
    const package::TrailerWords words =
        package::DecodeTrailerWords(bytes + tail.size() - *distance - package::kTrailerWordsSize);
    map.storedPasswordLength = words.passwordLength;
    map.storedSecondLength = words.secondLength;
  }
  const size_t nearest = tail.rfind(package::kPackageMarker);
  if (nearest != std::string::npos) map.nearestMarkerDistance = tail.size() - nearest;
}

}  // namespace

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string Grouped(uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), ",");
  return digits;
}

std::optional<uint64_t> PackageMap::MarkerOffset() const {
  if (!trailer) return std::nullopt;
  return trailer->packageEnd - trailer->markerDistance;
}

std::optional<ByteRange> PackageMap::Archive() const {
  if (!archiveEndRecord) return std::nullopt;
  const EndRecord& record = *archiveEndRecord;
  // The bytes in front of the archive are where its directory ends, less where it says it ends.
  if (record.directoryOffset > record.directoryEnd ||
      record.directorySize > record.directoryEnd - record.directoryOffset) {
    return std::nullopt;
  }
  const uint64_t start = record.directoryEnd - record.directoryOffset - record.directorySize;
  return ByteRange{start, record.End() - start};
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
  const std::optional<uint64_t> size = file.OpenRegular(SystemPath(path)) ? file.Size() : std::nullopt;
  if (!size) {
    std::error_code ignored;
    error = "cannot open " + ShownPath(path) + ": " +
            (std::filesystem::is_directory(path, ignored)          ? std::string("it is a folder")
             : platform::LastError() == platform::kErrorBadFileType ? std::string("it is no regular file (a pipe, a device or a socket)")
                                                                    : LastSystemErrorText());
    return false;
  }
  map.fileSize = *size;
  // The image headers, read once: the security directory, and with it where the
  // package ends.
  const std::string head = ReadRange(file, 0, package::kImageHeadSize);
  map.securityDirectory = package::SecurityDirectoryOf(Bytes(head), head.size());
  const std::optional<ByteRange> table = package::CertificateTableOf(Bytes(head), head.size(), map.fileSize);
  if (table) map.certificateTable = ReadCertificateTable(file, *table);
  map.packageEnd = package::PackageEndFor(table, map.fileSize);

  const size_t tailSize = static_cast<size_t>(std::min<uint64_t>(map.packageEnd, kExaminedTailSize));
  const uint64_t tailOffset = map.packageEnd - tailSize;
  const std::string tail = ReadRange(file, tailOffset, tailSize);
  if (tail.size() != tailSize) {
    error = "cannot read " + ShownPath(path);
    return false;
  }
  // The launcher's own reading of the trailer, from the same last bytes of the package.
  map.trailer = package::ParseTrailer(Bytes(tail), tail.size(), map.packageEnd);
  if (!map.trailer) ExplainMissingTrailer(tail, map);
  FindEndRecords(tail, tailOffset, map);
  if (const std::optional<ByteRange> after = map.AfterMarker()) {
    // What a signature brings: up to 7 zero bytes, then the certificate table to the end.
    const uint64_t gap = map.packageEnd - after->offset;
    const bool alignment = gap < kCertificateAlignment && AllZero(ReadRange(file, after->offset, gap));
    map.strayBytesAfterMarker = alignment ? 0 : gap;
  }
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
      problems.push_back("the archive's end record begins " +
                         Grouped(map.ArchiveBound() - map.archiveEndRecord->offset) +
                         " bytes before the trailer, but the archive library looks for it only in the last 65,535 "
                         "bytes in front of the trailer");
    } else {
      problems.push_back("no zip archive in front of the trailer");
    }
  } else if (!map.archiveEndRecord || map.libraryEndRecord->offset > map.archiveEndRecord->offset) {
    problems.push_back("a zip end-record signature (50 4B 05 06) lies between the archive and the trailer, at offset " +
                       Grouped(map.libraryEndRecord->offset) + ": the archive library takes it for the end of the archive");
  }
  return problems;
}

std::vector<std::string> StrayBytesWarnings(const PackageMap& map) {
  std::vector<std::string> warnings;
  if (map.strayBytesAfterMarker > 0) {
    warnings.push_back(Grouped(map.strayBytesAfterMarker) + " bytes follow the package marker at offset " +
                       Grouped(*map.MarkerOffset() + package::kPackageMarkerSize) +
                       " that are neither alignment nor a certificate table: the launcher ignores them");
  }
  return warnings;
}

std::vector<std::string> SignatureProblems(const PackageMap& map) {
  std::vector<std::string> problems;
  if (!map.securityDirectory) return problems;
  const ByteRange& directory = *map.securityDirectory;
  if (!map.certificateTable) {
    problems.push_back("the signature block is cut short: the image's headers name " + Grouped(directory.size) +
                       " bytes of it from offset " + Grouped(directory.offset) + ", but the file ends at " +
                       Grouped(map.fileSize));
    return problems;
  }
  const CertificateTable& table = *map.certificateTable;
  if (table.unsignedBytes > 0) {
    problems.push_back("the certificate table holds " + Grouped(table.unsignedBytes) +
                       (table.records == 0 ? " bytes and no signature that Windows accepts" : " bytes beyond its signature") +
                       ": they were added after signing, which the signature does not show; sign the package anew "
                       "from the unsigned one");
  }
  if (table.range.End() < map.fileSize) {
    problems.push_back(Grouped(map.fileSize - table.range.End()) + " bytes follow the signature block (offset " +
                       Grouped(table.range.End()) + "): they were appended after signing");
  }
  return problems;
}

}  // namespace sfxpkg
