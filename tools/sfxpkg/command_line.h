// A command's command line, with what every command takes besides its own options:
// -q, -v, --help and --codepage.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "arguments.h"
#include "code_page.h"
#include "command_messages.h"

namespace sfxpkg {

struct CommandLine {
  ParsedArguments parsed;
  std::optional<CodePage> codePage;  // --codepage, where given
};

// Parses arguments with the command's own options and the common ones, and acts on
// the common ones: --help writes help, -q and -v set the messages' verbosity. The
// exit status where the command ends here (help written, or a wrong command line
// whose reason has been said); none where it goes on.
std::optional<int> ParseCommandLine(const std::vector<std::string>& arguments, std::vector<OptionSpec> options,
                                    const char* help, CommandMessages& messages, CommandLine& line);

}  // namespace sfxpkg
