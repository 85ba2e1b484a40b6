// Splitting a command's arguments into options and plain arguments.
#include "arguments.h"

namespace sfxpkg {

std::optional<std::string> ParsedArguments::Value(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> ParseArguments(const std::vector<std::string>& arguments,
                                          const std::vector<OptionSpec>& options, ParsedArguments& parsed) {
  parsed = ParsedArguments();
  std::vector<OptionSpec> known = options;
  known.push_back({"--help", "-h", false});
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      parsed.plain_.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = argument.rfind("--", 0) == 0 ? argument.find('=') : std::string::npos;
    const std::string name = argument.substr(0, equals);
    const OptionSpec* option = nullptr;
    for (const OptionSpec& candidate : known) {
      if (name == candidate.name || (!candidate.shortName.empty() && name == candidate.shortName)) option = &candidate;
    }
    if (option == nullptr) return "unknown option " + name;
    if (parsed.Has(option->name)) return "option " + option->name + " is given twice";
    if (!option->takesValue) {
      if (equals != std::string::npos) return "option " + option->name + " takes no value";
      parsed.flags_.insert(option->name);
      continue;
    }
    if (equals != std::string::npos) {
      parsed.values_[option->name] = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      parsed.values_[option->name] = arguments[++i];
    } else {
      return "option " + option->name + " needs a value";
    }
  }
  return std::nullopt;
}

}  // namespace sfxpkg
