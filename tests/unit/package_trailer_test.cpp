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
    if (c.outcome == TrailerOutcome::kDamaged) {
      ASSERT_EQ(boxes.Boxes().size(), 1u);
      EXPECT_EQ(boxes.Boxes()[0].text, L"Corrupt file!");
      EXPECT_FALSE(boxes.Boxes()[0].caption.has_value());
      EXPECT_EQ(boxes.Boxes()[0].style, testsupport::kStopBoxStyle);
    } else {
      EXPECT_TRUE(boxes.Boxes().empty());
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

TEST(PackageTrailer, ASignedImageEndsWhereItsCertificateTableBegins) {
  // Whatever is in the table, someone may have put there after signing: here a
  // trailer and marker of their own, at the very end of the file.
  const std::string package = Image() + Trailer("real");
  const std::string padding(3, '\0');
  const auto table = [](size_t filler) { return std::string(filler, 'S') + Trailer("planted"); };
  const auto signedFile = [&](const std::string& certificates, uint16_t magic) {
    const uint32_t offset = static_cast<uint32_t>(0x200 + package.size() + padding.size());
    return PeHead(offset, static_cast<uint32_t>(certificates.size()), magic) + package + padding + certificates;
  };
  const std::string grown = table(50000);
  const uint32_t grownOffset = static_cast<uint32_t>(0x200 + package.size() + padding.size());
  struct Case {
    const char* what;
    std::string file;
    std::wstring password;
  };
  const Case cases[] = {
      {"a table behind the marker", signedFile(table(1000), 0x10B), L"real"},
      {"a table grown past 40,948 bytes", signedFile(grown, 0x10B), L"real"},
      {"a PE32+ image", signedFile(table(1000), 0x20B), L"real"},
      // Directories that name no table ending the file are ignored: the file is read whole.
      {"an empty directory", PeHead(0, 0) + package + padding + table(1000), L"planted"},
      {"a table running past the file's end",
       PeHead(grownOffset, static_cast<uint32_t>(grown.size() + 1)) + package + padding + grown, L"planted"},
      {"a table that ends before the file's end",
       PeHead(grownOffset, static_cast<uint32_t>(grown.size() - 1)) + package + padding + grown, L"planted"},
      {"an offset beyond the file", PeHead(0xFFFFFFF0u, 0x20) + package + padding + table(1000), L"planted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::ScratchFolder scratch;
    const auto path = scratch.Write("package.exe", c.file);
    testsupport::MessageBoxRecorder boxes;
    package::PackageTrailer trailer;
    EXPECT_EQ(package::ReadPackageTrailer(path.wstring(), trailer), TrailerOutcome::kRead);
    EXPECT_EQ(trailer.password, c.password);
    EXPECT_TRUE(boxes.Boxes().empty());
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
