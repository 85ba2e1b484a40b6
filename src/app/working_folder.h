#pragma once
#include <string>

namespace app {

// Candidate names are KIVOTemp0 to KIVOTemp199 in the temporary directory.
inline constexpr long kWorkingFolderCandidates = 200;

// Chooses this run's working folder: the first candidate that does not exist once
// an empty leftover of that name has been removed. When all are taken, the
// temporary directory itself, which the creation step refuses. Always ends in
// the path separator; creates nothing and reports nothing.
std::wstring AllocateWorkingFolder();

// Creates the chosen folder. On failure shows the privileges message and returns false.
bool CreateWorkingFolder(const std::wstring& folder);

}  // namespace app
