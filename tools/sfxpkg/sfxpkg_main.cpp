// sfxpkg's command dispatch and its help.
#include <exception>
#include <string>

#include "commands.h"
#include "console.h"
#include "exit_status.h"

namespace sfxpkg {
namespace {

constexpr char kOverview[] = R"(usage: sfxpkg COMMAND [OPTIONS]

The package author's tool for the self-extracting setup launcher.

Commands:
  build    make a package: the launcher, an archive of the four setup files, the trailer
  inspect  show where the parts of a package lie and what its archive holds
  verify   check, as the launcher would, that a package will run
  extract  unpack the four setup files under the names the launcher gives them

Run 'sfxpkg help COMMAND' (or 'sfxpkg COMMAND --help') for a command's options,
'sfxpkg --version' for the version.
Exit status: 0 on success, 1 on a bad package, 2 on a wrong command line.
)";

using Command = int (*)(const std::vector<std::string>&);

Command CommandNamed(const std::string& name) {
  if (name == "build") return &RunBuild;
  if (name == "inspect") return &RunInspect;
  if (name == "verify") return &RunVerify;
  if (name == "extract") return &RunExtract;
  return nullptr;
}

int Dispatch(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    WriteStandardError(kOverview);
    return kExitBadUsage;
  }
  const std::string& name = arguments[0];
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (const Command command = CommandNamed(name)) return command(rest);
  if (name == "--version" || name == "-V" || name == "version") {
    WriteStandardOutput(std::string("sfxpkg ") + SFX_VERSION + "\n");
    return kExitSuccess;
  }
  if (name == "--help" || name == "-h" || name == "help") {
    if (rest.empty()) {
      WriteStandardOutput(kOverview);
      return kExitSuccess;
    }
    if (const Command command = CommandNamed(rest[0])) return command({"--help"});
    WriteStandardError("sfxpkg: no command '" + rest[0] + "'\nTry 'sfxpkg --help'.\n");
    return kExitBadUsage;
  }
  WriteStandardError("sfxpkg: unknown command '" + name + "'\nTry 'sfxpkg --help'.\n");
  return kExitBadUsage;
}

}  // namespace

int RunSfxpkg(const std::vector<std::string>& arguments) {
  // Whatever goes wrong inside, the author gets a line and a status the help lists.
  try {
    return Dispatch(arguments);
  } catch (const std::exception& error) {
    WriteStandardError(std::string("sfxpkg: ") + error.what() + "\n");
  } catch (...) {
    WriteStandardError("sfxpkg: an unexpected failure\n");
  }
  return kExitBadPackage;
}

}  // namespace sfxpkg
