// The lines a command writes to standard error.
#include "command_messages.h"

#include "console.h"
#include "exit_status.h"

namespace sfxpkg {

void CommandMessages::Line(const std::string& text) const {
  WriteStandardError("sfxpkg " + command_ + ": " + text + "\n");
}

int CommandMessages::Usage(const std::string& text) const {
  Line(text);
  WriteStandardError("Try 'sfxpkg " + command_ + " --help'.\n");
  return kExitBadUsage;
}

int CommandMessages::Refuse(const std::string& text) const {
  Line(text);
  return kExitBadPackage;
}

}  // namespace sfxpkg
