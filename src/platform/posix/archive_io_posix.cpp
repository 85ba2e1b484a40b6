// The zip library's own stdio file functions, with the reason a failed open had.
#include <cerrno>

#include "platform/archive_io.h"
#include "platform/posix/errors_posix.h"
#include "platform/utf8.h"

namespace platform {

voidpf OpenArchiveFile(const std::wstring& path, zlib_filefunc64_def& functions) {
  fill_fopen64_filefunc(&functions);
  errno = 0;
  voidpf stream = functions.zopen64_file(functions.opaque, WideToBytes(path).c_str(),
                                         ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
  // Leave the reason where the error report looks for it.
  if (stream == nullptr && errno != 0) FailWithErrno();
  return stream;
}

}  // namespace platform
