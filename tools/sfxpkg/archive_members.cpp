#include "archive_members.h"

#include <array>

#include "platform/archive_io.h"
#include "system_path.h"

namespace sfxpkg {
namespace {

// The launcher's transfer buffer and member name buffer.
constexpr size_t kTransferSize = 0xFFFF;
constexpr size_t kNameBufferSize = 261;
constexpr unsigned kEncryptedFlag = 1;

bool CurrentMember(unzFile archive, MemberInfo& member) {
  unz_file_info64 info;
  std::array<char, kNameBufferSize> name{};
  if (unzGetCurrentFileInfo64(archive, &info, name.data(), name.size() - 1, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return false;
  }
  member.name = name.data();
  member.size = info.uncompressed_size;
  member.compressedSize = info.compressed_size;
  member.crc = static_cast<uint32_t>(info.crc);
  member.method = static_cast<int>(info.compression_method);
  member.encrypted = (info.flag & kEncryptedFlag) != 0;
  return true;
}

}  // namespace

OpenedArchive::OpenedArchive(const std::filesystem::path& package)
    : archive_(platform::OpenZipArchive(SystemPath(package))) {
  if (archive_ != nullptr && unzGetGlobalInfo64(archive_, &info_) != UNZ_OK) {
    unzClose(archive_);
    archive_ = nullptr;
  }
}

OpenedArchive::~OpenedArchive() {
  if (archive_ != nullptr) unzClose(archive_);
}

std::optional<std::vector<MemberInfo>> ListMembers(unzFile archive) {
  std::vector<MemberInfo> members;
  int step = unzGoToFirstFile(archive);
  while (step == UNZ_OK) {
    MemberInfo member;
    if (!CurrentMember(archive, member)) return std::nullopt;
    members.push_back(member);
    step = unzGoToNextFile(archive);
  }
  if (step != UNZ_END_OF_LIST_OF_FILE) return std::nullopt;
  return members;
}

MemberRead ReadMember(unzFile archive, const std::string& name, const std::string& password, const MemberSink& sink) {
  MemberRead read;
  if (unzLocateFile(archive, name.c_str(), 0) != UNZ_OK) return read;
  if (!CurrentMember(archive, read.info)) {
    read.status = MemberStatus::kEntryDamaged;
    return read;
  }
  read.libraryResult = unzOpenCurrentFilePassword(archive, password.c_str());
  if (read.libraryResult != UNZ_OK) {
    read.status = MemberStatus::kOpenRefused;
    return read;
  }
  std::array<char, kTransferSize> buffer;
  read.status = MemberStatus::kRead;
  uint64_t total = 0;
  for (;;) {
    const int count = unzReadCurrentFile(archive, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (count == 0) {
      // A stream that ends before the member's size is cut short, as the launcher sees it.
      if (total != read.info.size) read.status = MemberStatus::kDataDamaged;
      break;
    }
    total += static_cast<uint64_t>(count);
    if (count < 0) {
      read.status = MemberStatus::kDataDamaged;
      read.libraryResult = count;
      break;
    }
    if (!sink(buffer.data(), static_cast<size_t>(count))) {
      read.status = MemberStatus::kNotStored;
      break;
    }
  }
  // The library compares the CRC only here, once the whole member went through.
  const int closed = unzCloseCurrentFile(archive);
  if (read.status == MemberStatus::kRead && closed == UNZ_CRCERROR) {
    read.status = MemberStatus::kCrcMismatch;
    read.libraryResult = closed;
  }
  return read;
}

}  // namespace sfxpkg
