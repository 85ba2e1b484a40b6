#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "package/package_trailer.h"
#include "support/message_box_recorder.h"
#include "support/scratch_folder.h"

namespace {

using package::TrailerOutcome;

// Bytes standing in for the launcher image and the archive behind it.
std::string Image(size_t size = 50000) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) % 251);
  return bytes;
}

std::string Trailer(const std::string& password, const std::string& second = "info") {
  return package::BuildPackageTrailer(password, second, 1);
}

// Stored length words for arbitrary plain lengths, for damaged trailers.
std::string RawTrailer(uint32_t passwordLength, uint32_t secondLength) {
  std::string out;
  for (uint32_t word : {passwordLength ^ package::kPasswordLengthMask, secondLength ^ package::kSecondLengthMask, 0u}) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((word >> shift) & 0xFF));
  }
  return out + package::kPackageMarker;
}

// PE headers whose security directory names a certificate table at offset, of size.
std::string PeHead(uint32_t offset, uint32_t size, uint16_t magic = 0x10B) {
  std::string head(0x200, '\0');
  const auto put = [&head](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) head[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  head.replace(0, 2, "MZ");
  put(0x3C, 0x40, 4);
  head.replace(0x40, 4, std::string("PE\0\0", 4));
  const size_t optional = 0x40 + 24;
  const size_t fixed = magic == 0x10B ? 96 : 112;
  put(0x40 + 20, static_cast<uint32_t>(fixed + 16 * 8), 2);  // size of the optional header
  put(optional, magic, 2);
  put(optional + fixed - 4, 16, 4);  // number of data directories
  put(optional + fixed + 4 * 8, offset, 4);
  put(optional + fixed + 4 * 8 + 4, size, 4);
  return head;
}

// A package (image, archive and trailer) as signing leaves it: 3 bytes of alignment,
// then the certificate table, which someone may have grown after signing: here with
// a trailer and marker of their own at the very end of the file.
constexpr size_t kSignedAlignment = 3;
std::string SignedPackage(const std::string& package, size_t grownBy, uint16_t magic = 0x10B) {
  const std::string table = std::string(1000 + grownBy, 'S') + Trailer("planted");
  const auto offset = static_cast<uint32_t>(0x200 + package.size() + kSignedAlignment);
  return PeHead(offset, static_cast<uint32_t>(table.size()), magic) + package + std::string(kSignedAlignment, '\0') +
         table;
}

// The same file with the security directory's size off by delta: it names no table
// that ends the file, so the file is read whole.
std::string MisnamedTable(int delta) {
  std::string file = SignedPackage(Image() + Trailer("real"), 0);
  const uint32_t size = static_cast<uint32_t>(file.size() - 0x200 - Image().size() - Trailer("real").size() -
                                              kSignedAlignment + delta);
  return PeHead(static_cast<uint32_t>(0x200 + Image().size() + Trailer("real").size() + kSignedAlignment), size) +
         file.substr(0x200);
}

struct TrailerCase {
  const char* what;
  std::string file;
  TrailerOutcome outcome;
  std::wstring password;
  std::wstring secondField;
  uint64_t markerDistance;
};

TEST(PackageTrailer, FindsAndReadsTheTrailer) {
  const std::string signature = std::string(1, '\0') + std::string(21024, 'S');
  const TrailerCase cases[] = {
      {"marker closes the file", Image() + Trailer("Secret-1", "second"), TrailerOutcome::kRead, L"Secret-1",
       L"second", 13},
      {"alignment and signature after the marker", Image() + Trailer("pw") + signature, TrailerOutcome::kRead,
       L"pw", L"info", 21038},
      {"40,948 bytes after the marker", Image() + Trailer("edge") + std::string(40948, 'z'), TrailerOutcome::kRead,
       L"edge", L"info", 40961},
      {"40,949 bytes after the marker", Image() + Trailer("edge") + std::string(40949, 'z'),
       TrailerOutcome::kDamaged, L"", L"", 0},
      {"two markers in the window: the one farther from the end",
       Image() + Trailer("far") + std::string(100, 'z') + Trailer("near") + "tail", TrailerOutcome::kRead, L"far",
       L"info", 100 + Trailer("near").size() + 4 + 13},
      {"a marker at the end wins over an earlier one",
       Image() + Trailer("early") + std::string(100, 'z') + Trailer("end"), TrailerOutcome::kRead, L"end", L"info",
       13},
      {"a false three-byte start is skipped", Image() + Trailer("real") + ">KIxxxxxxxxxxxxxx" + "tail",
       TrailerOutcome::kRead, L"real", L"info", 13 + 17 + 4},
      {"zero-length fields", Image() + Trailer("", ""), TrailerOutcome::kRead, L"", L"", 13},
      {"a field ends before its own key byte", Image() + Trailer("ab;cd", "xy\xA7z"), TrailerOutcome::kRead, L"ab",
       L"xy", 13},
      {"no marker at all", Image(), TrailerOutcome::kDamaged, L"", L"", 0},
      {"a length beyond the field buffer", Image() + std::string(300, 'p') + RawTrailer(260, 0),
       TrailerOutcome::kDamaged, L"", L"", 0},
      {"a field before the start of the file", std::string(10, 'p') + RawTrailer(20, 0), TrailerOutcome::kDamaged,
       L"", L"", 0},
      {"a file shorter than the window is scanned whole", "xy" + Trailer("tiny") + "after",
       TrailerOutcome::kRead, L"tiny", L"info", 18},
      {"an empty file", "", TrailerOutcome::kDamaged, L"", L"", 0},
      // A signed image ends where its certificate table begins: nothing in the table decides.
      {"a signed image", SignedPackage(Image() + Trailer("real"), 0), TrailerOutcome::kRead, L"real", L"info",
       13 + kSignedAlignment},
      {"a certificate table grown past 40,948 bytes", SignedPackage(Image() + Trailer("real"), 50000),
       TrailerOutcome::kRead, L"real", L"info", 13 + kSignedAlignment},
      {"a PE32+ image", SignedPackage(Image() + Trailer("real"), 0, 0x20B), TrailerOutcome::kRead, L"real", L"info",
       13 + kSignedAlignment},
      {"an empty security directory", PeHead(0, 0) + Image() + Trailer("real") + "\0\0\0" + Trailer("planted"),
       TrailerOutcome::kRead, L"planted", L"info", 13},
      {"a table running past the file's end", MisnamedTable(1), TrailerOutcome::kRead, L"planted", L"info", 13},
      {"a table that ends before the file's end", MisnamedTable(-1), TrailerOutcome::kRead, L"planted", L"info", 13},
      {"a table beyond the file", PeHead(0xFFFFFFF0u, 0x20) + Image() + Trailer("real") + Trailer("planted"),
       TrailerOutcome::kRead, L"planted", L"info", 13},
  };
  for (const TrailerCase& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScratchFolder scratch;
    const auto path = scratch.Write("package.exe", c.file);
    testsupport::MessageBoxRecorder boxes;
    package::PackageTrailer trailer;
    EXPECT_EQ(package::ReadPackageTrailer(path.wstring(), trailer), c.outcome);
    EXPECT_EQ(trailer.password, c.password);
    EXPECT_EQ(trailer.secondField, c.secondField);
    // What the user sees of a damaged package is the run's to say.
    EXPECT_TRUE(boxes.Boxes().empty());
    if (c.outcome != TrailerOutcome::kDamaged) {
      platform::ReadOnlyFile file;
      ASSERT_TRUE(file.Open(path.wstring()));
      const auto layout = package::ReadTrailerLayout(file);
      ASSERT_TRUE(layout.has_value());
      EXPECT_EQ(layout->markerDistance, c.markerDistance);
      // Finding and reading the trailer is two reads however large the package: the
      // image headers (for a certificate table), then the tail.
      EXPECT_EQ(file.ReadCount(), 2u);
    }
  }
}

TEST(PackageTrailer, AnUnopenableFileIsSkippedSilently) {
  testsupport::ScratchFolder scratch;
  testsupport::MessageBoxRecorder boxes;
  package::PackageTrailer trailer;
  trailer.password = L"stale";
  EXPECT_EQ(package::ReadPackageTrailer((scratch.Path() / "missing.exe").wstring(), trailer),
            TrailerOutcome::kSkipped);
  EXPECT_EQ(trailer.password, L"");
  EXPECT_EQ(trailer.secondField, L"");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(PackageTrailer, WritesTheLayoutByteForByte) {
  const std::string bytes = package::BuildPackageTrailer("AB", "c", 0x01020304);
  const std::string expected = std::string("\x7a\x79", 2) + "\xc4" +  // fields XOR 0x3B and 0xA7
                               std::string("\x5c\0\0\0", 4) +         // 2 ^ 0x5E
                               std::string("\x90\0\0\0", 4) +         // 1 ^ 0x91
                               std::string("\x04\x03\x02\x01", 4) + ">KIVO_Vantor<";
  EXPECT_EQ(bytes, expected);
}

TEST(PackageTrailer, DescrambleStopsAtTheFirstZeroByte) {
  char text[] = {'\x7a', '\x79', '\0', '\x7a', '\0'};
  EXPECT_EQ(package::DescrambleField(text, 0x13B), 2);  // only the low 8 bits of the key count
  EXPECT_EQ(std::string(text), "AB");
  EXPECT_EQ(text[3], '\x7a');
}

TEST(PackageTrailer, NamesFieldsTheLauncherCannotReadBack) {
  EXPECT_FALSE(package::FieldProblem("ordinary", package::kPasswordKey).has_value());
  EXPECT_FALSE(package::FieldProblem(std::string(259, 'a'), package::kPasswordKey).has_value());
  EXPECT_TRUE(package::FieldProblem(std::string(260, 'a'), package::kPasswordKey).has_value());
  EXPECT_TRUE(package::FieldProblem(std::string("a\0b", 3), package::kPasswordKey).has_value());
  EXPECT_TRUE(package::FieldProblem("a;b", package::kPasswordKey).has_value());
  EXPECT_FALSE(package::FieldProblem("a;b", package::kSecondFieldKey).has_value());
}

}  // namespace
