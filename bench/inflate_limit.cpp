// A lower bound for the launcher's extraction: the same members of an archive
// without encryption, read through minizip with the launcher's 65,535-byte buffer
// and written to files, and nothing else.
//   inflate_limit ARCHIVE OUTPUT_DIR
#include <cstdio>
#include <string>
#include <vector>

#include "unzip.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: inflate_limit ARCHIVE OUTPUT_DIR\n");
    return 2;
  }
  unzFile archive = unzOpen64(argv[1]);
  if (archive == nullptr) return 1;
  std::vector<char> buffer(0xFFFF);
  int status = 0;
  for (int more = unzGoToFirstFile(archive); more == UNZ_OK; more = unzGoToNextFile(archive)) {
    char name[256] = {};
    unzGetCurrentFileInfo64(archive, nullptr, name, sizeof name - 1, nullptr, 0, nullptr, 0);
    if (unzOpenCurrentFile(archive) != UNZ_OK) return 1;
    FILE* out = std::fopen((std::string(argv[2]) + "/" + name).c_str(), "wb");
    if (out == nullptr) return 1;
    int count;
    while ((count = unzReadCurrentFile(archive, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
      std::fwrite(buffer.data(), 1, static_cast<size_t>(count), out);
    }
    std::fclose(out);
    if (count < 0 || unzCloseCurrentFile(archive) != UNZ_OK) status = 1;
  }
  unzClose(archive);
  return status;
}
