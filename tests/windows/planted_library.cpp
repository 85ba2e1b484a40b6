// A library planted beside a package under the name of a system library that is
// loaded on demand. If a process ever loads it, it leaves "<its name>.loaded" beside
// itself and refuses to load, so the system's own library is used after all.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t marker[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameW(instance, marker, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    lstrcatW(marker, L".loaded");
    HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
  return FALSE;
}
