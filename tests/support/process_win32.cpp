#include <windows.h>

#include "platform/platform.h"
#include "support/process.h"

namespace testsupport {
namespace {

// A copy of this process's environment with the given changes, as CreateProcessW takes it.
std::wstring EnvironmentBlock(const std::map<std::string, std::wstring>& changes) {
  std::map<std::wstring, std::wstring> variables;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* p = strings; *p != L'\0'; p += wcslen(p) + 1) {
    const std::wstring entry = p;
    const size_t equals = entry.find(L'=', 1);  // names like "=C:" start with '='
    variables[entry.substr(0, equals)] = equals == std::wstring::npos ? L"" : entry.substr(equals + 1);
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : changes) {
    const std::wstring wideName(name.begin(), name.end());
    for (auto it = variables.begin(); it != variables.end();) {
      it = _wcsicmp(it->first.c_str(), wideName.c_str()) == 0 ? variables.erase(it) : std::next(it);
    }
    if (!value.empty()) variables[wideName] = value;
  }
  std::wstring block;
  for (const auto& [name, value] : variables) block += name + L"=" + value + L'\0';
  block += L'\0';
  return block;
}

}  // namespace

ProgramResult RunProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments,
                         const std::map<std::string, std::wstring>& environment) {
  ProgramResult result;
  std::wstring commandLine = platform::QuoteArgument(program.wstring());
  for (const auto& argument : arguments) commandLine += L" " + platform::QuoteArgument(argument);
  std::wstring block = EnvironmentBlock(environment);

  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (!CreateProcessW(program.wstring().c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, &block[0], nullptr, &startup, &process)) {
    return result;
  }
  result.started = true;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  result.exitCode = code;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

}  // namespace testsupport
