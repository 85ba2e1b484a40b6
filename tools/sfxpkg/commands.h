// sfxpkg's commands, each run with its own arguments.
#pragma once

#include <string>
#include <vector>

namespace sfxpkg {

// Each takes the arguments after its command's name and returns the exit status.
int RunBuild(const std::vector<std::string>& arguments);
int RunInspect(const std::vector<std::string>& arguments);
int RunVerify(const std::vector<std::string>& arguments);
int RunExtract(const std::vector<std::string>& arguments);

// The whole program: arguments after the program's own name, in UTF-8.
int RunSfxpkg(const std::vector<std::string>& arguments);

}  // namespace sfxpkg
