// The trailer's text fields as the launcher on a target machine sees them. Without
// a code page this machine's own conversion is used, the one the launcher makes
// when it runs here.
#pragma once

#include <optional>
#include <string>

#include "code_page.h"

namespace sfxpkg {

struct LauncherPassword {
  std::optional<std::string> bytes;  // what the launcher hands the archive library
  std::string problem;               // why there are none
};

// The password field's bytes after the launcher's round trip through wide text.
LauncherPassword PasswordAsLauncherUsesIt(const std::string& field, const std::optional<CodePage>& codePage);

// A field's text in UTF-8, for showing.
std::string FieldText(const std::string& field, const std::optional<CodePage>& codePage);

}  // namespace sfxpkg
