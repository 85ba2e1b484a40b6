// Converting text to and from a Windows code page with iconv.
#include <iconv.h>

#include <cerrno>

#include "code_page.h"

namespace sfxpkg {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (Ok()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool Ok() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Strict: any byte or character the other side lacks fails the whole text.
  std::optional<std::string> Run(const std::string& input) {
    std::string output;
    char buffer[256];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
      char* out = buffer;
      size_t outLeft = sizeof buffer;
      const size_t done = iconv(handle_, &in, &inLeft, &out, &outLeft);
      output.append(buffer, sizeof buffer - outLeft);
      if (done == static_cast<size_t>(-1) && errno != E2BIG) return std::nullopt;
      // iconv counts characters it replaced in its result: those would not read back.
      if (done != static_cast<size_t>(-1) && done > 0) return std::nullopt;
    }
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(handle_, nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1)) return std::nullopt;
    output.append(buffer, sizeof buffer - outLeft);
    return output;
  }

 private:
  iconv_t handle_;
};

std::string IconvName(const CodePage& codePage) {
  return codePage.number == 65001 ? "UTF-8" : "CP" + std::to_string(codePage.number);
}

}  // namespace

std::optional<std::string> ConvertWithSystem(const std::string& bytes, const CodePage& codePage, bool toCodePage) {
  const std::string name = IconvName(codePage);
  Converter converter(toCodePage ? name.c_str() : "UTF-8", toCodePage ? "UTF-8" : name.c_str());
  if (!converter.Ok()) return std::nullopt;
  return converter.Run(bytes);
}

}  // namespace sfxpkg
