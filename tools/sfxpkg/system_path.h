// Paths and error texts between sfxpkg and the platform layer.
#pragma once

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "utf8_text.h"

namespace sfxpkg {

// A path as the launcher's platform layer takes it: wide text that names the same
// file (on POSIX the wide form of its UTF-8 bytes).
inline std::wstring SystemPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return path.wstring();
#else
  return platform::FromAnsi(path.string());
#endif
}

// The system's text for the last error, in UTF-8, without its line end: Windows'
// own text there, and on Linux the C library's for the errno the layer reported.
inline std::string LastSystemErrorText() {
#ifndef _WIN32
  struct Errno {
    int code;
    int error;
  };
  static constexpr Errno kErrnos[] = {
      {platform::kErrorFileNotFound, ENOENT},      {platform::kErrorPathNotFound, ENOTDIR},
      {platform::kErrorAccessDenied, EACCES},      {platform::kErrorWriteProtect, EROFS},
      {platform::kErrorAlreadyExists, EEXIST},     {platform::kErrorDirNotEmpty, ENOTEMPTY},
      {platform::kErrorDiskFull, ENOSPC},          {platform::kErrorNotEnoughMemory, ENOMEM},
      {platform::kErrorTooManyOpenFiles, EMFILE},  {platform::kErrorInvalidHandle, EBADF},
      {platform::kErrorInvalidParameter, EINVAL},  {platform::kErrorFilenameExcedRange, ENAMETOOLONG},
      {platform::kErrorCantResolveFilename, ELOOP}, {platform::kErrorBusy, EBUSY},
      {platform::kErrorSharingViolation, ETXTBSY}, {platform::kErrorReadFault, EIO},
      {platform::kErrorNotSupported, ENOSYS},      {platform::kErrorBadExeFormat, ENOEXEC},
  };
  const int code = platform::LastError();
  for (const Errno& entry : kErrnos) {
    if (entry.code == code) return std::strerror(entry.error);
  }
#endif
  std::string text = WideToUtf8(platform::SystemErrorText(platform::LastError()));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "unknown error" : text;
}

// A path for messages, in UTF-8.
inline std::string ShownPath(const std::filesystem::path& path) { return path.u8string(); }

}  // namespace sfxpkg
