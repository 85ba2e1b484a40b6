// The trailer reader on arbitrary file tails: it must never read outside the tail,
// and whatever it accepts must lie inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "package/package_trailer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto layout = package::ParseTrailer(data, size, size);
  if (layout) {
    const uint64_t trailerSize =
        layout->markerDistance + package::kTrailerWordsSize + layout->passwordLength + layout->secondLength;
    if (trailerSize > size || layout->trailerOffset + trailerSize != size) std::abort();
    if (layout->passwordField.size() > package::kMaxFieldLength ||
        layout->secondFieldText.size() > package::kMaxFieldLength) {
      std::abort();
    }
    if (layout->markerDistance > package::kScanWindowSize) std::abort();
  }
  return 0;
}
