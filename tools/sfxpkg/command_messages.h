// How a command speaks: one line per message, led by the command's name.
#pragma once

#include <string>

namespace sfxpkg {

// The lines a command writes to standard error, each led by "sfxpkg COMMAND: ".
class CommandMessages {
 public:
  explicit CommandMessages(std::string command) : command_(std::move(command)) {}
  void Line(const std::string& text) const;
  // A wrong command line: the reason and where help is; returns the usage status.
  int Usage(const std::string& text) const;
  // Inputs or a package that cannot work: the reason; returns the bad-package status.
  int Refuse(const std::string& text) const;

 private:
  std::string command_;
};

}  // namespace sfxpkg
