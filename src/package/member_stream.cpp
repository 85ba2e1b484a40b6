// A member's entry, and its data streamed through one buffer with every check.
#include "package/member_stream.h"

#include <array>

#include "package/member_pipeline.h"
#include "platform/platform.h"

namespace package {
namespace {

constexpr unsigned kEncryptedFlag = 1;
constexpr int kStored = 0;
constexpr int kDeflated = Z_DEFLATED;

}  // namespace

bool ReadCurrentMemberInfo(unzFile archive, MemberInfo& info) {
  unz_file_info64 entry;
  // One byte more than the library may fill keeps the name terminated.
  std::array<char, platform::kMaxPathBytes + 1> name{};
  if (unzGetCurrentFileInfo64(archive, &entry, name.data(), name.size() - 1, nullptr, 0, nullptr, 0) != UNZ_OK) {
    return false;
  }
  info.name = name.data();
  info.size = entry.uncompressed_size;
  info.compressedSize = entry.compressed_size;
  info.crc = static_cast<uint32_t>(entry.crc);
  info.method = static_cast<int>(entry.compression_method);
  info.encrypted = (entry.flag & kEncryptedFlag) != 0;
  return true;
}

namespace {

// The member's pieces as the library reads, decrypts and inflates them.
class LibraryPieces final : public PieceSource {
 public:
  LibraryPieces(unzFile archive, const platform::CommittedBuffer& buffer) : archive_(archive), buffer_(buffer) {}
  int Next(const char*& piece) override {
    piece = buffer_.Data();
    return unzReadCurrentFile(archive_, buffer_.Data(), static_cast<unsigned>(buffer_.Size()));
  }

 private:
  const unzFile archive_;
  const platform::CommittedBuffer& buffer_;
};

// Streams the member the archive is positioned on into sink through buffer.
void StreamCurrentMember(unzFile archive, const char* password, const platform::CommittedBuffer& buffer,
                         MemberSink& sink, MemberReadResult& result) {
  // The library does not check the password here: a wrong one shows while reading.
  result.libraryResult = unzOpenCurrentFilePassword(archive, password);
  if (result.libraryResult != UNZ_OK) {
    result.status = MemberReadStatus::kOpenRefused;
  } else {
    LibraryPieces pieces(archive, buffer);
    DeliverPieces(pieces, sink, result);
  }
  // The library compares the CRC only here, once the whole member went through. A
  // mismatch means damaged data or a wrong password (the library never checks the
  // password itself): that member must not count as read.
  // Closing what was never opened is harmless, and leaves nothing half open.
  const int closed = unzCloseCurrentFile(archive);
  if (result.status == MemberReadStatus::kRead && closed == UNZ_CRCERROR) {
    result.status = MemberReadStatus::kCrcMismatch;
    result.libraryResult = closed;
  }
}

}  // namespace

void DeliverPieces(PieceSource& source, MemberSink& sink, MemberReadResult& result) {
  if (!sink.Begin()) {
    result.status = MemberReadStatus::kNotStored;
    return;
  }
  for (;;) {
    const char* piece = nullptr;
    const int count = source.Next(piece);
    if (count < 0) {
      result.status = MemberReadStatus::kDataDamaged;
      result.libraryResult = count;
      return;
    }
    if (count == 0) {
      // A compressed stream that ends before the member's size (garbage from a
      // wrong password can) is cut short, and the library skips its CRC check then.
      if (result.bytesRead != result.info.size) result.status = MemberReadStatus::kDataDamaged;
      return;
    }
    result.bytesRead += static_cast<uint64_t>(count);
    if (!sink.Store(piece, static_cast<size_t>(count))) {
      result.status = MemberReadStatus::kNotStored;
      return;
    }
  }
}

namespace {

// How many threads read the member: 1, 2 or 3.
unsigned ReadingThreads(MemberReadThreads threads, const MemberInfo& info) {
  switch (threads) {
    case MemberReadThreads::kOne:
      return 1;
    case MemberReadThreads::kTwo:
      return 2;
    case MemberReadThreads::kThree:
      return 3;
    case MemberReadThreads::kAuto:
      break;
  }
  // A process pinned to one processor would only switch between the threads.
  if (info.compressedSize < kTwoThreadMemberSize || platform::UsableProcessorCount() < 2) return 1;
  // Decrypting costs about twice per byte of compressed data what inflating and
  // writing cost per byte of output. Data that deflated to half or less keeps the
  // inflating thread the busier one, and a third takes the writing off it; for
  // other data the inflating thread waits on the reading one anyway.
  return info.method == kDeflated && info.compressedSize <= info.size / 2 ? 3 : 2;
}

}  // namespace

MemberReadResult ReadMemberNamed(Archive& archive, const char* name, const char* password, MemberSink& sink,
                                 MemberReadThreads threads) {
  MemberReadResult result;
  if (!archive.IsOpen() || unzLocateFile(archive.Handle(), name, 0) != UNZ_OK) {
    result.status = MemberReadStatus::kMissing;
  } else if (!ReadCurrentMemberInfo(archive.Handle(), result.info)) {
    result.status = MemberReadStatus::kEntryDamaged;
  } else if (const platform::CommittedBuffer buffer(kMemberTransferSize); !buffer) {
    result.status = MemberReadStatus::kNoMemory;
  } else if (result.info.method != kStored && result.info.method != kDeflated) {
    // The library would hand on the data of some other methods undecoded, and
    // check no CRC for it: for stored and deflated data it compares every byte's
    // CRC with the central directory's when the member is closed.
    result.status = MemberReadStatus::kOpenRefused;
    result.libraryResult = UNZ_BADZIPFILE;
  } else if (!sink.Prepare(result.info)) {
    result.status = MemberReadStatus::kNotStored;
  } else if (const unsigned count = ReadingThreads(threads, result.info);
             count == 1 || !StreamCurrentMemberOnThreads(archive.Handle(), password, buffer, sink, result, count == 3)) {
    StreamCurrentMember(archive.Handle(), password, buffer, sink, result);
  }
  return result;
}

}  // namespace package
