// The package layout's end: the trailer behind the archive and the marker that
// closes it. The launcher reads it and sfxpkg writes it, both through this module.
//
//   ... archive | password field | second field | L1^0x5E | L2^0x91 | third word | ">KIVO_Vantor<" | [signature]
//
// All words are 32-bit little-endian. Each field byte is XORed with its key. In a
// signed image the package ends where the certificate table begins (signed_image.h):
// the marker is looked for in front of it, never inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace package {

inline constexpr char kPackageMarker[] = ">KIVO_Vantor<";
inline constexpr size_t kPackageMarkerSize = sizeof kPackageMarker - 1;  // 13, no terminator
inline constexpr uint8_t kPasswordKey = 0x3B;
inline constexpr uint8_t kSecondFieldKey = 0xA7;
inline constexpr uint32_t kPasswordLengthMask = 0x5E;
inline constexpr uint32_t kSecondLengthMask = 0x91;
inline constexpr size_t kTrailerWordsSize = 12;  // the two length words and the third word
// A field is read into a 260-byte buffer that keeps one zero byte behind the text.
inline constexpr size_t kFieldBufferSize = 260;
inline constexpr size_t kMaxFieldLength = kFieldBufferSize - 1;
// The marker is looked for in the last 40,961 bytes; at most 40,948 may follow it.
inline constexpr size_t kScanWindowSize = 40961;
inline constexpr size_t kMaxBytesAfterMarker = kScanWindowSize - kPackageMarkerSize;
// The part of the file read at once: the scan window plus the most a trailer can
// reach in front of it, so that finding and reading the trailer is one read.
inline constexpr size_t kTailSize = kScanWindowSize + kTrailerWordsSize + 2 * kMaxFieldLength;

enum class TrailerOutcome {
  kRead,     // both texts set from the trailer
  kSkipped,  // the file could not be opened; both texts empty, nothing shown
  kDamaged,  // no usable trailer
};

struct PackageTrailer {
  std::wstring password;
  std::wstring secondField;
  // Where the archive ends: the first byte of the trailer (0 when none was read).
  uint64_t archiveEnd = 0;
};

// The three words in front of the marker, decoded.
struct TrailerWords {
  uint32_t passwordLength = 0;  // L1
  uint32_t secondLength = 0;    // L2
  uint32_t thirdWord = 0;
};
TrailerWords DecodeTrailerWords(const uint8_t* words);

// Where the trailer lies and what it holds, as found in a package's last bytes.
struct TrailerLayout {
  uint64_t packageEnd = 0;      // the file's size, or where its certificate table begins
  uint64_t markerDistance = 0;  // bytes from the marker's first byte to the package's end
  uint32_t passwordLength = 0;  // L1
  uint32_t secondLength = 0;    // L2
  uint32_t thirdWord = 0;
  uint64_t trailerOffset = 0;   // first byte of the password field, from the start of the file
  std::string passwordField;    // descrambled bytes, cut at the first zero byte
  std::string secondFieldText;  // likewise
};

// XORs each byte before the text's first zero byte with key (its low 8 bits) and
// returns how many bytes it changed.
int DescrambleField(char* text, int key);

// Finds the marker in a file's last bytes (tail holds the file's final tailSize
// bytes). The last 13 bytes are tested first; otherwise the scan window, the last
// 40,961 bytes (or the whole tail when the file is shorter), is searched from its
// start, so the occurrence farthest from the end wins. Yields the marker distance.
std::optional<uint64_t> FindPackageMarker(const uint8_t* tail, size_t tailSize);

// Reads the trailer in front of the marker; tail holds the last tailSize bytes of a
// package that ends at packageEnd. None when the marker is missing, a length word
// decodes to more than 259, or a field would begin before the file.
std::optional<TrailerLayout> ParseTrailer(const uint8_t* tail, size_t tailSize, uint64_t packageEnd);

// Reads the trailer of the file at path (a read of its image headers, then one of
// its tail). Shows nothing: what the user sees of a damaged package is the run's to say.
TrailerOutcome ReadPackageTrailer(const std::wstring& path, PackageTrailer& trailer);
// The same for a package file that is open already (kSkipped when it is not).
TrailerOutcome ReadPackageTrailer(platform::ReadOnlyFile& file, PackageTrailer& trailer);
// The layout of the trailer of a file that is already open.
std::optional<TrailerLayout> ReadTrailerLayout(platform::ReadOnlyFile& file);

// The trailer bytes for the given 8-bit fields, marker included.
std::string BuildPackageTrailer(const std::string& password, const std::string& secondField, uint32_t thirdWord);

// Why a field could not be read back by the launcher, or none when it can.
std::optional<std::string> FieldProblem(const std::string& field, uint8_t key);

}  // namespace package
