// The run's working folder: chosen among KIVOTemp0 to KIVOTemp199 in the temporary
// directory, created, and held against other launchers for the run.
#pragma once
#include <string>

#include "app/run_outcome.h"
#include "platform/platform.h"

namespace app {

// Candidate names are KIVOTemp0 to KIVOTemp199 in the temporary directory.
inline constexpr long kWorkingFolderCandidates = 200;

// Chooses this run's working folder: the first candidate that does not exist once
// an empty leftover of that name has been removed. When all are taken, the
// temporary directory itself, which the creation step refuses. Always ends in
// the path separator; creates nothing and reports nothing.
std::wstring AllocateWorkingFolder();

// Creates the chosen folder. A failure calls for the privileges message.
StepOutcome CreateWorkingFolder(const std::wstring& folder);

// Chooses and creates the run's folder while other launchers of the user wait, and
// holds it in use, so that none of them takes it for an empty leftover. When it
// cannot be created or held, nothing is left behind and the failure calls for the
// privileges message.
StepOutcome ProvideWorkingFolder(std::wstring& folder, platform::FolderInUse& inUse);

}  // namespace app
