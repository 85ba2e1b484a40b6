// The trailer reader on arbitrary file tails, and the image header reader on
// arbitrary file heads: neither may read outside its bytes, and whatever they
// accept must lie inside the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "package/package_trailer.h"
#include "package/signed_image.h"

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
  const auto table = package::CertificateTableOf(data, size, size);
  if (table && (table->size == 0 || table->offset > size || table->End() > size)) std::abort();
  return 0;
}
