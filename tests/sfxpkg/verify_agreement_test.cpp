// "sfxpkg verify" fails exactly where the launcher would not start the setup
// engine: each package here goes to both, and the two must agree.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "package/package_trailer.h"
#include "sfxpkg_tool.h"
#include "support/launcher_package.h"
#include "support/package_fixtures.h"

namespace fs = std::filesystem;
using testsupport::Member;

namespace {

constexpr char kPassword[] = "Pa55-word";

// The pieces behind the launcher image; a case rearranges them into its payload.
struct Pieces {
  std::string archive;
  std::string trailer;
  testsupport::PackageContent content;
};

const Pieces& GoodPieces() {
  static const Pieces pieces = [] {
    Pieces made;
    made.content = testsupport::ContentWithTestEngine();
    made.archive = testsupport::ZipBytes(testsupport::PackageMembers(made.content, kPassword));
    made.trailer = package::BuildPackageTrailer(kPassword, "", 1);
    return made;
  }();
  return pieces;
}

// Junk between the archive and the trailer that puts the end record (22 bytes, no
// comment) exactly distance bytes before the trailer.
std::string EndRecordAt(size_t distance) {
  const Pieces& p = GoodPieces();
  return p.archive + std::string(distance - 22, '\0') + p.trailer;
}

// The archive with one byte in the middle of member A1's data changed.
std::string CorruptedEngine() {
  std::string archive = GoodPieces().archive;
  const std::string localHeader("PK\x03\x04", 4);
  const auto word = [&archive](size_t at) {
    return static_cast<size_t>(static_cast<unsigned char>(archive[at]) | static_cast<unsigned char>(archive[at + 1]) << 8);
  };
  for (size_t at = archive.find(localHeader); at != std::string::npos; at = archive.find(localHeader, at + 1)) {
    if (word(at + 26) != 2 || archive.compare(at + 30, 2, "A1") != 0) continue;
    archive[at + 30 + word(at + 26) + word(at + 28) + 5000] ^= 0x55;
    break;
  }
  return archive;
}

// The archive with member A4 one byte longer in both its headers than its data: the
// compressed stream ends first, and the library skips its CRC check then.
std::string ExpMemberCutShort() {
  std::string archive = GoodPieces().archive;
  for (const auto& [signature, nameAt, sizeAt] :
       {std::tuple<std::string, size_t, size_t>{std::string("PK\x03\x04", 4), 30, 22},
        std::tuple<std::string, size_t, size_t>{std::string("PK\x01\x02", 4), 46, 24}}) {
    for (size_t at = archive.find(signature); at != std::string::npos; at = archive.find(signature, at + 1)) {
      if (archive.compare(at + nameAt, 2, "A4") != 0) continue;
      archive[at + sizeAt] = static_cast<char>(archive[at + sizeAt] + 1);
      break;
    }
  }
  return archive;
}

// The archive with its end record counting 65,535 entries, more than its central
// directory holds: the library reads entries until one fails to read.
std::string EndRecordCountingTooManyEntries() {
  std::string archive = GoodPieces().archive;
  const size_t end = archive.rfind(std::string("PK\x05\x06", 4));
  archive.replace(end + 8, 4, "\xFF\xFF\xFF\xFF");
  return archive;
}

struct Case {
  const char* name;
  std::function<std::string()> payload;
  bool runs;
  const char* problem;  // part of verify's line when it does not
};

std::ostream& operator<<(std::ostream& out, const Case& c) { return out << c.name; }

class VerifyAgreesWithLauncher : public ::testing::TestWithParam<Case> {};

TEST_P(VerifyAgreesWithLauncher, OnWhetherTheEngineStarts) {
  const Case& c = GetParam();
  testsupport::LauncherSandbox box;
  const fs::path package = testsupport::WritePackage(box.Scratch().Path() / "Package.exe", c.payload());

  const auto verified = sfxpkgtest::Sfxpkg({"verify", sfxpkgtest::U8(package)});
  const auto run = box.Start(package, {L"/silent"});
  ASSERT_TRUE(run.started);
  const bool engineStarted = fs::exists(box.Report() / "report.txt");

  EXPECT_EQ(engineStarted, c.runs);
  EXPECT_EQ(verified.exitCode, c.runs ? 0u : 1u) << verified.standardError;
  if (!c.runs) {
    EXPECT_NE(verified.standardError.find(c.problem), std::string::npos) << verified.standardError;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Packages, VerifyAgreesWithLauncher,
    ::testing::Values(
        Case{"Good", [] { return GoodPieces().archive + GoodPieces().trailer; }, true, ""},
        Case{"InfoZipArchive",
             [] { return testsupport::InfoZipArchive() + package::BuildPackageTrailer(testsupport::kInfoZipPassword, "", 1); },
             true, ""},
        Case{"TruncatedInTheArchive",
             [] { return GoodPieces().archive.substr(0, GoodPieces().archive.size() / 2); }, false,
             "no package marker"},
        Case{"MarkerAtTheEdgeOfTheScanWindow",
             [] { return GoodPieces().archive + GoodPieces().trailer + std::string(40948, '\0'); }, true, ""},
        Case{"MarkerTooFarFromTheEnd",
             [] { return GoodPieces().archive + GoodPieces().trailer + std::string(40949, '\0'); }, false,
             "40,949 bytes follow the package marker"},
        Case{"EndRecordAtTheEdgeOfTheLibrarysSearch", [] { return EndRecordAt(65535); }, true, ""},
        Case{"EndRecordTooFarFromTheTrailer", [] { return EndRecordAt(65536); }, false,
             "the archive's end record begins 65,536 bytes before the trailer"},
        Case{"StrayEndRecordSignatureInFrontOfTheTrailer",
             [] { return GoodPieces().archive + "PK\x05\x06" + std::string(100, '\x11') + GoodPieces().trailer; },
             false, "a zip end-record signature (50 4B 05 06) lies between the archive and the trailer"},
        // Behind the trailer the archive library never looks.
        Case{"EndRecordSignatureAfterTheMarker",
             [] {
               std::string block(21000, '\x11');
               block.replace(9000, 4, "PK\x05\x06");
               return GoodPieces().archive + GoodPieces().trailer + block;
             },
             true, ""},
        // The second field F7 EC A2 A1 is stored as 50 4B 05 06.
        Case{"EndRecordSignatureInTheTrailer",
             [] { return GoodPieces().archive + package::BuildPackageTrailer(kPassword, "\xF7\xEC\xA2\xA1", 1); }, true,
             ""},
        Case{"ArchiveAfterTheMarker",
             [] {
               return GoodPieces().archive + GoodPieces().trailer +
                      testsupport::ZipBytes({Member("A0", "planted", kPassword)});
             },
             true, ""},
        Case{"Zip64ArchiveOfInfoZip",
             [] {
               return testsupport::PeerArchive(testsupport::kInfoZipZip64Archive) +
                      package::BuildPackageTrailer(testsupport::kInfoZipPassword, "", 1);
             },
             true, ""},
        Case{"EndRecordCountingMoreEntriesThanTheDirectoryHolds",
             [] { return EndRecordCountingTooManyEntries() + GoodPieces().trailer; }, true, ""},
        Case{"TrailerLengthBeyondTheFieldBuffer",
             [] {
               std::string trailer = GoodPieces().trailer;
               trailer[std::string(kPassword).size()] = static_cast<char>((300 & 0xFF) ^ 0x5E);
               trailer[std::string(kPassword).size() + 1] = static_cast<char>(300 >> 8);
               return GoodPieces().archive + trailer;
             },
             false, "the trailer is damaged"},
        Case{"MissingMember",
             [] {
               const auto& c = GoodPieces().content;
               return testsupport::ZipBytes({Member("A0", c.data, kPassword), Member("A1", c.engine, kPassword),
                                             Member("A4", c.exp, kPassword)}) +
                      GoodPieces().trailer;
             },
             false, "member A3 (Setup_UI.dll) is missing"},
        Case{"WrongPassword",
             [] { return GoodPieces().archive + package::BuildPackageTrailer("Pa55-w0rd", "", 1); }, false,
             "a wrong password or damaged data"},
        Case{"CorruptedMember", [] { return CorruptedEngine() + GoodPieces().trailer; }, false,
             "member A1 (the setup engine) cannot be decrypted and decompressed"},
        Case{"MemberCutShort", [] { return ExpMemberCutShort() + GoodPieces().trailer; }, false,
             "member A4 (Setup_Exp.dll) cannot be decrypted and decompressed"},
        // A program of the other system: the launcher cannot start it.
        Case{"EngineTheLauncherCannotStart",
             [] {
               auto content = GoodPieces().content;
               const bool windows = content.engine.compare(0, 2, "MZ") == 0;
               content.engine = windows ? std::string("\x7F" "ELF\x01\x01\x01") + std::string(200, '\0')
                                        : std::string("MZ") + std::string(0x3A, '\0') + std::string("\x40\0\0\0", 4) +
                                              std::string("PE\0\0", 4) + std::string(200, '\0');
               return testsupport::ZipBytes(testsupport::PackageMembers(content, kPassword)) + GoodPieces().trailer;
             },
             false, "member A1 (the setup engine) is a "},
        Case{"UnencryptedMember",
             [] {
               const auto& c = GoodPieces().content;
               sfxpkg::ArchiveMember plain = Member("A3", c.ui, kPassword);
               plain.password.reset();
               return testsupport::ZipBytes({Member("A0", c.data, kPassword), Member("A1", c.engine, kPassword), plain,
                                             Member("A4", c.exp, kPassword)}) +
                      GoodPieces().trailer;
             },
             false, "member A3 (Setup_UI.dll) is not encrypted"}),
    [](const auto& info) { return std::string(info.param.name); });

// extract reads the members as verify and the launcher do, whatever the end record counts.
TEST(Extract, WritesTheMembersOfAnArchiveWhoseEndRecordCountsTooMany) {
  testsupport::ScratchFolder scratch;
  const fs::path package =
      testsupport::WritePackage(scratch.Path() / "Package.exe", EndRecordCountingTooManyEntries() + GoodPieces().trailer);
  const auto extracted = sfxpkgtest::Sfxpkg({"extract", sfxpkgtest::U8(package), "-C", sfxpkgtest::U8(scratch.Path() / "out")});
  EXPECT_EQ(extracted.exitCode, 0u) << extracted.standardError;
  EXPECT_EQ(testsupport::ReadFileBytes(scratch.Path() / "out" / "setup.dat"), GoodPieces().content.data);
  EXPECT_EQ(testsupport::ReadFileBytes(scratch.Path() / "out" / "Setup_Exp.dll"), GoodPieces().content.exp);
}

// The image in front of the archive must be a launcher: anything else never starts.
TEST(Verify, FailsAnImageThatIsNoLauncher) {
  testsupport::ScratchFolder scratch;
  const size_t launcherSize = testsupport::ReadFileBytes(testsupport::LauncherProgram()).size();
  const fs::path package = scratch.Write(
      "Package.exe", std::string(launcherSize, 'x') + GoodPieces().archive + GoodPieces().trailer);
  const auto verified = sfxpkgtest::Sfxpkg({"verify", sfxpkgtest::U8(package)});
  EXPECT_EQ(verified.exitCode, 1u);
  EXPECT_NE(verified.standardError.find("the launcher image in front of the archive is no launcher of sfx-launcher"),
            std::string::npos)
      << verified.standardError;
}

// inspect shows a damaged package's layout and gives verify's reasons for it.
TEST(Inspect, GivesVerifysReasonsForADamagedPackage) {
  testsupport::ScratchFolder scratch;
  const fs::path package = testsupport::WritePackage(
      scratch.Path() / "Package.exe", GoodPieces().archive + GoodPieces().trailer + std::string(40949, '\0'));
  const std::string reason = "40,949 bytes follow the package marker";
  const auto inspected = sfxpkgtest::Sfxpkg({"inspect", sfxpkgtest::U8(package)});
  EXPECT_EQ(inspected.exitCode, 1u);
  EXPECT_NE(inspected.standardOutput.find("trailer         not found"), std::string::npos) << inspected.standardOutput;
  EXPECT_NE(inspected.standardError.find(reason), std::string::npos) << inspected.standardError;
  EXPECT_NE(sfxpkgtest::Sfxpkg({"verify", sfxpkgtest::U8(package)}).standardError.find(reason), std::string::npos);
}

// Several packages at once: each gets its verdict, and one bad one fails the run.
TEST(Verify, ChecksEveryPackageItIsGiven) {
  testsupport::ScratchFolder scratch;
  const fs::path good = testsupport::WritePackage(scratch.Path() / "Good.exe", GoodPieces().archive + GoodPieces().trailer);
  const fs::path bad = testsupport::WritePackage(scratch.Path() / "Bad.exe", GoodPieces().archive);
  const auto both = sfxpkgtest::Sfxpkg({"verify", sfxpkgtest::U8(bad), sfxpkgtest::U8(good)});
  EXPECT_EQ(both.exitCode, 1u);
  EXPECT_NE(both.standardError.find(sfxpkgtest::U8(bad) + ": no package marker"), std::string::npos) << both.standardError;
  EXPECT_NE(both.standardError.find(sfxpkgtest::U8(good) + ": will run"), std::string::npos) << both.standardError;
  EXPECT_EQ(sfxpkgtest::Sfxpkg({"verify", sfxpkgtest::U8(good), sfxpkgtest::U8(good)}).exitCode, 0u);
}

}  // namespace
