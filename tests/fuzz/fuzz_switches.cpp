// The switch table and the settings writer on arbitrary argument lists (arguments
// separated by zero bytes). The file must always be well formed: the section, the
// launcher path first, the always-written keys.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "handoff/launcher_command_line_info.h"
#include "handoff/settings_file.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path settings =
      fs::temp_directory_path() / ("sfx-fuzz-settings-" + std::to_string(getpid()) + ".cfg");

  std::vector<std::wstring> arguments;
  std::string current;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0) {
      arguments.push_back(platform::FromAnsi(current));
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }

  handoff::LauncherCommandLineInfo switches;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    const bool isFlag = !argument.empty() && (argument[0] == L'/' || argument[0] == L'-');
    switches.ParseParam(argument.c_str() + (isFlag ? 1 : 0), isFlag, i + 1 == arguments.size());
  }
  for (const auto& [name, value] : switches.Switches()) {
    for (const wchar_t ch : name) {
      if (ch >= L'A' && ch <= L'Z') std::abort();  // keys are stored lower-cased
    }
  }

  fs::remove(settings);
  handoff::WriteSettingsFile(settings.wstring(), L"/launcher/Package.exe", switches);
  std::ifstream in(settings, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (text.rfind("[Main]\r\nXParam1=/launcher/Package.exe\r\n", 0) != 0) std::abort();
  // A value may hold a line break and so a line of its own that the profile writer
  // later takes for a key (as Windows' does, without regard to case); the keys that
  // are always written are there all the same.
  std::string folded = text;
  for (char& ch : folded) ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
  for (const char* key : {"\nshell_debug=", "\nshell_uninstall=", "\nshell_repair=", "\nshell_zbt_updatetest="}) {
    if (folded.find(key) == std::string::npos) std::abort();
  }
  return 0;
}
