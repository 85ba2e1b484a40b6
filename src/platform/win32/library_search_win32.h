// Where Windows looks for the libraries a program loads on demand (Windows only).
#pragma once

namespace platform {

// Takes libraries from the system folder only, where the system allows that
// (Windows 8, and Vista and 7 with their loader update), and at least drops the
// current folder from the search (XP SP1 on). Both calls are looked up at run
// time, so that a system without them still starts.
void RestrictLibrarySearch();

}  // namespace platform
