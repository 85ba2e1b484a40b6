// UTF-8 checks and conversions for sfxpkg's arguments and messages.
#include "utf8_text.h"

namespace sfxpkg {

bool IsAscii(const std::string& text) {
  for (const char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  }
  return true;
}

}  // namespace sfxpkg
