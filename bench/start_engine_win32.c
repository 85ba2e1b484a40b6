/* The benchmark's do-nothing launcher: starts the setup engine that its command
 * line names through the shell, as launcher.exe starts its engine (ShellExecuteExW,
 * "open", the engine's folder, shown normally), waits for it and ends with its exit
 * code. Started with wine, it costs what any launcher costs under Wine besides its
 * own work: its start, the set-up of user32 and shell32 (about 35 ms in Wine; a
 * program that imports only kernel32 skips it), and the engine's start as a second
 * Wine process. */
#include <windows.h>
#include <shellapi.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetFullPathNameW(argv[1], MAX_PATH + 1, folder, NULL);
  if (length == 0 || length > MAX_PATH) return 2;
  wchar_t* name = wcsrchr(folder, L'\\');
  if (name != NULL) *name = L'\0';

  SHELLEXECUTEINFOW info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = L"open";
  info.lpFile = argv[1];
  info.lpDirectory = folder;
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info) || info.hProcess == NULL) return 3;
  DWORD code = 4;
  if (WaitForSingleObject(info.hProcess, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(info.hProcess, &code)) code = 4;
  CloseHandle(info.hProcess);
  return (int)code;
}
