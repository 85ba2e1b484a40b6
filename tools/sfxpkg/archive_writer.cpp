// Writing an encrypted zip archive with the zip library, one member at a time.
#include "archive_writer.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <fstream>
#include <memory>
#include <system_error>

#include "platform/archive_io.h"
#include "zip_codec.h"
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
bool MemberCrc(const ArchiveMember& member, uLong& crc, const std::function<bool(uint64_t)>& onRead) {
  MemberReader reader(member);
  if (!reader.Ok()) return false;
  crc = 0;
  for (std::string piece = reader.Next(); !piece.empty(); piece = reader.Next()) {
    crc = zip_crc32(crc, reinterpret_cast<const unsigned char*>(piece.data()), piece.size());
    if (onRead && !onRead(piece.size())) return false;
  }
  return !reader.Failed();
}

uint64_t MemberSize(const ArchiveMember& member) {
  if (member.source.empty()) return member.data.size();
  std::error_code ignored;
  return fs::file_size(member.source, ignored);
}

// Traditional PKWARE encryption, for members whose header bytes sfxpkg chooses.
// Traditional PKWARE encryption with the zip library's own cipher (src/zipcodec).
class ZipCrypto {
 public:
  explicit ZipCrypto(const std::string& password) {
    zip_init_keys(keys_, reinterpret_cast<const unsigned char*>(password.data()), password.size());
  }
  void Encode(std::string& bytes) {
    zip_encrypt(keys_, reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size());
  }

 private:
  unsigned long keys_[3];
};

// The 12-byte encryption header: 10 bytes derived from the password, the member's
// name, its CRC and its size (FNV-1a: the same inputs, the same bytes; it guards
// nothing, since the password travels in the package), then the CRC's top two bytes,
// the last of which unzip checks.
std::string EncryptionHeader(const std::string& password, const ArchiveMember& member, uLong crc, uint64_t size) {
  uint64_t hash = 0xCBF29CE484222325ull;
  const auto mix = [&hash](const std::string& bytes) {
    for (const char ch : bytes) hash = (hash ^ static_cast<uint8_t>(ch)) * 0x100000001B3ull;
  };
  mix(password);
  mix(std::string(1, '\0') + member.name + std::string(1, '\0'));
  mix(std::to_string(crc) + "/" + std::to_string(size));
  std::string header;
  for (int i = 0; i < 10; ++i) {
    mix(std::string(1, static_cast<char>(i)));
    header.push_back(static_cast<char>(hash >> 56));
  }
  header.push_back(static_cast<char>((crc >> 16) & 0xFF));
  header.push_back(static_cast<char>((crc >> 24) & 0xFF));
  return header;
}

// The member's time, in the zip library's form (UTC, so that it does not depend on
// the machine's time zone).
tm_zip MemberTime(const ArchiveMember& member) {
  std::time_t when = std::time(nullptr);
  if (member.time) {
    when = *member.time;
  } else if (!member.source.empty()) {
    // The file's own seconds, as the system keeps them: no clock conversion that
    // could round differently from one build to the next.
#ifdef _WIN32
    struct _stat64 status;
    if (_wstat64(member.source.wstring().c_str(), &status) == 0) when = static_cast<std::time_t>(status.st_mtime);
#else
    struct stat status;
    if (stat(member.source.c_str(), &status) == 0) when = status.st_mtime;
#endif
  }
  tm_zip zipTime{};
  if (const std::tm* utc = std::gmtime(&when)) {
    zipTime.tm_sec = static_cast<uInt>(utc->tm_sec);
    zipTime.tm_min = static_cast<uInt>(utc->tm_min);
    zipTime.tm_hour = static_cast<uInt>(utc->tm_hour);
    zipTime.tm_mday = static_cast<uInt>(utc->tm_mday);
    zipTime.tm_mon = static_cast<uInt>(utc->tm_mon);
    zipTime.tm_year = static_cast<uInt>(utc->tm_year + 1900);
  }
  return zipTime;
}

// Deflates (or stores) the member and encrypts it with a header of sfxpkg's own,
// handing the zip library the finished bytes.
bool WriteEncryptedMember(zipFile archive, const ArchiveMember& member, uLong crc,
                          const std::function<bool(uint64_t)>& onRead) {
  const uint64_t size = MemberSize(member);
  ZipCrypto cipher(*member.password);
  std::string header = EncryptionHeader(*member.password, member, crc, size);
  cipher.Encode(header);
  bool ok = zipWriteInFileInZip(archive, header.data(), static_cast<unsigned>(header.size())) == ZIP_OK;

  z_stream stream{};
  const bool deflating = member.level != 0;
  if (deflating && deflateInit2(&stream, member.level, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY) != Z_OK) {
    return false;
  }
  std::string out(kChunkSize + 1024, '\0');
  const auto emit = [&](std::string bytes) {
    cipher.Encode(bytes);
    return bytes.empty() || zipWriteInFileInZip(archive, bytes.data(), static_cast<unsigned>(bytes.size())) == ZIP_OK;
  };
  MemberReader reader(member);
  ok = ok && reader.Ok();
  for (std::string piece = ok ? reader.Next() : std::string();; piece = reader.Next()) {
    const bool last = piece.empty();
    ok = ok && (!onRead || onRead(piece.size()));
    if (!deflating) {
      ok = ok && emit(piece);
    } else {
      stream.next_in = reinterpret_cast<Bytef*>(piece.data());
      stream.avail_in = static_cast<uInt>(piece.size());
      int status = Z_OK;
      do {
        stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
        stream.avail_out = static_cast<uInt>(out.size());
        status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        ok = ok && status != Z_STREAM_ERROR && emit(out.substr(0, out.size() - stream.avail_out));
      } while (ok && (stream.avail_out == 0 || (last && status != Z_STREAM_END)));
    }
    if (last || !ok) break;
  }
  if (deflating) deflateEnd(&stream);
  return ok && !reader.Failed();
}

bool WriteMember(zipFile archive, const ArchiveMember& member, std::string& error,
                 const std::function<bool(uint64_t)>& onRead) {
  uLong crc = 0;
  if (!MemberCrc(member, crc, onRead)) {
    error = "cannot read " + member.source.string();
    return false;
  }
  zip_fileinfo info{};
  info.tmz_date = MemberTime(member);
  const int method = member.level == 0 ? 0 : Z_DEFLATED;
  // A member near 4 GiB may pass 32 bits once deflated and encrypted; only a member
  // opened as zip64 gets its local header's sizes written in full.
  const int zip64 = MemberSize(member) >= kZip64MemberSize ? 1 : 0;
  if (member.password && !member.randomHeader) {
    // Raw: the library stores what it is given, flagged as encrypted.
    constexpr uLong kEncryptedFlag = 1;
    if (zipOpenNewFileInZip4_64(archive, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                                member.level, 1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                kEncryptedFlag, zip64) != ZIP_OK) {
      error = "cannot add member " + member.name;
      return false;
    }
    const bool ok = WriteEncryptedMember(archive, member, crc, onRead);
    const bool closed = zipCloseFileInZipRaw64(archive, MemberSize(member), crc) == ZIP_OK;
    if (!ok || !closed) error = "cannot write member " + member.name;
    return ok && closed;
  }
  if (zipOpenNewFileInZip3_64(archive, member.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, method,
                              member.level, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                              member.password ? member.password->c_str() : nullptr, crc, zip64) != ZIP_OK) {
    error = "cannot add member " + member.name;
    return false;
  }
  MemberReader reader(member);
  bool ok = reader.Ok();
  for (std::string piece = ok ? reader.Next() : std::string(); ok && !piece.empty(); piece = reader.Next()) {
    ok = zipWriteInFileInZip(archive, piece.data(), static_cast<unsigned>(piece.size())) == ZIP_OK &&
         (!onRead || onRead(piece.size()));
  }
  ok = ok && !reader.Failed();
  const bool closed = zipCloseFileInZip(archive) == ZIP_OK;
  if (!ok || !closed) error = "cannot write member " + member.name;
  return ok && closed;
}

}  // namespace

bool WriteZipArchive(const fs::path& path, const std::vector<ArchiveMember>& members, std::string& error,
                     const std::function<bool(uint64_t)>& onRead) {
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
