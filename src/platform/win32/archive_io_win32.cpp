// The zip library's Win32 file functions for wide-character paths.
#include "platform/archive_io.h"

#include "iowin32.h"

namespace platform {

voidpf OpenArchiveFile(const std::wstring& path, zlib_filefunc64_def& functions) {
  fill_win32_filefunc64W(&functions);
  return functions.zopen64_file(functions.opaque, path.c_str(), ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
}

}  // namespace platform
