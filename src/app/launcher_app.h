// The application object whose InitInstance is the whole run.
#pragma once

#include "framework/afxwin.h"

namespace app {

// The launcher: one run from the version gate to the clean-up, inside InitInstance.
class LauncherApp : public CWinApp {
 public:
  LauncherApp() : CWinApp(nullptr) {}
  // Carries out the whole run; always returns false, so the process ends with 0.
  bool InitInstance() override;
};

}  // namespace app
