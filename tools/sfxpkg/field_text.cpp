// Trailer fields as text and as the bytes the launcher reads, in a given code page.
#include "field_text.h"

#include "platform/platform.h"
#include "utf8_text.h"

namespace sfxpkg {

LauncherPassword PasswordAsLauncherUsesIt(const std::string& field, const std::optional<CodePage>& codePage) {
  LauncherPassword password;
  if (codePage) {
    const std::optional<std::string> text = DecodeFromCodePage(field, *codePage);
    if (text) password.bytes = EncodeInCodePage(*text, *codePage);
    if (!password.bytes) password.problem = "the password's bytes are no text in code page " + codePage->name;
  } else {
    password.bytes = platform::ToAnsi(platform::FromAnsi(field));
  }
  // The launcher refuses a password whose 8-bit form needs more than 259 bytes.
  if (password.bytes && password.bytes->size() > platform::kMaxPathBytes - 1) {
    password.bytes.reset();
    password.problem = "the password needs more than 259 bytes in the code page, more than the launcher takes";
  }
  return password;
}

std::string FieldText(const std::string& field, const std::optional<CodePage>& codePage) {
  if (codePage) {
    if (const std::optional<std::string> text = DecodeFromCodePage(field, *codePage)) return *text;
  }
  return WideToUtf8(platform::FromAnsi(field));
}

}  // namespace sfxpkg
