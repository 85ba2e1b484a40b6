// The zip library's file functions, bounded at the trailer, and the self-closing archive.
#include "package/bounded_archive.h"

#include <cstdint>
#include <new>

#include "platform/archive_io.h"
#include "platform/platform.h"

namespace package {
namespace {

// What the open function needs. It lives only while the archive is opened: the
// library hands it to every other function too, and they never look at it.
struct OpenRequest {
  const std::wstring* path;
  uint64_t end;
};

// One open file: the system's stream and functions, and where the library is in
// the file that ends at end.
struct BoundedStream {
  zlib_filefunc64_def system{};
  voidpf stream = nullptr;
  uint64_t end = 0;
  uint64_t position = 0;
  // Where the system's stream stands, so that reading on needs no seek.
  uint64_t systemPosition = 0;
};

// After a failed seek nobody knows where the system's stream stands.
constexpr uint64_t kUnknownPosition = UINT64_MAX;

BoundedStream* Bounded(voidpf stream) { return static_cast<BoundedStream*>(stream); }

voidpf ZCALLBACK OpenBounded(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  const auto* request = static_cast<const OpenRequest*>(opaque);
  auto* bounded = new (std::nothrow) BoundedStream();
  if (bounded == nullptr) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return nullptr;
  }
  bounded->stream = platform::OpenArchiveFile(*request->path, bounded->system);
  if (bounded->stream == nullptr) {
    delete bounded;
    return nullptr;
  }
  bounded->end = request->end;
  return bounded;
}

uLong ZCALLBACK ReadBounded(voidpf, voidpf stream, void* buffer, uLong size) {
  BoundedStream* file = Bounded(stream);
  if (file->position >= file->end || size == 0) return 0;
  const uint64_t left = file->end - file->position;
  const uLong count = left < size ? static_cast<uLong>(left) : size;
  if (file->systemPosition != file->position) {
    if (file->system.zseek64_file(file->system.opaque, file->stream, file->position, ZLIB_FILEFUNC_SEEK_SET) != 0) {
      file->systemPosition = kUnknownPosition;
      return 0;
    }
    file->systemPosition = file->position;
  }
  const uLong got = file->system.zread_file(file->system.opaque, file->stream, buffer, count);
  file->position += got;
  file->systemPosition = file->position;
  return got;
}

uLong ZCALLBACK WriteRefused(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellBounded(voidpf, voidpf stream) { return Bounded(stream)->position; }

// Seeks never reach the system: the position is ours, and a read moves the
// system's stream there first.
long ZCALLBACK SeekBounded(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  BoundedStream* file = Bounded(stream);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      file->position = offset;
      return 0;
    case ZLIB_FILEFUNC_SEEK_CUR:
      file->position += offset;
      return 0;
    case ZLIB_FILEFUNC_SEEK_END:
      file->position = file->end + offset;
      return 0;
    default:
      return -1;
  }
}

int ZCALLBACK CloseBounded(voidpf, voidpf stream) {
  BoundedStream* file = Bounded(stream);
  const int result = file->system.zclose_file(file->system.opaque, file->stream);
  delete file;
  return result;
}

int ZCALLBACK ErrorBounded(voidpf, voidpf stream) {
  BoundedStream* file = Bounded(stream);
  return file->system.zerror_file(file->system.opaque, file->stream);
}

}  // namespace

unzFile OpenArchiveBefore(const std::wstring& path, uint64_t archiveEnd) {
  OpenRequest request{&path, archiveEnd};
  zlib_filefunc64_def functions{OpenBounded, ReadBounded,  WriteRefused, TellBounded,
                                SeekBounded, CloseBounded, ErrorBounded, &request};
  // The open function takes the path from the request; the library only passes it on.
  return unzOpen2_64(path.c_str(), &functions);
}

Archive::Archive(const std::wstring& path, uint64_t archiveEnd) : archive_(OpenArchiveBefore(path, archiveEnd)) {
  if (archive_ != nullptr && unzGetGlobalInfo64(archive_, &info_) != UNZ_OK) {
    unzClose(archive_);
    archive_ = nullptr;
  }
}

Archive::~Archive() {
  if (archive_ != nullptr) unzClose(archive_);
}

}  // namespace package
