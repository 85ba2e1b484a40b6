// Exits with the Windows version the system reports to it: platform identifier,
// major and minor version as 0x00PPMMmm. It carries the launcher's manifest, so it
// is told what the launcher is told.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  OSVERSIONINFOW info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return -1;
  return static_cast<int>((info.dwPlatformId & 0xFF) << 16 | (info.dwMajorVersion & 0xFF) << 8 |
                          (info.dwMinorVersion & 0xFF));
}
