#include "package/member_extraction.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "package/fatal_error.h"
#include "package/path_helpers.h"
#include "platform/platform.h"

namespace package {
namespace {

constexpr size_t kTransferBufferSize = 0xFFFF;
constexpr size_t kConvertedTextSize = platform::kMaxPathBytes + 1;
constexpr wchar_t kNotExtracted[] = L"Datei konnte nicht entpackt werden.";
constexpr wchar_t kCorruptArchive[] = L"Corrupt archive!";

// Where members are written: absolute, ending in a separator once set. Each
// ExtractMember call sets it; it keeps the last folder afterwards.
PathBuffer g_outputFolder{};

using ConvertedText = std::array<char, kConvertedTextSize>;

// An input text in the 8-bit code page; false when it needs more than 260 bytes.
bool Convert(const wchar_t* text, ConvertedText& out) {
  out.fill('\0');
  const std::string converted = platform::ToAnsi(text != nullptr ? text : L"");
  if (converted.size() + 1 > platform::kMaxPathBytes) return false;
  std::memcpy(out.data(), converted.c_str(), converted.size());
  return true;
}

// Texts beyond the path limits are refused, never cut short.
int RefuseTooLong() {
  platform::SetLastError(platform::kErrorFilenameExcedRange);
  return ReportFatalError(kNotExtracted, platform::kErrorFilenameExcedRange);
}

bool IsSeparator(char ch) { return ch == '/' || ch == '\\'; }

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

// Streams the open member into file; 0 or the code already reported.
int CopyMember(unzFile archive, uint64_t memberSize, platform::OutputFile& file, char* buffer) {
  uint64_t copied = 0;
  for (;;) {
    const int count = unzReadCurrentFile(archive, buffer, static_cast<unsigned>(kTransferBufferSize));
    if (count < 0) return ReportFatalError(kCorruptArchive, platform::kErrorInstallPackageInvalid);
    if (count == 0) {
      // A compressed stream that ends before the member's size (garbage from a
      // wrong password can) is cut short, and the library skips its CRC check then.
      if (copied != memberSize) return ReportFatalError(kCorruptArchive, platform::kErrorInstallPackageInvalid);
      return 0;
    }
    copied += static_cast<uint64_t>(count);
    size_t written = 0;
    // A write that stores less than it was given is as much a failure as one that fails.
    if (!file.Write(buffer, static_cast<size_t>(count), written) || written != static_cast<size_t>(count)) {
      if (platform::LastError() == 0) platform::SetLastError(platform::kErrorWriteFault);
      return ReportFatalError(kNotExtracted, platform::kErrorWriteFault);
    }
  }
}

// Writes the opened member to outputPath: steps from making the path absolute to
// closing the output file.
int WriteMember(unzFile archive, uint64_t memberSize, PathBuffer& outputPath, bool memberHasFolders, char* buffer) {
  if (!MakeAbsolute(outputPath)) return RefuseTooLong();
  outputPath = NormalizeSeparators(outputPath.data());

  if (platform::PathExistsAnsi(outputPath.data())) {
    platform::SetAttributesNormalAnsi(outputPath.data());
    if (!platform::RemoveFileAnsi(outputPath.data())) {
      return ReportFatalError(L"Deletefile failed.", platform::kErrorWriteProtect);
    }
  }

  platform::OutputFile file;
  bool created = file.Create(outputPath.data());
  // The fallback follows the member's own name: only a member stored in folders
  // gets its missing folders created.
  if (!created && memberHasFolders && CreateParentFolders(outputPath.data())) {
    created = file.Create(outputPath.data());
  }
  if (!created) {
    const int error = platform::LastError();
    return ReportFatalError(kNotExtracted, error);
  }
  return CopyMember(archive, memberSize, file, buffer);
}

}  // namespace

int ExtractMember(ArchiveHandle* handle, const wchar_t* outputFolder, const wchar_t* memberName,
                  const wchar_t* newName, const wchar_t* password) {
  ConvertedText folder, member, name, secret;
  // Every text is converted, even after one did not fit.
  bool converted = Convert(outputFolder, folder);
  converted = Convert(memberName, member) && converted;
  converted = Convert(newName, name) && converted;
  converted = Convert(password, secret) && converted;
  if (handle == nullptr) return platform::kErrorInstallFailure;
  if (!converted) return RefuseTooLong();

  // The folder with one separator appended must fit the folder buffer.
  size_t length = std::strlen(folder.data());
  const bool needsSeparator = length == 0 || folder[length - 1] != NativeSeparator();
  if (length + (needsSeparator ? 1 : 0) + 1 > g_outputFolder.size()) return RefuseTooLong();
  g_outputFolder.fill('\0');
  std::memcpy(g_outputFolder.data(), folder.data(), length);
  if (needsSeparator) g_outputFolder[length] = NativeSeparator();
  if (!MakeAbsolute(g_outputFolder)) return RefuseTooLong();

  // Names of 256 bytes or more are refused by the library: not found either.
  if (unzLocateFile(handle->archive, member.data(), 0) != UNZ_OK) return platform::kErrorFileNotFound;
  return ExtractCurrentMember(handle->archive, newName != nullptr ? name.data() : nullptr, secret.data());
}

int ExtractCurrentMember(unzFile archive, const char* newName, const char* password) {
  unz_file_info64 info;
  // One byte more than the library may fill keeps the name terminated.
  std::array<char, platform::kMaxPathBytes + 1> memberName{};
  if (unzGetCurrentFileInfo64(archive, &info, memberName.data(), memberName.size() - 1, nullptr, 0, nullptr, 0) !=
      UNZ_OK) {
    return ReportFatalError(kCorruptArchive, platform::kErrorInstallPackageInvalid);
  }

  platform::CommittedBuffer transfer(kTransferBufferSize);
  if (!transfer) return ReportFatalError(L"Alloc failed!", platform::kErrorOutOfMemory);

  const char* baseName = memberName.data();
  for (const char* p = memberName.data(); *p != '\0'; ++p) {
    if (IsSeparator(*p)) baseName = p + 1;
  }
  // A directory member has no data; nothing is written for it.
  if (*baseName == '\0') return 0;
  const bool memberHasFolders = baseName != memberName.data();

  const char* fileName = newName != nullptr ? newName : memberName.data();
  const size_t folderLength = std::strlen(g_outputFolder.data());
  const size_t nameLength = std::strlen(fileName);
  if (folderLength + nameLength + 1 > platform::kMaxPathBytes) return RefuseTooLong();
  PathBuffer outputPath{};
  std::memcpy(outputPath.data(), g_outputFolder.data(), folderLength);
  std::memcpy(outputPath.data() + folderLength, fileName, nameLength);

  int result = 0;
  if (unzOpenCurrentFilePassword(archive, password) != UNZ_OK) {
    result = ReportFatalError(L"Passwort scheint fehlerhaft.", platform::kErrorInvalidPassword);
  } else {
    result = WriteMember(archive, info.uncompressed_size, outputPath, memberHasFolders, transfer.Data());
  }
  transfer = platform::CommittedBuffer();
  // The library checks the CRC when the member is closed. A mismatch means damaged
  // data or a wrong password (the library never checks the password itself): that
  // file must not count as extracted.
  const int closed = unzCloseCurrentFile(archive);
  if (result == 0 && closed == UNZ_CRCERROR) {
    result = ReportFatalError(kCorruptArchive, platform::kErrorInstallPackageInvalid);
  }
  return result;
}

}  // namespace package
