#include <windows.h>

#include "platform/platform.h"
#include "support/captured_program.h"
#include "support/scratch_folder.h"

namespace testsupport {
namespace {

std::wstring Wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], length);
  return wide;
}

// A file the child may write to as one of its standard streams.
HANDLE InheritableFile(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &security, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

CapturedRun RunCaptured(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  CapturedRun run;
  ScratchFolder streams;
  std::wstring commandLine = platform::QuoteArgument(program.wstring());
  for (const std::string& argument : arguments) commandLine += L" " + platform::QuoteArgument(Wide(argument));
  HANDLE out = InheritableFile(streams.Path() / "out");
  HANDLE err = InheritableFile(streams.Path() / "err");

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  const BOOL created = CreateProcessW(program.wstring().c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(out);
  CloseHandle(err);
  if (!created) return run;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  run.started = true;
  run.exitCode = code;
  run.standardOutput = ReadFileBytes(streams.Path() / "out");
  run.standardError = ReadFileBytes(streams.Path() / "err");
  return run;
}

}  // namespace testsupport
