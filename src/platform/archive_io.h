// The system's file functions for the zip library: creating a new archive (the
// launcher reads archives through platform::ReadOnlyFile, package/bounded_archive.h).
#pragma once

#include <string>

#include "ioapi.h"
#include "zip.h"

namespace platform {

// Creates a new zip archive at path, replacing any file of that name (the package
// author's tools write archives through it).
zipFile CreateZipArchive(const std::wstring& path);

}  // namespace platform
