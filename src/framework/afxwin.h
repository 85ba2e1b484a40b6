// The few pieces of the Windows application framework that the launcher relies on:
// the application object with its start-up and command-line feeder, the
// command-line collector's base, and the framework's message box.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

class CCommandLineInfo {
 public:
  virtual ~CCommandLineInfo();
  // Called once per argument, in order. param has its switch character removed
  // when isFlag is true.
  virtual void ParseParam(const wchar_t* param, bool isFlag, bool isLast);
};

class CWinApp {
 public:
  // With no name, the application is named after its program file.
  explicit CWinApp(const wchar_t* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The application's work. Returning false ends the program without a message loop.
  virtual bool InitInstance();
  virtual int Run();
  virtual int ExitInstance();

  // Hands every argument after the program path to info: an argument that starts
  // with "/" or "-" is a flag with that one character removed, except where the
  // platform says it is a path.
  void ParseCommandLine(CCommandLineInfo& info) const;

  // Title of the framework's message boxes.
  const std::wstring& AppName() const { return appName_; }

 private:
  std::wstring appName_;
};

// The one application object, or none before it is constructed.
CWinApp* AfxGetApp();

// Framework start-up: runs the application object and returns the process exit status.
int AfxWinMain();

// Hands every argument after the program path (arguments[0]) to info, as
// CWinApp::ParseCommandLine does with the process's own arguments.
void AfxParseArguments(const std::vector<std::wstring>& arguments, CCommandLineInfo& info);

// A message box titled with the application's name: the box, and showing it.
platform::MessageBoxRequest AfxMessageBoxRequest(const wchar_t* text, unsigned type);
int AfxMessageBox(const wchar_t* text, unsigned type = 0, unsigned helpId = 0);
