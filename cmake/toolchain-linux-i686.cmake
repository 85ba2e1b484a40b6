# The launcher's core as a 32-bit x86 Linux program: gcc's multilib, linked
# statically, so that qemu-i386-static runs its tests where the machine itself
# cannot run 32-bit programs. Only the unit tests are built for it (preset core32):
# everything they reach but the Win32 platform layer, with 32-bit pointers, size_t
# and longs, as in launcher.exe.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")

# The 32-bit libraries of the multilib packages (zlib from lib32z1-dev).
set(CMAKE_LIBRARY_PATH /usr/lib32)
set(CMAKE_IGNORE_PATH /usr/lib/x86_64-linux-gnu /lib/x86_64-linux-gnu)
set(ZLIB_USE_STATIC_LIBS ON)

find_program(SFX_QEMU_I386 qemu-i386-static)
if(SFX_QEMU_I386)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SFX_QEMU_I386})
endif()
