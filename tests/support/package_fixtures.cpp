#include "support/package_fixtures.h"

#include "support/scratch_folder.h"

namespace testsupport {

std::string ZipBytes(const std::vector<sfxpkg::ArchiveMember>& members) {
  ScratchFolder scratch;
  const auto path = scratch.Path() / "archive.zip";
  std::string error;
  if (!sfxpkg::WriteZipArchive(path, members, error)) return "zip writer failed: " + error;
  return ReadFileBytes(path);
}

sfxpkg::ArchiveMember Member(const std::string& name, const std::string& data, const std::string& password,
                             int level) {
  sfxpkg::ArchiveMember member;
  member.name = name;
  member.data = data;
  member.password = password;
  member.level = level;
  return member;
}

std::string WithEntryField(std::string zip, const std::string& member, EntryField field, uint32_t value) {
  struct Header {
    const char* signature;
    size_t methodAt, crcAt, sizeAt, nameLengthAt, nameAt;
  };
  const auto word = [&zip](size_t at) {
    return static_cast<size_t>(static_cast<uint8_t>(zip[at]) | static_cast<uint8_t>(zip[at + 1]) << 8);
  };
  for (const Header& header : {Header{"PK\x03\x04", 8, 14, 22, 26, 30}, Header{"PK\x01\x02", 10, 16, 24, 28, 46}}) {
    for (size_t at = zip.find(header.signature); at != std::string::npos; at = zip.find(header.signature, at + 4)) {
      if (zip.compare(at + header.nameAt, word(at + header.nameLengthAt), member) != 0) continue;
      const size_t fieldAt = at + (field == EntryField::kMethod ? header.methodAt
                                   : field == EntryField::kCrc  ? header.crcAt
                                                                : header.sizeAt);
      const size_t size = field == EntryField::kMethod ? 2 : 4;
      for (size_t i = 0; i < size; ++i) zip[fieldAt + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
  }
  return zip;
}

std::string SampleBytes(size_t n, unsigned seed) {
  std::string bytes(n, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    // Mostly a small alphabet, now and then anything: compressible, not trivially.
    const uint32_t r = state >> 16;
    bytes[i] = static_cast<char>(r % 7 == 0 ? r & 0xFF : 'a' + r % 6);
  }
  return bytes;
}

std::vector<sfxpkg::ArchiveMember> PackageMembers(const PackageContent& content, const std::string& password,
                                                  int level) {
  return {Member("A0", content.data, password, level), Member("A1", content.engine, password, level),
          Member("A3", content.ui, password, level), Member("A4", content.exp, password, level)};
}

std::string PeerArchive(const char* fileName) { return ReadFileBytes(ProgramFolder() / "fixtures" / fileName); }

}  // namespace testsupport
