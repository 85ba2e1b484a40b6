// sfxpkg's exit statuses.
#pragma once

namespace sfxpkg {

// What every command returns to the shell.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitBadPackage = 1,  // the package (or, for build, its inputs) cannot make a working package
  kExitBadUsage = 2,    // the command line itself is wrong
};

}  // namespace sfxpkg
