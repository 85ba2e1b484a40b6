// Finding the marker, reading the trailer behind the archive, and writing one.
#include "package/package_trailer.h"

#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "package/little_endian.h"
#include "package/signed_image.h"

namespace package {
namespace {

void AppendWord(std::string& out, uint32_t word) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((word >> shift) & 0xFF));
}

bool IsMarkerAt(const uint8_t* bytes) { return std::memcmp(bytes, kPackageMarker, kPackageMarkerSize) == 0; }

// Copies a stored field into a zero-filled field buffer and descrambles it there;
// the text ends at the first zero byte, as the launcher has always read it.
std::string DecodeField(const uint8_t* stored, size_t length, uint8_t key) {
  std::array<char, kFieldBufferSize> buffer{};
  std::memcpy(buffer.data(), stored, length);
  DescrambleField(buffer.data(), key);
  return std::string(buffer.data());
}

}  // namespace

int DescrambleField(char* text, int key) {
  const auto keyByte = static_cast<char>(key & 0xFF);
  int count = 0;
  for (char* p = text; *p != '\0'; ++p, ++count) *p = static_cast<char>(*p ^ keyByte);
  return count;
}

std::optional<uint64_t> FindPackageMarker(const uint8_t* tail, size_t tailSize) {
  if (tailSize < kPackageMarkerSize) return std::nullopt;
  // A marker that closes the file wins over any other.
  if (IsMarkerAt(tail + tailSize - kPackageMarkerSize)) return kPackageMarkerSize;

  const size_t windowSize = tailSize < kScanWindowSize ? tailSize : kScanWindowSize;
  const uint8_t* window = tail + tailSize - windowSize;
  for (size_t i = 0; i + kPackageMarkerSize <= windowSize; ++i) {
    // Three single bytes screen the candidates before the full comparison.
    if (window[i] != kPackageMarker[0] || window[i + 1] != kPackageMarker[1] || window[i + 2] != kPackageMarker[2]) {
      continue;
    }
    if (IsMarkerAt(window + i)) return windowSize - i;
  }
  return std::nullopt;
}

TrailerWords DecodeTrailerWords(const uint8_t* words) {
  TrailerWords decoded;
  decoded.passwordLength = ReadLe32(words) ^ kPasswordLengthMask;
  decoded.secondLength = ReadLe32(words + 4) ^ kSecondLengthMask;
  decoded.thirdWord = ReadLe32(words + 8);
  return decoded;
}

std::optional<TrailerLayout> ParseTrailer(const uint8_t* tail, size_t tailSize, uint64_t packageEnd) {
  if (tailSize > packageEnd) return std::nullopt;
  const std::optional<uint64_t> distance = FindPackageMarker(tail, tailSize);
  if (!distance || *distance + kTrailerWordsSize > tailSize) return std::nullopt;

  TrailerLayout layout;
  layout.packageEnd = packageEnd;
  layout.markerDistance = *distance;
  const TrailerWords words = DecodeTrailerWords(tail + tailSize - *distance - kTrailerWordsSize);
  layout.passwordLength = words.passwordLength;
  layout.secondLength = words.secondLength;
  layout.thirdWord = words.thirdWord;
  // Lengths the field buffer cannot hold, or fields in front of the file's start,
  // mean the package is damaged; nothing is read for them.
  if (layout.passwordLength > kMaxFieldLength || layout.secondLength > kMaxFieldLength) return std::nullopt;
  const uint64_t trailerSize = *distance + kTrailerWordsSize + layout.passwordLength + layout.secondLength;
  if (trailerSize > tailSize) return std::nullopt;

  const uint8_t* fields = tail + tailSize - trailerSize;
  layout.trailerOffset = packageEnd - trailerSize;
  layout.passwordField = DecodeField(fields, layout.passwordLength, kPasswordKey);
  layout.secondFieldText = DecodeField(fields + layout.passwordLength, layout.secondLength, kSecondFieldKey);
  return layout;
}

std::optional<TrailerLayout> ReadTrailerLayout(platform::ReadOnlyFile& file) {
  const std::optional<uint64_t> fileSize = file.Size();
  if (!fileSize) return std::nullopt;
  const uint64_t packageEnd = PackageEnd(file, *fileSize);
  const size_t tailSize = packageEnd < kTailSize ? static_cast<size_t>(packageEnd) : kTailSize;
  // Zero-filled, so a short read leaves zeros where the data ended.
  std::unique_ptr<uint8_t[]> tail(new (std::nothrow) uint8_t[tailSize + 1]());
  if (!tail) return std::nullopt;
  if (tailSize > 0) file.ReadAt(packageEnd - tailSize, tail.get(), tailSize);
  return ParseTrailer(tail.get(), tailSize, packageEnd);
}

TrailerOutcome ReadPackageTrailer(const std::wstring& path, PackageTrailer& trailer) {
  platform::ReadOnlyFile file;
  file.Open(path);
  return ReadPackageTrailer(file, trailer);
}

TrailerOutcome ReadPackageTrailer(platform::ReadOnlyFile& file, PackageTrailer& trailer) {
  trailer = PackageTrailer{};
  if (!file.IsOpen()) return TrailerOutcome::kSkipped;
  const std::optional<TrailerLayout> layout = ReadTrailerLayout(file);
  if (!layout) return TrailerOutcome::kDamaged;
  trailer.password = platform::FromAnsi(layout->passwordField);
  trailer.secondField = platform::FromAnsi(layout->secondFieldText);
  trailer.archiveEnd = layout->trailerOffset;
  return TrailerOutcome::kRead;
}

std::string BuildPackageTrailer(const std::string& password, const std::string& secondField, uint32_t thirdWord) {
  std::string out;
  for (const char ch : password) out.push_back(static_cast<char>(ch ^ kPasswordKey));
  for (const char ch : secondField) out.push_back(static_cast<char>(ch ^ kSecondFieldKey));
  AppendWord(out, static_cast<uint32_t>(password.size()) ^ kPasswordLengthMask);
  AppendWord(out, static_cast<uint32_t>(secondField.size()) ^ kSecondLengthMask);
  AppendWord(out, thirdWord);
  out.append(kPackageMarker, kPackageMarkerSize);
  return out;
}

std::optional<std::string> FieldProblem(const std::string& field, uint8_t key) {
  if (field.size() > kMaxFieldLength) return "longer than 259 bytes";
  if (field.find('\0') != std::string::npos) return "holds a zero byte";
  if (field.find(static_cast<char>(key)) != std::string::npos) return "holds the byte its key scrambles to zero";
  return std::nullopt;
}

}  // namespace package
