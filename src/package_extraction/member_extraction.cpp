// Extracting one member into the working folder, with a box for every failure.
#include "package_extraction/member_extraction.h"

#include <cstring>
#include <optional>
#include <string>

#include "package_extraction/fatal_error.h"
#include "package/member_stream.h"
#include "package_extraction/path_helpers.h"
#include "package/user_texts.h"
#include "platform/platform.h"

namespace package {
namespace {

constexpr size_t kConvertedTextSize = platform::kMaxPathBytes + 1;

using ConvertedText = std::array<char, kConvertedTextSize>;

enum class Conversion { kDone, kTooLong, kLossy };

// An input text in the 8-bit code page. A character the code page lacks is never
// replaced by a look-alike: that would write to another folder or file.
Conversion Convert(const wchar_t* text, ConvertedText& out) {
  out.fill('\0');
  const std::optional<std::string> converted = platform::ToAnsiExact(text != nullptr ? text : L"");
  if (!converted) return Conversion::kLossy;
  if (converted->size() + 1 > platform::kMaxPathBytes) return Conversion::kTooLong;
  std::memcpy(out.data(), converted->c_str(), converted->size());
  return Conversion::kDone;
}

// Texts beyond the path limits or outside the code page are refused, never cut short or bent.
int Refuse(int code) { return ReportFatalErrorOf(texts::kNotExtracted, code); }
int RefuseTooLong() { return Refuse(platform::kErrorFilenameExcedRange); }

// Makes path absolute in place; false when the result would not fit.
bool MakeAbsolute(PathBuffer& path) {
  PathBuffer full{};
  const size_t length = platform::FullPathAnsi(path.data(), full.data(), full.size());
  if (length >= full.size()) return false;
  if (length > 0) path = full;  // a failure leaves the path as it was
  return true;
}

// Creates the folder that holds path and every folder above it. False when there
// was no memory for the parent's copy.
bool CreateParentFolders(char* path) {
  ReverseInPlace(path);
  const int lastSeparator = FindFrom(0, path, std::string(1, NativeSeparator()).c_str());
  const int parentLength = static_cast<int>(std::strlen(path)) - lastSeparator;
  ReverseInPlace(path);
  platform::CommittedBuffer parent = CopyToFreshBuffer(path, parentLength < 0 ? 0 : parentLength);
  if (!parent) return false;
  platform::CreateFolderTreeAnsi(parent.Data());  // a parent that exists is no obstacle
  return true;
}

// Writes a member into the output folder under its new name (or its own), showing
// the box for each failure on the way: steps from the output path to closing the file.
class OutputFileSink final : public MemberSink {
 public:
  OutputFileSink(const char* outputFolder, const char* newName) : outputFolder_(outputFolder), newName_(newName) {}

  bool Prepare(const MemberInfo& info) override {
    const size_t lastSeparator = info.name.find_last_of("/\\");
    const size_t baseName = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    // A directory member has no data (its base name is empty); nothing is written for it.
    if (baseName == info.name.size()) return false;
    memberHasFolders_ = baseName != 0;

    const char* fileName = newName_ != nullptr ? newName_ : info.name.c_str();
    const size_t folderLength = std::strlen(outputFolder_);
    const size_t nameLength = std::strlen(fileName);
    if (folderLength + nameLength + 1 > platform::kMaxPathBytes) return Fail(RefuseTooLong());
    std::memcpy(outputPath_.data(), outputFolder_, folderLength);
    std::memcpy(outputPath_.data() + folderLength, fileName, nameLength);
    return true;
  }

  bool Begin() override {
    if (!MakeAbsolute(outputPath_)) return Fail(RefuseTooLong());
    outputPath_ = NormalizeSeparators(outputPath_.data());

    if (platform::PathExistsAnsi(outputPath_.data())) {
      platform::SetAttributesNormalAnsi(outputPath_.data());
      if (!platform::RemoveFileAnsi(outputPath_.data())) {
        return Fail(ReportFatalError(texts::kDeleteFailed, platform::kErrorWriteProtect));
      }
    }

    bool created = file_.Create(outputPath_.data());
    // The fallback follows the member's own name: only a member stored in folders
    // gets its missing folders created.
    if (!created && memberHasFolders_ && CreateParentFolders(outputPath_.data())) {
      created = file_.Create(outputPath_.data());
    }
    if (!created) {
      // A failure that leaves no code behind must not read as success.
      if (platform::LastError() == 0) platform::SetLastError(platform::kErrorOpenFailed);
      return Fail(ReportFatalError(texts::kNotExtracted, platform::LastError()));
    }
    return true;
  }

  bool Store(const char* data, size_t size) override {
    size_t written = 0;
    // A write that stores less than it was given is as much a failure as one that fails.
    if (file_.Write(data, size, written) && written == size) return true;
    // The system's reason (a full disk: 112) is the code, as it is the box's text.
    if (platform::LastError() == 0) platform::SetLastError(platform::kErrorWriteFault);
    return Fail(ReportFatalError(texts::kNotExtracted, platform::LastError()));
  }

  // The code of the failure this sink reported, 0 when none.
  int Result() const { return result_; }
  // Closing may report a write the system had deferred; a file whose data did not
  // all arrive is not extracted. A file to keep goes from its writer into keepIn.
  bool Close(platform::HeldFiles* keepIn) { return keepIn != nullptr ? keepIn->Keep(file_) : file_.Close(); }

 private:
  bool Fail(int code) {
    result_ = code;
    return false;
  }

  const char* const outputFolder_;
  const char* const newName_;
  PathBuffer outputPath_{};
  bool memberHasFolders_ = false;
  platform::OutputFile file_;
  int result_ = 0;
};

}  // namespace

int ExtractMember(Archive& archive, const wchar_t* outputFolder, const wchar_t* memberName, const wchar_t* newName,
                  const wchar_t* password, platform::HeldFiles* held) {
  ConvertedText folder, member, name, secret;
  // Every text is converted, even after one did not fit.
  const Conversion conversions[] = {Convert(outputFolder, folder), Convert(memberName, member),
                                    Convert(newName, name), Convert(password, secret)};
  if (!archive.IsOpen()) return platform::kErrorInstallFailure;
  for (const Conversion conversion : conversions) {
    if (conversion == Conversion::kLossy) return Refuse(platform::kErrorNoUnicodeTranslation);
  }
  for (const Conversion conversion : conversions) {
    if (conversion == Conversion::kTooLong) return RefuseTooLong();
  }

  // The folder with one separator appended must fit the folder buffer.
  PathBuffer absoluteFolder{};
  const size_t length = std::strlen(folder.data());
  const bool needsSeparator = length == 0 || folder[length - 1] != NativeSeparator();
  if (length + (needsSeparator ? 1 : 0) + 1 > absoluteFolder.size()) return RefuseTooLong();
  std::memcpy(absoluteFolder.data(), folder.data(), length);
  if (needsSeparator) absoluteFolder[length] = NativeSeparator();
  if (!MakeAbsolute(absoluteFolder)) return RefuseTooLong();

  OutputFileSink sink(absoluteFolder.data(), newName != nullptr ? name.data() : nullptr);
  const MemberReadResult read = ReadMemberNamed(archive, member.data(), secret.data(), sink);
  const bool closed = sink.Close(read.status == MemberReadStatus::kRead ? held : nullptr);
  switch (read.status) {
    case MemberReadStatus::kRead:
      if (closed) return 0;
      if (platform::LastError() == 0) platform::SetLastError(platform::kErrorWriteFault);
      return ReportFatalError(texts::kNotExtracted, platform::LastError());
    case MemberReadStatus::kMissing:
      // Names of 256 bytes or more are refused by the library: not found either.
      return platform::kErrorFileNotFound;
    case MemberReadStatus::kNoMemory:
      return ReportFatalError(texts::kAllocFailed, platform::kErrorOutOfMemory);
    case MemberReadStatus::kOpenRefused:
      return ReportFatalError(texts::kWrongPassword, platform::kErrorInvalidPassword);
    case MemberReadStatus::kNotStored:
      return sink.Result();  // the sink has shown its box, or skipped a directory member
    case MemberReadStatus::kEntryDamaged:
    case MemberReadStatus::kDataDamaged:
    case MemberReadStatus::kCrcMismatch:
      break;
  }
  return ReportFatalError(texts::kCorruptArchive, platform::kErrorInstallPackageInvalid);
}

}  // namespace package
