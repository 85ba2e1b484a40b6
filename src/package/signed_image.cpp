// Reading a PE image's security directory, every field checked against the file.
#include "package/signed_image.h"

#include <array>

#include "package/little_endian.h"

namespace package {
namespace {

constexpr size_t kNewHeaderOffsetField = 0x3C;  // e_lfanew in the DOS header
constexpr size_t kFileHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSecurityDirectory = 4;
constexpr size_t kDirectoryEntrySize = 8;


}  // namespace

std::optional<FileRange> SecurityDirectoryOf(const uint8_t* head, size_t headSize) {
  if (headSize < kNewHeaderOffsetField + 4 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
  const uint64_t pe = ReadLe32(head + kNewHeaderOffsetField);
  const uint64_t optionalHeader = pe + 4 + kFileHeaderSize;
  if (optionalHeader + 2 > headSize || head[pe] != 'P' || head[pe + 1] != 'E' || head[pe + 2] != 0 ||
      head[pe + 3] != 0) {
    return std::nullopt;
  }
  const uint16_t optionalSize = ReadLe16(head + pe + 4 + 16);
  const uint16_t magic = ReadLe16(head + optionalHeader);
  // The data directories follow the fixed fields: 96 bytes of them in PE32, 112 in PE32+,
  // the last of which counts the directories.
  const uint64_t fixedFields = magic == kPe32Magic ? 96 : magic == kPe32PlusMagic ? 112 : 0;
  if (fixedFields == 0 || optionalHeader + fixedFields > headSize) return std::nullopt;
  const uint64_t entry = optionalHeader + fixedFields + kSecurityDirectory * kDirectoryEntrySize;
  if (ReadLe32(head + optionalHeader + fixedFields - 4) <= kSecurityDirectory || entry + kDirectoryEntrySize > headSize ||
      entry + kDirectoryEntrySize > optionalHeader + optionalSize) {
    return std::nullopt;
  }
  // The security directory holds a file offset, not an address.
  const FileRange directory{ReadLe32(head + entry), ReadLe32(head + entry + 4)};
  if (directory.size == 0) return std::nullopt;
  return directory;
}

std::optional<FileRange> CertificateTableOf(const uint8_t* head, size_t headSize, uint64_t fileSize) {
  if (headSize > fileSize) headSize = static_cast<size_t>(fileSize);
  const std::optional<FileRange> table = SecurityDirectoryOf(head, headSize);
  if (!table || table->offset > fileSize || table->size > fileSize - table->offset) return std::nullopt;
  return table;
}

uint64_t PackageEndFor(const std::optional<FileRange>& certificateTable, uint64_t fileSize) {
  return certificateTable && certificateTable->End() == fileSize ? certificateTable->offset : fileSize;
}

uint64_t PackageEnd(platform::ReadOnlyFile& file, uint64_t fileSize) {
  std::array<uint8_t, kImageHeadSize> head{};
  const size_t wanted = fileSize < head.size() ? static_cast<size_t>(fileSize) : head.size();
  const size_t got = wanted == 0 ? 0 : file.ReadAt(0, head.data(), wanted);
  return PackageEndFor(CertificateTableOf(head.data(), got, fileSize), fileSize);
}

}  // namespace package
