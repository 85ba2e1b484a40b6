// How a command speaks: one line per message, led by the command's name.
#pragma once

#include <string>

namespace sfxpkg {

// The lines a command writes to standard error, each led by "sfxpkg COMMAND: ".
class CommandMessages {
 public:
  explicit CommandMessages(std::string command) : command_(std::move(command)) {}
  // -q leaves only problems and warnings; -v adds the details of the work.
  void SetVerbosity(bool quiet, bool verbose) {
    quiet_ = quiet;
    verbose_ = verbose && !quiet;
  }
  bool Quiet() const { return quiet_; }
  // With --json, a wrong command line is also told on standard output, as JSON.
  void SetJsonErrors(bool json) { jsonErrors_ = json; }
  const std::string& Command() const { return command_; }

  // A problem or a warning: always said.
  void Line(const std::string& text) const;
  // What was done: not with -q.
  void Info(const std::string& text) const;
  // How it was done: only with -v.
  void Detail(const std::string& text) const;
  // A wrong command line: the reason and where help is (with --json also
  // {"error": reason, "usage": true} on standard output); returns the usage status.
  int Usage(const std::string& text) const;
  // Inputs or a package that cannot work: the reason; returns the bad-package status.
  int Refuse(const std::string& text) const;

 private:
  std::string command_;
  bool quiet_ = false;
  bool verbose_ = false;
  bool jsonErrors_ = false;
};

}  // namespace sfxpkg
