// The one application object of the launcher program, and its identity.
#include "app/launcher_app.h"

// The one application object; the framework's start-up finds and runs it.
app::LauncherApp theApp;

// What tells sfxpkg that an image is a launcher of this project, and which version:
// it looks for these bytes (launcher.exe also has its version record).
extern const char kLauncherIdentity[];
__attribute__((used)) const char kLauncherIdentity[] = "sfx-launcher launcher " SFX_VERSION;
