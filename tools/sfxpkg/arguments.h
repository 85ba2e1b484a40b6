// The command line of one sfxpkg command: options (with or without a value, in the
// forms "--name value" and "--name=value") and plain arguments.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace sfxpkg {

struct OptionSpec {
  std::string name;         // "--output"
  std::string shortName;    // "-o", or empty
  bool takesValue = false;
};

class ParsedArguments {
 public:
  bool Has(const std::string& name) const { return flags_.count(name) > 0 || values_.count(name) > 0; }
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Plain() const { return plain_; }

 private:
  friend std::optional<std::string> ParseArguments(const std::vector<std::string>&, const std::vector<OptionSpec>&,
                                                   ParsedArguments&);
  std::set<std::string> flags_;
  std::map<std::string, std::string> values_;
  std::vector<std::string> plain_;
};

// Fills parsed from arguments; the reason when they do not fit options. "--help" and
// "-h" are always known. An option given twice is refused, and after "--" every
// argument is plain.
std::optional<std::string> ParseArguments(const std::vector<std::string>& arguments,
                                          const std::vector<OptionSpec>& options, ParsedArguments& parsed);

}  // namespace sfxpkg
