// The application object, its start-up, the command-line feeder and the framework's box.
#include "framework/afxwin.h"

#include <vector>

#include "platform/platform.h"

namespace {
CWinApp* g_app = nullptr;

std::wstring NameFromProgramFile() {
  return platform::SplitPath(platform::ModuleFileName()).fileName;
}
}  // namespace

CCommandLineInfo::~CCommandLineInfo() = default;

void CCommandLineInfo::ParseParam(const wchar_t*, bool, bool) {}

CWinApp::CWinApp(const wchar_t* appName)
    : appName_(appName != nullptr ? appName : NameFromProgramFile()) {
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

bool CWinApp::InitInstance() { return true; }

// There are no windows, so there is no message to pump.
int CWinApp::Run() { return ExitInstance(); }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::ParseCommandLine(CCommandLineInfo& info) const {
  AfxParseArguments(platform::CommandLineArguments(), info);
}

void AfxParseArguments(const std::vector<std::wstring>& arguments, CCommandLineInfo& info) {
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    const bool isFlag =
        !argument.empty() && (argument[0] == L'/' || argument[0] == L'-') && !platform::IsPathArgument(argument);
    info.ParseParam(argument.c_str() + (isFlag ? 1 : 0), isFlag, i + 1 == arguments.size());
  }
}

CWinApp* AfxGetApp() { return g_app; }

int AfxWinMain() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return -1;
  if (!app->InitInstance()) return app->ExitInstance();
  return app->Run();
}

platform::MessageBoxRequest AfxMessageBoxRequest(const wchar_t* text, unsigned type) {
  platform::MessageBoxRequest request;
  request.text = text != nullptr ? text : L"";
  if (CWinApp* app = AfxGetApp()) request.caption = app->AppName();
  request.style = type;
  return request;
}

int AfxMessageBox(const wchar_t* text, unsigned type, unsigned /*helpId*/) {
  return platform::ShowMessageBox(AfxMessageBoxRequest(text, type));
}
