// The system's file functions for the zip library: reading an archive out of a
// file, and creating a new archive.
#pragma once

#include <string>

#include "ioapi.h"
#include "zip.h"

namespace platform {

// Opens the file at path for reading through the system's file functions for the
// zip library (the Win32 wide-path ones on Windows: read-only, other readers let
// in, no writers), which it fills in. The stream, to be used and closed through
// those functions, or none with the last error set.
voidpf OpenArchiveFile(const std::wstring& path, zlib_filefunc64_def& functions);

// Creates a new zip archive at path, replacing any file of that name (the package
// author's tools write archives through it).
zipFile CreateZipArchive(const std::wstring& path);

}  // namespace platform
