// Extracting one named member of the run's archive under a new name.
#pragma once

#include "package/bounded_archive.h"
#include "platform/platform.h"

namespace package {

// One member of the archive extracted into outputFolder under newName (under its
// own archive name, folders included, when newName is none). 0 on success; a
// Windows error code otherwise, after a "Fatal error" box for every failure but a
// missing member (2) and an archive that is not open (1603). With held, the file
// written goes from its writer straight into held (HeldFiles::Keep); one that cannot
// be kept so is not extracted.
int ExtractMember(Archive& archive, const wchar_t* outputFolder, const wchar_t* memberName, const wchar_t* newName,
                  const wchar_t* password, platform::HeldFiles* held = nullptr);

}  // namespace package
