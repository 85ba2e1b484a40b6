// The lines a command writes to standard error.
#include "command_messages.h"

#include "console.h"
#include "exit_status.h"
#include "json_writer.h"
#include "utf8_text.h"

namespace sfxpkg {

void CommandMessages::Line(const std::string& text) const {
  // Names and texts from a package reach the terminal as text, never as its controls.
  WriteStandardError("sfxpkg " + command_ + ": " + EscapeControls(text) + "\n");
}

void CommandMessages::Info(const std::string& text) const {
  if (!quiet_) Line(text);
}

void CommandMessages::Detail(const std::string& text) const {
  if (verbose_) Line(text);
}

int CommandMessages::Usage(const std::string& text) const {
  if (jsonErrors_) {
    WriteStandardOutput(JsonWriter().BeginObject().String("error", text).Bool("usage", true).EndObject().Text());
  }
  Line(text);
  WriteStandardError("Try 'sfxpkg " + command_ + " --help'.\n");
  return kExitBadUsage;
}

int CommandMessages::Refuse(const std::string& text) const {
  Line(text);
  return kExitBadPackage;
}

}  // namespace sfxpkg
