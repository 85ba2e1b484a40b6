#pragma once

#include <string>

#include "unzip.h"
#include "zip.h"

namespace platform {

// Opens the zip archive that the file at path holds, through the system's file
// functions (Win32 wide-path ones on Windows): read-only, other readers let in.
// None when the file cannot be opened or holds no usable end record.
unzFile OpenZipArchive(const std::wstring& path);

// Creates a new zip archive at path, replacing any file of that name (the package
// author's tools write archives through it).
zipFile CreateZipArchive(const std::wstring& path);

}  // namespace platform
