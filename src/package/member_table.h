// The four members every package carries and the names the launcher gives them in
// the working folder. The launcher, sfxpkg's build, verify and extract, and the
// clean-up all go by this table.
#pragma once

#include <cstddef>

namespace package {

struct PackageMember {
  const wchar_t* archiveName;  // as stored in the archive
  const wchar_t* fileName;     // in the working folder; none: the package's own file name
};

inline constexpr PackageMember kPackageMembers[] = {
    {L"A0", L"setup.dat"},
    {L"A1", nullptr},  // the setup engine, started under the package's name
    {L"A3", L"Setup_UI.dll"},
    {L"A4", L"Setup_Exp.dll"},
};

}  // namespace package
