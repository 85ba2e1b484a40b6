// A package signed with osslsigncode after it was built still verifies, and inspect
// shows the signature block behind the marker. Bytes someone adds to the signature
// afterwards make verify fail, though osslsigncode still accepts the signature.
#include <gtest/gtest.h>

#include "package/package_trailer.h"
#include "pe_fixture.h"
#include "sfxpkg_tool.h"
#include "support/json_value.h"
#include "support/package_fixtures.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using sfxpkgtest::U8;
using testsupport::RunTool;

namespace {

// A package built from a minimal image and signed as a publisher would sign it.
class SignedPackage : public testing::Test {
 protected:
  void SetUp() override {
    auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "in");
    // launcher.exe, which the native build does not make, stood in for by the
    // smallest image that sfxpkg takes for it and osslsigncode signs.
    inputs.launcher = scratch.Write("stub.exe", sfxpkgtest::StubImage("launcher.exe", sfxpkgtest::kMachineI386));
    // A Windows program as its engine, as launcher.exe needs one.
    inputs.engine = scratch.Write("engine.exe", sfxpkgtest::MinimalPeImage(sfxpkgtest::kMachineI386));
    package = scratch.Path() / "Package.exe";
    const auto built =
        sfxpkgtest::Sfxpkg(sfxpkgtest::BuildArguments(inputs, "signed-Pa55", package, {"--second-field", "Product 1"}));
    ASSERT_EQ(built.exitCode, 0u) << built.standardError;

    // A throwaway code-signing certificate, as a package author would buy one.
    const auto made =
        RunTool("/usr/bin/openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                     "/CN=sfxpkg test", "-addext", "extendedKeyUsage=codeSigning", "-keyout",
                                     U8(scratch.Path() / "key.pem"), "-out", U8(scratch.Path() / "cert.pem")});
    ASSERT_EQ(made.exitCode, 0u) << made.standardError;
    signedPackage = scratch.Path() / "Signed.exe";
    const auto sign = RunTool("/usr/bin/osslsigncode",
                              {"sign", "-certs", U8(scratch.Path() / "cert.pem"), "-key",
                               U8(scratch.Path() / "key.pem"), "-in", U8(package), "-out", U8(signedPackage)});
    ASSERT_EQ(sign.exitCode, 0u) << sign.standardOutput << sign.standardError;
  }

  testsupport::ScratchFolder scratch;
  fs::path package;
  fs::path signedPackage;
};

TEST_F(SignedPackage, VerifiesAndShowsItsSignatureBlock) {
  const auto verified = sfxpkgtest::Sfxpkg({"verify", U8(signedPackage)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;

  const auto inspected = sfxpkgtest::Sfxpkg({"inspect", "--json", U8(signedPackage)});
  ASSERT_EQ(inspected.exitCode, 0u) << inspected.standardError;
  const auto report = testsupport::JsonValue::Parse(inspected.standardOutput);
  ASSERT_TRUE(report) << inspected.standardOutput;
  const uint64_t unsignedSize = fs::file_size(package);
  const uint64_t signedSize = fs::file_size(signedPackage);
  // Everything osslsigncode appended lies behind the marker: zero padding to a
  // multiple of 8, then the certificate table, which ends the file.
  const auto& after = (*report)["after_marker"];
  const auto& block = (*report)["signature_block"];
  EXPECT_EQ(after["offset"].Number(), unsignedSize);
  EXPECT_EQ(after["size"].Number(), signedSize - unsignedSize);
  ASSERT_FALSE(block.IsNull()) << inspected.standardOutput;
  EXPECT_EQ(block["offset"].Number() + block["size"].Number(), signedSize);
  EXPECT_EQ(block["offset"].Number() % 8, 0u);
  EXPECT_LT(block["offset"].Number() - unsignedSize, 8u);
  // The package ends where the certificate table begins: the marker distance counts to there.
  EXPECT_EQ((*report)["marker"]["distance"].Number(), 13 + block["offset"].Number() - unsignedSize);
  EXPECT_EQ((*report)["marker"]["package_end"].Number(), block["offset"].Number());
  EXPECT_EQ(block["records"].Number(), 1u);
  EXPECT_EQ(block["unsigned_bytes"].Number(), 0u);
}

// A signature counts as present, never as checked: a package changed after signing
// (its second field, which the launcher ignores) still runs and still holds its
// signature record, and inspect and verify say that osslsigncode or signtool tells
// whether it is valid, as osslsigncode here finds it is not.
TEST_F(SignedPackage, ASignatureIsShownAsPresentNotAsValid) {
  std::string bytes = testsupport::ReadFileBytes(signedPackage);
  std::string scrambled = "Product 1";
  for (char& ch : scrambled) ch = static_cast<char>(ch ^ 0xA7);
  const size_t at = bytes.rfind(scrambled);
  ASSERT_NE(at, std::string::npos);
  bytes[at + 8] = static_cast<char>('2' ^ 0xA7);
  const fs::path changed = scratch.Write("Changed.exe", bytes);
  const auto checked = RunTool("/usr/bin/osslsigncode", {"verify", "-in", U8(changed)});
  EXPECT_NE(checked.exitCode, 0u) << checked.standardOutput;
  EXPECT_NE(checked.standardOutput.find("MISMATCH"), std::string::npos) << checked.standardOutput;

  const auto verified = sfxpkgtest::Sfxpkg({"verify", U8(changed)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  EXPECT_NE(verified.standardError.find(U8(changed) + ": signed: 1 signature present, not checked (osslsigncode "
                                        "verify or signtool verify tells whether it is valid)\n"),
            std::string::npos)
      << verified.standardError;
  const auto inspected = sfxpkgtest::Sfxpkg({"inspect", U8(changed)});
  EXPECT_EQ(inspected.exitCode, 0u) << inspected.standardError;
  EXPECT_NE(inspected.standardOutput.find(": 1 signature (present, not checked: osslsigncode verify or signtool "
                                          "verify tells whether it is valid)\n"),
            std::string::npos)
      << inspected.standardOutput;
  EXPECT_NE(inspected.standardOutput.find("second field    \"Product 2\""), std::string::npos);
}

// A build over a signed package says that the new one is not signed (--no-clobber
// keeps the signed one).
TEST_F(SignedPackage, ABuildOverASignedPackageSaysSo) {
  const auto inputs = sfxpkgtest::WriteInputs(scratch.Path() / "again");
  auto arguments = sfxpkgtest::BuildArguments(inputs, "pw", signedPackage);
  arguments[2] = U8(scratch.Path() / "stub.exe");
  arguments[4] = U8(scratch.Path() / "engine.exe");
  const auto kept = sfxpkgtest::Sfxpkg([&] {
    auto noClobber = arguments;
    noClobber.push_back("--no-clobber");
    return noClobber;
  }());
  EXPECT_EQ(kept.exitCode, 1u);
  EXPECT_NE(kept.standardError.find("Signed.exe exists, and --no-clobber keeps it"), std::string::npos)
      << kept.standardError;
  const auto replaced = sfxpkgtest::Sfxpkg(arguments);
  EXPECT_EQ(replaced.exitCode, 0u) << replaced.standardError;
  EXPECT_NE(replaced.standardError.find("sfxpkg build: replaced " + U8(signedPackage) + ": launcher image "),
            std::string::npos)
      << replaced.standardError;
  EXPECT_NE(replaced.standardError.find("sfxpkg build: warning: " + U8(signedPackage) +
                                        " was a signed package; the one that replaced it is not signed until it is "
                                        "signed again\n"),
            std::string::npos)
      << replaced.standardError;
}

TEST_F(SignedPackage, BytesAddedToTheSignatureFailVerify) {
  // An archive grown into the certificate table: the signature does not cover its
  // own table, so osslsigncode still finds the digest unchanged (the script checks).
  const fs::path planted = scratch.Write("planted.zip", testsupport::ZipBytes({testsupport::Member("A0", "planted", "pw")}));
  const fs::path grown = scratch.Path() / "Grown.exe";
  const auto grow =
      RunTool("/usr/bin/python3", {U8(fs::path(SFX_SOURCE_DIR) / "tests" / "fixtures" / "grow_certificate_table.py"),
                                   U8(signedPackage), U8(grown), U8(planted)});
  ASSERT_EQ(grow.exitCode, 0u) << grow.standardError;

  const auto verified = sfxpkgtest::Sfxpkg({"verify", U8(grown)});
  EXPECT_EQ(verified.exitCode, 1u);
  const uint64_t added = fs::file_size(grown) - fs::file_size(signedPackage);
  EXPECT_NE(verified.standardError.find(" bytes beyond its signature: they were added after signing"), std::string::npos)
      << verified.standardError;

  const auto inspected = sfxpkgtest::Sfxpkg({"inspect", "--json", U8(grown)});
  const auto report = testsupport::JsonValue::Parse(inspected.standardOutput);
  ASSERT_TRUE(report) << inspected.standardOutput;
  EXPECT_EQ((*report)["signature_block"]["end"].Number(), fs::file_size(grown));
  EXPECT_EQ((*report)["signature_block"]["records"].Number(), 1u);
  EXPECT_EQ((*report)["signature_block"]["unsigned_bytes"].Number(), added);
}

TEST_F(SignedPackage, ASignatureBlockCutShortOrFollowedByBytesFailsVerify) {
  const std::string bytes = testsupport::ReadFileBytes(signedPackage);
  struct Case {
    const char* name;
    std::string file;
    const char* problem;
  };
  const Case cases[] = {
      {"Cut.exe", bytes.substr(0, bytes.size() - 1024), "the signature block is cut short"},
      {"Appended.exe", bytes + std::string(300, 'a'), "300 bytes follow the signature block"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = scratch.Write(c.name, c.file);
    // osslsigncode finds neither signature sound either.
    EXPECT_NE(RunTool("/usr/bin/osslsigncode", {"verify", "-in", U8(file)}).exitCode, 0u);
    const auto verified = sfxpkgtest::Sfxpkg({"verify", U8(file)});
    EXPECT_EQ(verified.exitCode, 1u);
    EXPECT_NE(verified.standardError.find(c.problem), std::string::npos) << verified.standardError;
    // inspect shows the same block and gives the same reason.
    const auto inspected = sfxpkgtest::Sfxpkg({"inspect", U8(file)});
    EXPECT_NE(inspected.standardError.find(c.problem), std::string::npos) << inspected.standardError;
  }
}

// The signed image with records appended to its certificate table (each padded to
// 8 bytes), the security directory grown to hold them.
std::string WithRecordsAppended(std::string image, const std::vector<std::string>& records) {
  const auto word = [&image](size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(image[at + i]);
    return value;
  };
  const size_t optionalHeader = word(0x3C, 4) + 24;
  const size_t entry = optionalHeader + (word(optionalHeader, 2) == 0x10B ? 96 : 112) + 4 * 8;
  std::string added;
  for (const std::string& record : records) added += record + std::string(-record.size() % 8, '\0');
  const uint32_t size = word(entry + 4, 4) + static_cast<uint32_t>(added.size());
  for (int i = 0; i < 4; ++i) image[entry + 4 + i] = static_cast<char>(size >> (8 * i));
  return image + added;
}

// A WIN_CERTIFICATE record: its length, revision, type and content.
std::string Record(uint16_t revision, uint16_t type, const std::string& content) {
  const uint32_t length = static_cast<uint32_t>(8 + content.size());
  std::string record;
  for (int i = 0; i < 4; ++i) record.push_back(static_cast<char>(length >> (8 * i)));
  record += {static_cast<char>(revision & 0xFF), static_cast<char>(revision >> 8), static_cast<char>(type & 0xFF),
             static_cast<char>(type >> 8)};
  return record + content;
}

// A DER SEQUENCE around content (long-form length).
std::string DerSequence(const std::string& content) {
  const uint32_t n = static_cast<uint32_t>(content.size());
  return std::string{'\x30', '\x84', static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
                     static_cast<char>(n)} +
         content;
}

// Only records that Windows takes for a signature count as signed: anything else
// in the table was added after signing, and verify fails the package.
TEST_F(SignedPackage, RecordsWindowsDoesNotTakeAreUnsignedBytes) {
  const std::string signedBytes = testsupport::ReadFileBytes(signedPackage);
  // The signature osslsigncode wrote, behind the padding and its record's header.
  const uint64_t tableOffset = (fs::file_size(package) + 7) / 8 * 8;
  const std::string signature = signedBytes.substr(tableOffset + 8);
  const std::string planted = testsupport::ZipBytes({testsupport::Member("A0", "planted", "pw")}) +
                              package::BuildPackageTrailer("pw", "", 1);
  std::vector<std::string> tiny(2000, Record(0x0200, 2, std::string("\x30\x00", 2)));
  struct Case {
    const char* name;
    std::vector<std::string> records;
    bool runs;
  };
  const Case cases[] = {
      {"PlantedArchiveInADerSequence", {Record(0x0200, 2, DerSequence(planted))}, false},
      {"ThousandsOfTwoByteSequences", tiny, false},
      {"SignatureUnderAnotherRevision", {Record(0x0100, 2, signature)}, false},
      {"SignatureAsAnX509Certificate", {Record(0x0200, 1, signature)}, false},
      {"SecondGenuineSignature", {Record(0x0200, 2, signature)}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string bytes = WithRecordsAppended(signedBytes, c.records);
    const fs::path file = scratch.Write(std::string(c.name) + ".exe", bytes);
    const auto verified = sfxpkgtest::Sfxpkg({"verify", U8(file)});
    EXPECT_EQ(verified.exitCode, c.runs ? 0u : 1u) << verified.standardError;
    const auto inspected = sfxpkgtest::Sfxpkg({"inspect", "--json", U8(file)});
    const auto report = testsupport::JsonValue::Parse(inspected.standardOutput);
    ASSERT_TRUE(report) << inspected.standardOutput;
    const auto& block = (*report)["signature_block"];
    EXPECT_EQ(block["records"].Number(), c.runs ? 2u : 1u);
    EXPECT_EQ(block["unsigned_bytes"].Number(), c.runs ? 0u : bytes.size() - signedBytes.size());
    if (!c.runs) {
      EXPECT_NE(verified.standardError.find(" bytes beyond its signature: they were added after signing"),
                std::string::npos)
          << verified.standardError;
    }
  }
}

TEST_F(SignedPackage, WarnsOfBytesBehindTheMarkerThatAreNoSignature) {
  const fs::path appended = scratch.Write("Appended.exe", testsupport::ReadFileBytes(package) + "appended by someone");
  const auto verified = sfxpkgtest::Sfxpkg({"verify", U8(appended)});
  EXPECT_EQ(verified.exitCode, 0u) << verified.standardError;
  EXPECT_NE(verified.standardError.find("warning: " + U8(appended) + ": 19 bytes follow the package marker"),
            std::string::npos)
      << verified.standardError;
  // A signature's alignment and table draw no warning.
  EXPECT_EQ(sfxpkgtest::Sfxpkg({"verify", U8(signedPackage)}).standardError.find("warning"), std::string::npos);
}

}  // namespace
