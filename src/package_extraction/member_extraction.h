// Extracting one named member of the run's archive under a new name.
#pragma once

#include "package_extraction/archive_access.h"
#include "unzip.h"

namespace package {

// One member of the archive extracted into outputFolder under newName (under its
// own archive name, folders included, when newName is none). 0 on
// success; a Windows error code otherwise, after a "Fatal error" box for every
// failure but a missing member (2) and a missing archive (1603).
int ExtractMember(ArchiveHandle* handle, const wchar_t* outputFolder, const wchar_t* memberName,
                  const wchar_t* newName, const wchar_t* password);

// Extracts the member the archive is positioned on into outputFolder (absolute,
// ending in a separator) under newName, or under its own archive name when none.
int ExtractCurrentMember(unzFile archive, const char* outputFolder, const char* newName, const char* password);

}  // namespace package
