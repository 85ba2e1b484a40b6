// The run's working folder: chosen among KIVOTemp0 to KIVOTemp199 in the temporary
// directory, created, and held against other launchers for the run.
#pragma once
#include <string>

#include "app/run_outcome.h"
#include "platform/platform.h"

namespace app {

// Candidate names are KIVOTemp0 to KIVOTemp199 in the temporary directory.
inline constexpr long kWorkingFolderCandidates = 200;

// Chooses, creates and holds the run's folder: the first candidate that does not
// exist once an empty leftover of the user's own has been removed. Candidates of
// other users are passed over; when they took names and none is left, the folder
// gets a fresh name of its own ("KIVOTemp-" and random characters) rather than
// the run ending. A temporary directory in which others could swap the folder is
// refused. Every failure, all names taken by the user's own folders and files
// included, leaves nothing behind and calls for the privileges message; the folder
// always ends in the path separator.
StepOutcome ProvideWorkingFolder(std::wstring& folder, platform::FolderInUse& inUse);

// That the held folder is still the user's private folder under its name, just
// before the engine is started there; otherwise the privileges message.
StepOutcome CheckWorkingFolder(const platform::FolderInUse& inUse);

}  // namespace app
