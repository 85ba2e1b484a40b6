// Writing an encrypted zip archive with the zip library, one member at a time.
#include "archive_writer.h"

#include <ctime>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/archive_io.h"
#include "zlib.h"

namespace fs = std::filesystem;

namespace sfxpkg {
namespace {

constexpr size_t kChunkSize = 1 << 20;
constexpr uint64_t kZip64MemberSize = 0xF0000000ull;

// Feeds a member's bytes in pieces, from memory or from its source file.
class MemberReader {
 public:
  explicit MemberReader(const ArchiveMember& member) : member_(member) {
    if (!member.source.empty()) file_.open(member.source, std::ios::binary);
  }
  bool Ok() const { return member_.source.empty() || file_.good(); }
  // The next piece; empty at the end.
  std::string Next() {
    if (member_.source.empty()) {
      std::string piece = member_.data.substr(offset_, kChunkSize);
      offset_ += piece.size();
      return piece;
    }
    std::string piece(kChunkSize, '\0');
    file_.read(&piece[0], static_cast<std::streamsize>(piece.size()));
    piece.resize(static_cast<size_t>(file_.gcount()));
    return piece;
  }
  bool Failed() const { return !member_.source.empty() && file_.bad(); }

 private:
  const ArchiveMember& member_;
  std::ifstream file_;
  size_t offset_ = 0;
};

// The CRC-32 that encryption needs before the first byte is written.
bool MemberCrc(const ArchiveMember& member, uLong& crc, const std::function<void(uint64_t)>& onRead) {
  MemberReader reader(member);
  if (!reader.Ok()) return false;
  crc = crc32(0L, Z_NULL, 0);
  for (std::string piece = reader.Next(); !piece.empty(); piece = reader.Next()) {
    crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), static_cast<uInt>(piece.size()));
    if (onRead) onRead(piece.size());
  }
  return !reader.Failed();
}

uint64_t MemberSize(const ArchiveMember& member) {
  if (member.source.empty()) return member.data.size();
  std::error_code ignored;
  return fs::file_size(member.source, ignored);
}

bool WriteMember(zipFile archive, const ArchiveMember& member, std::string& error,
                 const std::function<void(uint64_t)>& onRead) {
  uLong crc = 0;
  if (!MemberCrc(member, crc, onRead)) {
    error = "cannot read " + member.source.string();
    return false;
  }
  zip_fileinfo info{};
  const std::time_t now = std::time(nullptr);
  if (const std::tm* local = std::localtime(&now)) {
    info.tmz_date.tm_sec = static_cast<uInt>(local->tm_sec);
    info.tmz_date.tm_min = static_cast<uInt>(local->tm_min);
    info.tmz_date.tm_hour = static_cast<uInt>(local->tm_hour);
    info.tmz_date.tm_mday = static_cast<uInt>(local->tm_mday);
    info.tmz_date.tm_mon = static_cast<uInt>(local->tm_mon);
    info.tmz_date.tm_year = static_cast<uInt>(local->tm_year + 1900);
  }
  const int method = member.level == 0 ? 0 : Z_DEFLATED;
  // A member near 4 GiB may pass 32 bits once deflated and encrypted; only a member
  // opened as zip64 gets its local header's sizes written in full.
  const int zip64 = MemberSize(member) >= kZip64MemberSize ? 1 : 0;
  if (zipOpenNewFileInZip3_64(archive, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                              member.level, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                              member.password ? member.password->c_str() : nullptr, crc, zip64) != ZIP_OK) {
    error = "cannot add member " + member.name;
    return false;
  }
  MemberReader reader(member);
  bool ok = reader.Ok();
  for (std::string piece = ok ? reader.Next() : std::string(); ok && !piece.empty(); piece = reader.Next()) {
    ok = zipWriteInFileInZip(archive, piece.data(), static_cast<unsigned>(piece.size())) == ZIP_OK;
    if (onRead) onRead(piece.size());
  }
  ok = ok && !reader.Failed();
  const bool closed = zipCloseFileInZip(archive) == ZIP_OK;
  if (!ok || !closed) error = "cannot write member " + member.name;
  return ok && closed;
}

}  // namespace

bool WriteZipArchive(const fs::path& path, const std::vector<ArchiveMember>& members, std::string& error,
                     const std::function<void(uint64_t)>& onRead) {
  zipFile archive = platform::CreateZipArchive(path.wstring());
  if (archive == nullptr) {
    error = "cannot create " + path.string();
    return false;
  }
  bool ok = true;
  for (const ArchiveMember& member : members) {
    if (!WriteMember(archive, member, error, onRead)) {
      ok = false;
      break;
    }
  }
  if (zipClose(archive, nullptr) != ZIP_OK && ok) {
    error = "cannot finish " + path.string();
    ok = false;
  }
  if (!ok) {
    std::error_code ignored;
    fs::remove(path, ignored);
  }
  return ok;
}

}  // namespace sfxpkg
