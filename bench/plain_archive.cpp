// The benchmark's unencrypted twin of a package's archive, made by the same zip
// writer and level as sfxpkg, so that "inflate without decryption" is measured on
// the same deflate streams.
//   bench_plain_archive OUTPUT LEVEL NAME=FILE...
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive_writer.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: bench_plain_archive OUTPUT LEVEL NAME=FILE...\n");
    return 2;
  }
  std::vector<sfxpkg::ArchiveMember> members;
  for (int i = 3; i < argc; ++i) {
    const std::string argument = argv[i];
    const size_t equals = argument.find('=');
    if (equals == std::string::npos) return 2;
    sfxpkg::ArchiveMember member;
    member.name = argument.substr(0, equals);
    member.source = argument.substr(equals + 1);
    member.level = std::atoi(argv[2]);
    members.push_back(member);
  }
  std::string error;
  if (!sfxpkg::WriteZipArchive(argv[1], members, error)) {
    std::fprintf(stderr, "bench_plain_archive: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
