#include "command_line.h"

#include "console.h"
#include "exit_status.h"

namespace sfxpkg {

std::optional<int> ParseCommandLine(const std::vector<std::string>& arguments, std::vector<OptionSpec> options,
                                    const char* help, CommandMessages& messages, CommandLine& line) {
  options.insert(options.end(), {{"--codepage", "", true}, {"--quiet", "-q", false}, {"--verbose", "-v", false}});
  // A command that writes JSON writes it for a wrong command line too, once asked for
  // it: before the parse, which may be what fails.
  bool takesJson = false;
  for (const OptionSpec& option : options) takesJson = takesJson || option.name == "--json";
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (takesJson && argument == "--json") messages.SetJsonErrors(true);
  }
  if (const auto error = ParseArguments(arguments, options, line.parsed)) return messages.Usage(*error);
  if (line.parsed.Has("--help")) {
    WriteStandardOutput(help);
    return kExitSuccess;
  }
  messages.SetVerbosity(line.parsed.Has("--quiet"), line.parsed.Has("--verbose"));
  if (const auto name = line.parsed.Value("--codepage")) {
    line.codePage = ParseCodePage(*name);
    if (!line.codePage) return messages.Usage("--codepage " + *name + " is none of " + kKnownCodePages);
  }
  return std::nullopt;
}

}  // namespace sfxpkg
