// Numbers as text without the C runtime's formatting, which would bring locale
// functions that Windows XP's msvcrt.dll lacks.
#include "platform/platform.h"

namespace platform {

std::wstring Decimal(unsigned long n) {
  std::wstring digits;
  do {
    digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + n % 10));
    n /= 10;
  } while (n > 0);
  return digits;
}

}  // namespace platform
