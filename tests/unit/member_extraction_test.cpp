// Extracting the members of an open archive, boxes and all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <memory>

#include "package/bounded_archive.h"
#include "package_extraction/member_extraction.h"
#include "platform/platform.h"
#include "support/message_box_recorder.h"
#include "support/package_fixtures.h"
#include "support/scratch_folder.h"

namespace fs = std::filesystem;
using testsupport::Member;

namespace {

constexpr char kPassword[] = "pass word";

// An archive behind some bytes, as it sits in a package, opened for extraction.
class Extraction : public testing::Test {
 protected:
  void Open(const std::vector<sfxpkg::ArchiveMember>& members) {
    const std::string file = std::string(5000, 'I') + testsupport::ZipBytes(members);
    const auto path = scratch_.Write("package.exe", file);
    archive_ = std::make_unique<package::Archive>(path.wstring(), file.size());
    ASSERT_TRUE(archive_->IsOpen());
    out_ = scratch_.Path() / "out";
    fs::create_directories(out_);
  }
  int Extract(const wchar_t* member, const wchar_t* newName, const std::wstring& password = L"pass word") {
    return package::ExtractMember(*archive_, out_.wstring().c_str(), member, newName, password.c_str());
  }
  std::string Out(const fs::path& name) const { return testsupport::ReadFileBytes(out_ / name); }

  testsupport::ScratchFolder scratch_;
  std::unique_ptr<package::Archive> archive_;
  fs::path out_;
};

using testsupport::FatalBox;
using testsupport::WithoutSystemText;

TEST_F(Extraction, WritesMembersByteForByteUnderTheirNewNames) {
  const std::string large = testsupport::SampleBytes(200000);  // several transfer-buffer pieces
  Open({Member("A0", "data", kPassword), Member("A1", large, kPassword), Member("A3", large, kPassword, 0),
        Member("A4", "", kPassword)});
  testsupport::MessageBoxRecorder boxes;
  EXPECT_EQ(Extract(L"a0", L"setup.dat"), 0);  // ASCII letters match without regard to case
  EXPECT_EQ(Extract(L"A1", L"Package.exe"), 0);
  EXPECT_EQ(Extract(L"A3", L"Setup_UI.dll"), 0);  // stored, not deflated
  EXPECT_EQ(Extract(L"A4", L"Setup_Exp.dll"), 0);  // zero length
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_EQ(Out("setup.dat"), "data");
  EXPECT_EQ(Out("Package.exe"), large);
  EXPECT_EQ(Out("Setup_UI.dll"), large);
  EXPECT_TRUE(fs::exists(out_ / "Setup_Exp.dll"));
  EXPECT_EQ(Out("Setup_Exp.dll"), "");
#ifndef _WIN32
  EXPECT_EQ(fs::status(out_ / "Package.exe").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
#endif
}

TEST_F(Extraction, AMissingMemberOrArchiveGivesItsCodeSilently) {
  Open({Member("A0", "data", kPassword)});
  testsupport::MessageBoxRecorder boxes;
  EXPECT_EQ(Extract(L"A3", L"Setup_UI.dll"), 2);
  package::Archive notOpen((scratch_.Path() / "missing.exe").wstring(), 1000);
  EXPECT_EQ(package::ExtractMember(notOpen, out_.wstring().c_str(), L"A0", L"setup.dat", L"pw"), 1603);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_TRUE(fs::is_empty(out_));
}

TEST_F(Extraction, WrongPasswordOrDamageIsNeverReportedAsExtracted) {
  const std::string data = testsupport::SampleBytes(50000);
  Open({Member("deflated", data, kPassword), Member("stored", data, kPassword, 0),
        Member("plain", data, std::string(), 9)});
  testsupport::MessageBoxRecorder boxes;
  // Neither the library nor the archive format checks the password itself: a wrong
  // one shows as undecodable data, or for a stored member only as a CRC mismatch.
  EXPECT_EQ(Extract(L"deflated", L"d.bin", L"wrong"), 1620);
  EXPECT_EQ(Extract(L"stored", L"s.bin", L"wrong"), 1620);
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  for (const auto& box : boxes.Boxes()) {
    EXPECT_EQ(WithoutSystemText(box.text, L"Corrupt archive!"), FatalBox(L"Corrupt archive!"));
    EXPECT_EQ(box.style, platform::kMbOk | platform::kMbIconHand);
  }
}

TEST_F(Extraction, AStreamThatEndsBeforeTheMembersSizeIsNotExtracted) {
  // The central directory promises more than the compressed stream holds, as a
  // garbage stream decrypted with a wrong password can: the library then reports
  // the end of the data and never compares the CRC.
  std::string zip = testsupport::ZipBytes({Member("A0", testsupport::SampleBytes(5000), kPassword)});
  const size_t local = zip.find("PK\x03\x04");
  const size_t central = zip.find("PK\x01\x02");
  ASSERT_NE(central, std::string::npos);
  zip[local + 22] = static_cast<char>(zip[local + 22] + 1);  // one byte more, in both headers
  zip[central + 24] = static_cast<char>(zip[central + 24] + 1);
  const auto path = scratch_.Write("short.exe", zip);
  package::Archive archive(path.wstring(), zip.size());
  ASSERT_TRUE(archive.IsOpen());
  out_ = scratch_.Path();
  testsupport::MessageBoxRecorder boxes;
  EXPECT_EQ(package::ExtractMember(archive, out_.wstring().c_str(), L"A0", L"setup.dat", L"pass word"), 1620);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(WithoutSystemText(boxes.Texts()[0], L"Corrupt archive!"), FatalBox(L"Corrupt archive!"));
}

TEST_F(Extraction, ReplacesAReadOnlyFileButNotAFolder) {
  Open({Member("A0", "new data", kPassword)});
  std::ofstream(out_ / "setup.dat") << "old";
  fs::permissions(out_ / "setup.dat", fs::perms::owner_read);
  fs::create_directories(out_ / "folder.dat" / "inside");
  testsupport::MessageBoxRecorder boxes;

  EXPECT_EQ(Extract(L"A0", L"setup.dat"), 0);
  EXPECT_EQ(Out("setup.dat"), "new data");
  EXPECT_TRUE(boxes.Boxes().empty());

  EXPECT_EQ(Extract(L"A0", L"folder.dat"), 19);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(WithoutSystemText(boxes.Texts()[0], L"Deletefile failed."), FatalBox(L"Deletefile failed."));
  EXPECT_TRUE(fs::is_directory(out_ / "folder.dat" / "inside"));
}

TEST_F(Extraction, CreatesMissingFoldersOnlyForMembersStoredInFolders) {
  Open({Member("sub/dir/x.bin", "deep", kPassword), Member("A0", "flat", kPassword), Member("dir/", "", kPassword)});
  testsupport::MessageBoxRecorder boxes;

  EXPECT_EQ(Extract(L"sub/dir/x.bin", nullptr), 0);  // its own name, folders and all
  EXPECT_EQ(Out(fs::path("sub") / "dir" / "x.bin"), "deep");

  // The member's name has no folders: no fallback, the system's code of the failed create.
  const int missingFolder = Extract(L"A0", (std::wstring(L"nowhere") + platform::kPathSeparator + L"x").c_str());
  EXPECT_EQ(missingFolder, 3);  // ERROR_PATH_NOT_FOUND
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_EQ(boxes.Texts()[0], FatalBox(L"Datei konnte nicht entpackt werden.") + platform::SystemErrorText(3));

  EXPECT_EQ(Extract(L"dir/", L"ignored"), 0);  // a directory member has no data
  EXPECT_FALSE(fs::exists(out_ / "ignored"));
}

TEST_F(Extraction, TheFallbackCreatesTheOutputFolderItself) {
  Open({Member("sub/x.bin", "deep", kPassword)});
  testsupport::MessageBoxRecorder boxes;
  const fs::path folder = scratch_.Path() / "not yet" / "there";
  EXPECT_EQ(package::ExtractMember(*archive_, folder.wstring().c_str(), L"sub/x.bin", L"x.bin", L"pass word"), 0);
  EXPECT_EQ(testsupport::ReadFileBytes(folder / "x.bin"), "deep");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(Extraction, OutputFolderEndingInTheOtherSeparatorIsNormalized) {
  Open({Member("A0", "data", kPassword)});
  const wchar_t other = platform::kPathSeparator == L'\\' ? L'/' : L'\\';
  const std::wstring folder = out_.wstring() + other;
  EXPECT_EQ(package::ExtractMember(*archive_, folder.c_str(), L"A0", L"setup.dat", L"pass word"), 0);
  EXPECT_EQ(Out("setup.dat"), "data");
}

TEST_F(Extraction, PathsAndNamesBeyondTheLimitsAreRefusedWithABox) {
  Open({Member("A0", "data", kPassword)});
  struct Case {
    const char* what;
    std::wstring folder, member, newName;
  };
  const Case cases[] = {
      {"folder plus name over 259 bytes", out_.wstring(), L"A0", std::wstring(250, L'n')},
      {"a folder over 259 bytes", out_.wstring() + platform::kPathSeparator + std::wstring(270, L'f'), L"A0", L"x"},
      {"a member name beyond the name buffers", out_.wstring(), std::wstring(300, L'A'), L"x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::MessageBoxRecorder boxes;
    EXPECT_EQ(package::ExtractMember(*archive_, c.folder.c_str(), c.member.c_str(), c.newName.c_str(), L"pass word"),
              206);
    EXPECT_EQ(boxes.Texts(), std::vector<std::wstring>{FatalBox(L"Datei konnte nicht entpackt werden.") +
                                                       platform::SystemErrorText(206)});
    EXPECT_TRUE(fs::is_empty(out_));
  }
}

}  // namespace
