#include <windows.h>

#include "framework/afxwin.h"

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, from the SDKs that know SetDefaultDllDirectories.
constexpr DWORD kSearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

// A package usually runs from a Downloads folder, where anyone's web page may have
// left a DLL named like one the system loads on demand (for the first message box,
// say). Libraries are taken from the system folder only, where the system allows
// that: Windows 8, and Vista and 7 with their loader update. SetDllDirectoryW(L"")
// (XP SP1 on) at least drops the current folder. Both are looked up, so that a
// system without them still starts.
void RestrictLibrarySearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr) setDefault(kSearchSystem32);
  auto setDirectory =
      reinterpret_cast<SetDllDirectoryFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
  if (setDirectory != nullptr) setDirectory(L"");
}

struct LibrarySearchRestriction {
  LibrarySearchRestriction() { RestrictLibrarySearch(); }
};
// Constructed first of all static objects, before the application object.
__attribute__((init_priority(101))) const LibrarySearchRestriction g_librarySearchRestriction;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return AfxWinMain(); }
