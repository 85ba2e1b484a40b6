# Windows, cross-built with Debian's mingw-w64, for the processor that
# SFX_WINDOWS_ARCH names: i686 (launcher.exe, the product, the default) or x86_64
# (launcher64.exe, for systems that cannot start 32-bit programs). The win32-thread
# variant is used on purpose: the posix variant's static runtime imports
# GetTickCount64, which Windows XP does not have.
set(SFX_WINDOWS_ARCH i686 CACHE STRING "Processor of the Windows build: i686 or x86_64")
set_property(CACHE SFX_WINDOWS_ARCH PROPERTY STRINGS i686 x86_64)
if(NOT SFX_WINDOWS_ARCH MATCHES "^(i686|x86_64)$")
  message(FATAL_ERROR "SFX_WINDOWS_ARCH is ${SFX_WINDOWS_ARCH}: i686 or x86_64")
endif()
# Test compilations made while configuring read this file again and need the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SFX_WINDOWS_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${SFX_WINDOWS_ARCH})

set(triple ${SFX_WINDOWS_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-win32)
set(CMAKE_CXX_COMPILER ${triple}-g++-win32)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the Windows build run under Wine, in a prefix of the build's own (32- or
# 64-bit, as the program is).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
