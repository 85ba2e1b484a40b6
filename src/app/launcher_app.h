// The application object whose InitInstance is the whole run.
#pragma once

#include "app/run_outcome.h"
#include "framework/afxwin.h"

namespace app {

// The launcher: one run from the version gate to the clean-up, inside InitInstance.
class LauncherApp : public CWinApp {
 public:
  LauncherApp() : CWinApp(nullptr) {}
  // Carries out the whole run; always returns false, so that the process ends
  // with ExitInstance's status.
  bool InitInstance() override;
  // The run's outcome as the process exit status (app/unattended.h).
  int ExitInstance() override;

 private:
  // Ends the run with outcome: shows the box it calls for and keeps it for the exit status.
  bool Finish(StepOutcome outcome);

  StepOutcome outcome_;
};

}  // namespace app
