# minizip, compiled from zlib's own contrib/minizip in Debian's zlib source package
# (unpacked by scripts/bootstrap). As shipped, unzip.c forces NOUNCRYPT at its top,
# which compiles decryption out; we drop exactly that forced define, so the archive
# members' traditional PKWARE encryption can be read, hand its two per-byte loops
# (decryption, CRC-32) to our zipcodec library and find zip64 archives behind other
# bytes (cmake/minizip-unzip.patch). Nothing else changes.

set(SFX_ZLIB_SOURCE_DIR "/var/cache/sfx-launcher/zlib" CACHE PATH
    "Debian's zlib source package, unpacked (scripts/bootstrap fetches it)")
set(minizip_src "${SFX_ZLIB_SOURCE_DIR}/contrib/minizip")
if(NOT EXISTS "${minizip_src}/unzip.c")
  message(FATAL_ERROR "minizip sources not found in ${minizip_src}: run scripts/bootstrap first")
endif()

if(WIN32)
  # Linked into the program: a zlib DLL is nothing Windows ships.
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

# Our changes to unzip.c are one unified diff, cmake/minizip-unzip.patch, whose
# header says why each hunk is there and which Debian zlib versions it was checked
# against. It is applied as it stands (no fuzz): a zlib whose unzip.c has changed
# where we change it stops the configuration, naming the hunk.
find_program(SFX_PATCH patch)
if(NOT SFX_PATCH)
  message(FATAL_ERROR "patch is needed to build minizip: run scripts/bootstrap first")
endif()
set(minizip_gen "${CMAKE_BINARY_DIR}/minizip")
set(minizip_patch "${CMAKE_SOURCE_DIR}/cmake/minizip-unzip.patch")
file(MAKE_DIRECTORY "${minizip_gen}")
execute_process(
  COMMAND "${SFX_PATCH}" --batch --fuzz=0 --no-backup-if-mismatch --reject-file=-
          --output=${minizip_gen}/unzip.c.new ${minizip_src}/unzip.c ${minizip_patch}
  RESULT_VARIABLE patch_status OUTPUT_VARIABLE patch_output ERROR_VARIABLE patch_output)
if(NOT patch_status EQUAL 0)
  file(READ "${SFX_ZLIB_SOURCE_DIR}/.debian-version" zlib_version)
  string(STRIP "${zlib_version}" zlib_version)
  if(patch_output MATCHES "Hunk #([0-9]+) FAILED")
    set(hunk ${CMAKE_MATCH_1})
    file(STRINGS "${minizip_patch}" why REGEX "^  hunk ${hunk}  ")
    string(REGEX REPLACE "^  hunk ${hunk}  +" "" why "${why}")
    message(FATAL_ERROR "hunk ${hunk} of cmake/minizip-unzip.patch (${why}) does not fit the unzip.c of "
                        "Debian's zlib ${zlib_version}: move it to that text (README, minizip)")
  endif()
  message(FATAL_ERROR "cmake/minizip-unzip.patch does not apply to the unzip.c of Debian's zlib "
                      "${zlib_version}: ${patch_output}")
endif()
# Rewritten only when it changes, so that a new configuration rebuilds nothing.
file(COPY_FILE "${minizip_gen}/unzip.c.new" "${minizip_gen}/unzip.c" ONLY_IF_DIFFERENT)
file(REMOVE "${minizip_gen}/unzip.c.new")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${minizip_src}/unzip.c" "${minizip_patch}")

set(minizip_sources "${minizip_gen}/unzip.c" "${minizip_src}/zip.c" "${minizip_src}/ioapi.c")
if(WIN32)
  list(APPEND minizip_sources "${minizip_src}/iowin32.c")
endif()

# The fast loops. The Windows build optimizes for size everywhere else; these are
# where the launcher spends its time, so they are optimized for speed.
add_library(zipcodec STATIC
  "${CMAKE_SOURCE_DIR}/src/zipcodec/zip_crc32.c"
  "${CMAKE_SOURCE_DIR}/src/zipcodec/zip_decrypt.cpp"
  "${CMAKE_SOURCE_DIR}/src/zipcodec/zip_encrypt.cpp")
target_include_directories(zipcodec PUBLIC "${CMAKE_SOURCE_DIR}/src/zipcodec")
target_compile_options(zipcodec PRIVATE -Wall -Wextra -Werror "$<$<CONFIG:MinSizeRel>:-O2>")
target_link_libraries(zipcodec PUBLIC ZLIB::ZLIB)

add_library(minizip STATIC ${minizip_sources})
target_include_directories(minizip PUBLIC "${minizip_src}")
target_compile_options(minizip PRIVATE "$<$<CONFIG:MinSizeRel>:-O2>")
# Member names compare without regard to ASCII case on every platform, as on Windows.
target_compile_definitions(minizip PUBLIC CASESENSITIVITYDEFAULT_NO)
# The library reads a member's data in pieces of this size (16 KiB of its own):
# 256 KiB makes a sixteenth of the reads, each a system call (under Wine several).
target_compile_definitions(minizip PRIVATE UNZ_BUFSIZE=262144)
if(NOT WIN32)
  target_compile_definitions(minizip PRIVATE _LARGEFILE64_SOURCE)
endif()
# Third-party code: keep its own warnings out of our -Werror build.
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC zipcodec ZLIB::ZLIB)
