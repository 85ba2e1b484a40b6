# minizip, compiled from zlib's own contrib/minizip in Debian's zlib source package
# (unpacked by scripts/bootstrap). As shipped, unzip.c forces NOUNCRYPT at its top,
# which compiles decryption out; we drop exactly that forced define and change nothing
# else, so the archive members' traditional PKWARE encryption can be read.

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

set(minizip_gen "${CMAKE_BINARY_DIR}/minizip")
file(READ "${minizip_src}/unzip.c" unzip_text)
set(forced_nouncrypt "#ifndef NOUNCRYPT\n        #define NOUNCRYPT\n#endif\n")
string(FIND "${unzip_text}" "${forced_nouncrypt}" forced_at)
if(forced_at EQUAL -1)
  message(FATAL_ERROR "${minizip_src}/unzip.c no longer forces NOUNCRYPT the way we expect; check the patch")
endif()
string(REPLACE "${forced_nouncrypt}" "" unzip_text "${unzip_text}")
file(CONFIGURE OUTPUT "${minizip_gen}/unzip.c" CONTENT "${unzip_text}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${minizip_src}/unzip.c")

set(minizip_sources "${minizip_gen}/unzip.c" "${minizip_src}/zip.c" "${minizip_src}/ioapi.c")
if(WIN32)
  list(APPEND minizip_sources "${minizip_src}/iowin32.c")
endif()

add_library(minizip STATIC ${minizip_sources})
target_include_directories(minizip PUBLIC "${minizip_src}")
# Member names compare without regard to ASCII case on every platform, as on Windows.
target_compile_definitions(minizip PUBLIC CASESENSITIVITYDEFAULT_NO)
if(NOT WIN32)
  target_compile_definitions(minizip PRIVATE _LARGEFILE64_SOURCE)
endif()
# Third-party code: keep its own warnings out of our -Werror build.
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC ZLIB::ZLIB)
