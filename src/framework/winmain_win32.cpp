// The Windows program's entry point: the library search is restricted before any
// other static object is built, then the framework runs the application object.
#include <windows.h>

#include "framework/afxwin.h"
#include "platform/win32/library_search_win32.h"

namespace {

// A package usually runs from a Downloads folder, where anyone's web page may have
// left a DLL named like one the system loads on demand (for the first message box,
// say): the search must be restricted before anything could load one.
struct LibrarySearchRestriction {
  LibrarySearchRestriction() { platform::RestrictLibrarySearch(); }
};
// Constructed first of all static objects, before the application object.
__attribute__((init_priority(101))) const LibrarySearchRestriction g_librarySearchRestriction;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return AfxWinMain(); }
