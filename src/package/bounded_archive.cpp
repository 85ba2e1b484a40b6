// The zip library's file functions, bounded at the trailer, and the self-closing archive.
#include "package/bounded_archive.h"

#include <cstdint>
#include <new>

#include "platform/platform.h"

namespace package {
namespace {

// One open archive: the package file, read where the library is in the part of it
// that ends at end.
struct BoundedStream {
  platform::ReadOnlyFile* file = nullptr;
  uint64_t end = 0;
  uint64_t position = 0;
};

BoundedStream* Bounded(voidpf stream) { return static_cast<BoundedStream*>(stream); }

// What the open function needs; it lives only while the archive is opened.
struct OpenRequest {
  platform::ReadOnlyFile* file;
  uint64_t end;
};

voidpf ZCALLBACK OpenBounded(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  const auto* request = static_cast<const OpenRequest*>(opaque);
  if (!request->file->IsOpen()) return nullptr;
  auto* bounded = new (std::nothrow) BoundedStream();
  if (bounded == nullptr) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return nullptr;
  }
  bounded->file = request->file;
  bounded->end = request->end;
  return bounded;
}

uLong ZCALLBACK ReadBounded(voidpf, voidpf stream, void* buffer, uLong size) {
  BoundedStream* file = Bounded(stream);
  if (file->position >= file->end || size == 0) return 0;
  const uint64_t left = file->end - file->position;
  const size_t count = static_cast<size_t>(left < size ? left : size);
  const size_t got = file->file->ReadAt(file->position, buffer, count);
  file->position += got;
  return static_cast<uLong>(got);
}

uLong ZCALLBACK WriteRefused(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellBounded(voidpf, voidpf stream) { return Bounded(stream)->position; }

// Seeks only move the position; each read says where it reads.
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

// The package file stays open: it is its owner's.
int ZCALLBACK CloseBounded(voidpf, voidpf stream) {
  delete Bounded(stream);
  return 0;
}

int ZCALLBACK ErrorBounded(voidpf, voidpf) { return 0; }

}  // namespace

Archive::Archive(platform::ReadOnlyFile& file, uint64_t archiveEnd) { Open(file, archiveEnd); }

Archive::Archive(const std::wstring& path, uint64_t archiveEnd) {
  if (ownFile_.Open(path)) Open(ownFile_, archiveEnd);
}

void Archive::Open(platform::ReadOnlyFile& file, uint64_t archiveEnd) {
  OpenRequest request{&file, archiveEnd};
  zlib_filefunc64_def functions{OpenBounded, ReadBounded,  WriteRefused, TellBounded,
                                SeekBounded, CloseBounded, ErrorBounded, &request};
  // The open function takes the file from the request; the library only passes the name on.
  archive_ = unzOpen2_64("package", &functions);
  if (archive_ != nullptr && unzGetGlobalInfo64(archive_, &info_) != UNZ_OK) {
    unzClose(archive_);
    archive_ = nullptr;
  }
}

Archive::~Archive() {
  if (archive_ != nullptr) unzClose(archive_);
}

}  // namespace package
