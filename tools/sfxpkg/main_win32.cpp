// sfxpkg's entry point on Windows: wide arguments turned into UTF-8.
#include <string>
#include <vector>

#include "commands.h"
#include "utf8_text.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(sfxpkg::WideToUtf8(argv[i]));
  return sfxpkg::RunSfxpkg(arguments);
}
