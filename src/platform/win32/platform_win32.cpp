// The program, its arguments, folders, files and text through the Win32 API.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/utf8.h"

namespace platform {

const wchar_t kPathSeparator = L'\\';
const bool kExitStatusHoldsErrorCodes = true;

bool UniqueHandle::Close() {
  if (value_ == kNone) return true;
  const bool closed = CloseHandle(reinterpret_cast<HANDLE>(value_)) != FALSE;
  value_ = kNone;
  return closed;
}

OsVersion QueryOsVersion() {
  OSVERSIONINFOW info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;  // 276 bytes
  // A failed query leaves the record zeroed, which reads as the oldest system.
  GetVersionExW(&info);
  return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

std::wstring ModuleFileName() {
  // A path that fills the buffer may have been cut short: try a larger one, up to
  // the longest path the system has.
  constexpr DWORD kLongestPath = 32768;
  std::wstring path;
  for (DWORD size = MAX_PATH; size <= kLongestPath; size *= 2) {
    path.assign(size, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], size);
    if (length == 0) return std::wstring();
    if (length < size) {
      path.resize(length);
      return path;
    }
  }
  return std::wstring();
}

std::vector<std::wstring> CommandLineArguments() {
  std::vector<std::wstring> arguments;
  for (int i = 0; i < __argc; ++i) arguments.emplace_back(__wargv[i] != nullptr ? __wargv[i] : L"");
  return arguments;
}

bool IsPathArgument(const std::wstring&) { return false; }

std::wstring CommandLine() {
  const wchar_t* commandLine = GetCommandLineW();
  return commandLine != nullptr ? commandLine : L"";
}

PathParts SplitPath(const std::wstring& path) {
  // As _wsplitpath splits, without its length limits.
  PathParts parts;
  size_t rest = 0;
  if (path.size() >= 2 && path[1] == L':') {
    parts.drive = path.substr(0, 2);
    rest = 2;
  }
  const size_t separator = path.find_last_of(L"\\/");
  const size_t nameStart = separator == std::wstring::npos || separator < rest ? rest : separator + 1;
  parts.directory = path.substr(rest, nameStart - rest);
  const std::wstring name = path.substr(nameStart);
  const size_t dot = name.rfind(L'.');
  parts.fileName = dot == std::wstring::npos ? name : name.substr(0, dot);
  parts.extension = dot == std::wstring::npos ? std::wstring() : name.substr(dot);
  return parts;
}

std::wstring TempDirectory() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length == 0 || length > MAX_PATH) return std::wstring();
  return std::wstring(buffer, length);
}

namespace {

// The process's user as an SID string, and whether the process runs elevated or as
// SYSTEM; false when the token cannot be read.
bool ReadProcessUser(std::wstring& sid, bool& elevatedOrSystem, bool& integrityLevels) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  const UniqueHandle held(reinterpret_cast<intptr_t>(token));
  union {
    TOKEN_USER user;
    BYTE bytes[256];
  } user;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, &user, sizeof user, &size)) return false;
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(user.user.User.Sid, &text)) return false;
  sid = text;
  LocalFree(text);
  // Windows before Vista has no elevation (nor its token class, 20): an
  // administrator's process has it all.
  constexpr auto kTokenElevation = static_cast<TOKEN_INFORMATION_CLASS>(20);
  struct {
    DWORD TokenIsElevated;
  } elevation{};
  BOOL administrator = FALSE;
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof administrators;
  integrityLevels = GetTokenInformation(token, kTokenElevation, &elevation, sizeof elevation, &size) != FALSE;
  const bool elevated =
      integrityLevels
          ? elevation.TokenIsElevated != 0
          : CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) &&
                CheckTokenMembership(nullptr, administrators, &administrator) && administrator;
  elevatedOrSystem = elevated || sid == L"S-1-5-18";
  return true;
}

}  // namespace

bool CreateFolder(const std::wstring& path) {
  std::wstring sid;
  bool elevatedOrSystem = false;
  bool integrityLevels = false;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // Without its own DACL the folder would take the temporary directory's entries:
  // better none than that.
  if (!ReadProcessUser(sid, elevatedOrSystem, integrityLevels) ||
      !ConvertStringSecurityDescriptorToSecurityDescriptorW(
          PrivateFolderSddl(sid, elevatedOrSystem, integrityLevels).c_str(),
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
  const bool created = CreateDirectoryW(path.c_str(), &attributes) != FALSE;
  const DWORD error = GetLastError();
  LocalFree(descriptor);
  ::SetLastError(error);
  return created;
}
bool RemoveFolder(const std::wstring& path) { return RemoveDirectoryW(path.c_str()) != FALSE; }
bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != FALSE; }
bool SetAttributesNormal(const std::wstring& path) {
  return SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}
bool PathExists(const std::wstring& path) { return _waccess(path.c_str(), 0) == 0; }

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
  // The folders above it, from the full path: the shell creates no relative one.
  std::vector<wchar_t> full(32768);
  const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length == 0 || length >= full.size()) return false;
  const PathParts parts = SplitPath(full.data());
  const std::wstring folder = parts.drive + parts.directory;
  if (!PathExists(folder)) SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);  // the open tells
  HANDLE file = CreateFileW(full.data(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool wrote = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
                     written == bytes.size();
  return CloseHandle(file) != FALSE && wrote;
}

bool ReadOnlyFile::Open(const std::wstring& path) {
  Close();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = UniqueHandle(reinterpret_cast<intptr_t>(file));
  return true;
}

bool ReadOnlyFile::OpenRunningProgram() {
  Close();
  HANDLE file = CreateFileW(ModuleFileName().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  file_ = UniqueHandle(reinterpret_cast<intptr_t>(file));
  return true;
}

bool ReadOnlyFile::OpenRegular(const std::wstring& path) {
  if (!Open(path)) return false;
  // A named pipe, a console or another device is no file to read a package from.
  if (GetFileType(reinterpret_cast<HANDLE>(file_.Get())) != FILE_TYPE_DISK) {
    Close();
    ::SetLastError(kErrorBadFileType);
    return false;
  }
  return true;
}

std::optional<uint64_t> ReadOnlyFile::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(reinterpret_cast<HANDLE>(file_.Get()), &size)) return std::nullopt;
  return static_cast<uint64_t>(size.QuadPart);
}

size_t ReadOnlyFile::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (!IsOpen()) return 0;
  ++reads_;
  // The file pointer, not an OVERLAPPED offset: a read given an OVERLAPPED is also
  // posted to the handle's completion port, which under Wine is a call to its
  // server after every read, port or none.
  const HANDLE file = reinterpret_cast<HANDLE>(file_.Get());
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) return 0;
  // ReadFile may deliver less than asked (a pipe, a network share): read on.
  size_t total = 0;
  while (total < count) {
    DWORD got = 0;
    if (!ReadFile(file, static_cast<char*>(buffer) + total, static_cast<DWORD>(count - total), &got, nullptr) ||
        got == 0) {
      break;
    }
    total += got;
  }
  return total;
}

int LastError() { return static_cast<int>(GetLastError()); }
void SetLastError(int code) { ::SetLastError(static_cast<DWORD>(code)); }

std::wstring SystemErrorText(int code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                                      static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = (length != 0 && text != nullptr) ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  return result;
}

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int length = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string result(static_cast<size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &result[0], length, nullptr,
                        nullptr);
  }
  return result;
}

std::optional<std::string> ToAnsiExact(const std::wstring& text) {
  if (text.empty()) return std::string();
  // A UTF-8 code page holds every character, and takes neither flag nor report.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, flags, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, utf8 ? nullptr : &usedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string result(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, text.c_str(), static_cast<int>(text.size()), &result[0], length, nullptr,
                          utf8 ? nullptr : &usedDefault) != length ||
      usedDefault) {
    return std::nullopt;
  }
  return result;
}

std::wstring ShortPath(const std::wstring& path) {
  const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return std::wstring();
  std::wstring shortPath(needed, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), &shortPath[0], needed);
  if (length == 0 || length >= needed) return std::wstring();
  shortPath.resize(length);
  return shortPath;
}

std::wstring FromAnsi(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &result[0], length);
  }
  return result;
}

void SendToDebugger(const MessageBoxRequest& request) {
  const std::wstring debugText = (request.caption ? *request.caption : L"Error") + L": " + request.text + L"\n";
  OutputDebugStringW(debugText.c_str());
}

std::string LocalTimeText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const unsigned fields[] = {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
  const char separators[] = "-- ::";  // after each field but the last
  std::string text;
  for (size_t i = 0; i < 6; ++i) {
    const std::string digits = WideToUtf8(Decimal(fields[i]));
    text += std::string(digits.size() < 2 ? 2 - digits.size() : 0, '0') + digits;
    if (i < 5) text.push_back(separators[i]);
  }
  return text;
}

int SystemMessageBox(const MessageBoxRequest& request) {
  // Also for a debugger (DebugView, Wine's debug output): where no one sees the
  // screen, an administrator can still read what the box said.
  SendToDebugger(request);
  return MessageBoxW(nullptr, request.text.c_str(), request.caption ? request.caption->c_str() : nullptr,
                     request.style);
}

}  // namespace platform
