# minizip, compiled from zlib's own contrib/minizip in Debian's zlib source package
# (unpacked by scripts/bootstrap). As shipped, unzip.c forces NOUNCRYPT at its top,
# which compiles decryption out; we drop exactly that forced define, so the archive
# members' traditional PKWARE encryption can be read, speed up the decryption loop
# and find zip64 archives behind other bytes (both below). Nothing else changes.

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

# Our one change to how it works: the decryption loop of unzReadCurrentFile keeps
# the three cipher keys in local 32-bit variables instead of going through
# zdecode()/update_keys() on the state for every byte. The cipher is byte for byte
# the same (only bits 24-31 of the second key ever reach the output, so its value
# modulo 2^32 suffices); decryption is more than half of the launcher's work.
set(decrypt_loop_original [=[
                uInt i;
                for(i=0;i<uReadThis;i++)
                  pfile_in_zip_read_info->read_buffer[i] =
                      zdecode(s->keys,s->pcrc_32_tab,
                              pfile_in_zip_read_info->read_buffer[i]);]=])
set(decrypt_loop_fast [=[
                uInt i;
                const z_crc_t* tab = s->pcrc_32_tab;
                unsigned int k0 = (unsigned int)s->keys[0];
                unsigned int k1 = (unsigned int)s->keys[1];
                unsigned int k2 = (unsigned int)s->keys[2];
                unsigned char* p = (unsigned char*)pfile_in_zip_read_info->read_buffer;
                for(i=0;i<uReadThis;i++)
                {
                    unsigned int temp = (k2 & 0xffff) | 2;
                    unsigned int c = p[i] ^ (((temp * (temp ^ 1)) >> 8) & 0xff);
                    k0 = (unsigned int)tab[(k0 ^ c) & 0xff] ^ (k0 >> 8);
                    k1 = (k1 + (k0 & 0xff)) * 134775813u + 1;
                    k2 = (unsigned int)tab[(k2 ^ (k1 >> 24)) & 0xff] ^ (k2 >> 8);
                    p[i] = (unsigned char)c;
                }
                s->keys[0] = k0;
                s->keys[1] = k1;
                s->keys[2] = k2;]=])
string(FIND "${unzip_text}" "${decrypt_loop_original}" decrypt_loop_at)
if(decrypt_loop_at EQUAL -1)
  message(FATAL_ERROR "${minizip_src}/unzip.c: the decryption loop is not where we expect it; check the patch")
endif()
string(REPLACE "${decrypt_loop_original}" "${decrypt_loop_fast}" unzip_text "${unzip_text}")
# Our second change: a zip64 archive with other bytes in front of it (our packages
# put the launcher image there) is found. The library finds the zip64 end record
# at the offset its locator gives, which counts from the archive's own first byte,
# so with bytes in front it looks in the wrong place and gives up. The record lies
# directly in front of its locator (56 bytes when it carries no extensible data);
# when it is there, that position is taken, and the shift is then allowed for as
# for the ordinary end record. Otherwise the locator's offset is tried as before.
set(zip64_record_original [=[
    /* Goto end of central directory record */
    if (ZSEEK64(*pzlib_filefunc_def,filestream, relativeOffset,ZLIB_FILEFUNC_SEEK_SET)!=0)
        return 0;]=])
set(zip64_record_shifted [=[
    if (uPosFound >= 56)
    {
        ZPOS64_T recordSize;
        if (ZSEEK64(*pzlib_filefunc_def,filestream, uPosFound - 56,ZLIB_FILEFUNC_SEEK_SET)==0 &&
            unz64local_getLong(pzlib_filefunc_def,filestream,&uL)==UNZ_OK && uL == 0x06064b50 &&
            unz64local_getLong64(pzlib_filefunc_def,filestream,&recordSize)==UNZ_OK && recordSize == 44)
            return uPosFound - 56;
    }

    /* Goto end of central directory record */
    if (ZSEEK64(*pzlib_filefunc_def,filestream, relativeOffset,ZLIB_FILEFUNC_SEEK_SET)!=0)
        return 0;]=])
string(FIND "${unzip_text}" "${zip64_record_original}" zip64_record_at)
if(zip64_record_at EQUAL -1)
  message(FATAL_ERROR "${minizip_src}/unzip.c: the zip64 end record lookup is not where we expect it; check the patch")
endif()
string(REPLACE "${zip64_record_original}" "${zip64_record_shifted}" unzip_text "${unzip_text}")
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
