// sfxpkg's command dispatch and its help.
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

Run 'sfxpkg COMMAND --help' for a command's options.
Exit status: 0 on success, 1 on a bad package, 2 on a wrong command line.
)";

}  // namespace

int RunSfxpkg(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    WriteStandardError(kOverview);
    return kExitBadUsage;
  }
  const std::string& command = arguments[0];
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (command == "build") return RunBuild(rest);
  if (command == "inspect") return RunInspect(rest);
  if (command == "verify") return RunVerify(rest);
  if (command == "extract") return RunExtract(rest);
  if (command == "--help" || command == "-h" || command == "help") {
    WriteStandardOutput(kOverview);
    return kExitSuccess;
  }
  WriteStandardError("sfxpkg: unknown command '" + command + "'\nTry 'sfxpkg --help'.\n");
  return kExitBadUsage;
}

}  // namespace sfxpkg
