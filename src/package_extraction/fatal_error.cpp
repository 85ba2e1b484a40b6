// The fatal-error box: a message and the system's text for the last error.
#include "package_extraction/fatal_error.h"

#include <string>

#include "framework/afxwin.h"
#include "package/user_texts.h"
#include "platform/platform.h"

namespace package {

int ReportFatalError(const wchar_t* message, int code) {
  int lastError = platform::LastError();
  if (lastError == 0) lastError = platform::kErrorInvalidFunction;
  const std::wstring text = std::wstring(texts::kFatalError) + message + L" " + platform::SystemErrorText(lastError);
  AfxMessageBox(text.c_str(), platform::kMbOk | platform::kMbIconHand, 0);
  return code;
}

int ReportFatalErrorOf(const wchar_t* message, int code) {
  platform::SetLastError(code);
  return ReportFatalError(message, code);
}

}  // namespace package
