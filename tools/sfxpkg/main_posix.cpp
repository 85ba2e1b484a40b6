// sfxpkg's entry point on POSIX.
#include <string>
#include <vector>

#include "commands.h"

int main(int argc, char** argv) {
  // Arguments arrive as the bytes of the user's UTF-8 locale.
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return sfxpkg::RunSfxpkg(arguments);
}
