// The one application object of the launcher program.
#include "app/launcher_app.h"

// The one application object; the framework's start-up finds and runs it.
app::LauncherApp theApp;
