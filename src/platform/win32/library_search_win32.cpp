// Restricting the library search, looked up at run time so that XP still starts.
#include "platform/win32/library_search_win32.h"

#include <windows.h>

namespace platform {
namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32, from the SDKs that know SetDefaultDllDirectories.
constexpr DWORD kSearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

}  // namespace

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

}  // namespace platform
