# minizip, compiled from zlib's own contrib/minizip in Debian's zlib source package
# (unpacked by scripts/bootstrap). As shipped, unzip.c forces NOUNCRYPT at its top,
# which compiles decryption out; we drop exactly that forced define, so the archive
# members' traditional PKWARE encryption can be read, hand its two per-byte loops
# (decryption, CRC-32) to our zipcodec library and find zip64 archives behind other
# bytes (below). Nothing else changes.

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

# Replaces original with replacement in unzip_text; a text that is not exactly as
# expected stops the configuration, naming what was looked for.
function(sfx_patch_unzip what original replacement)
  string(FIND "${unzip_text}" "${original}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${minizip_src}/unzip.c: ${what} is not as we expect it; check the patch")
  endif()
  string(REPLACE "${original}" "${replacement}" patched "${unzip_text}")
  set(unzip_text "${patched}" PARENT_SCOPE)
endfunction()

sfx_patch_unzip("the forced NOUNCRYPT" "#ifndef NOUNCRYPT\n        #define NOUNCRYPT\n#endif\n" "")

# The two per-byte loops of unzReadCurrentFile go to our zipcodec library
# (src/zipcodec): decryption, whose chain of dependent instructions per byte is
# most of the launcher's time, and the CRC-32 of the output, done with carry-less
# multiplication where the processor has it. Both give byte for byte what the
# library's own code gives (tests/unit/zip_codec_test.cpp).
set(decrypt_loop_original [=[
                uInt i;
                for(i=0;i<uReadThis;i++)
                  pfile_in_zip_read_info->read_buffer[i] =
                      zdecode(s->keys,s->pcrc_32_tab,
                              pfile_in_zip_read_info->read_buffer[i]);]=])
set(decrypt_loop_fast [=[
                zip_decrypt(s->keys, (unsigned char*)pfile_in_zip_read_info->read_buffer, uReadThis);]=])
sfx_patch_unzip("the decryption loop" "${decrypt_loop_original}" "${decrypt_loop_fast}")
# Every CRC of member data (stored and deflated members alike).
set(crc_call_original "crc32(pfile_in_zip_read_info->crc32,")
string(REGEX MATCHALL "[^_]crc32\\(pfile_in_zip_read_info->crc32," crc_calls "${unzip_text}")
list(LENGTH crc_calls crc_call_count)
if(crc_call_count LESS 2)
  message(FATAL_ERROR "${minizip_src}/unzip.c: the CRC of member data is not computed where we expect it; check the patch")
endif()
string(REPLACE "${crc_call_original}" "zip_${crc_call_original}" unzip_text "${unzip_text}")
set(unzip_include "#include \"unzip.h\"\n")
sfx_patch_unzip("the #include of unzip.h" "${unzip_include}" "${unzip_include}#include \"zip_codec.h\"\n")
# A zip64 archive with other bytes in front of it (our packages put the launcher
# image there) is found. The library finds the zip64 end record at the offset its
# locator gives, which counts from the archive's own first byte, so with bytes in
# front it looks in the wrong place and gives up. The record lies
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
sfx_patch_unzip("the zip64 end record lookup" "${zip64_record_original}" "${zip64_record_shifted}")
file(CONFIGURE OUTPUT "${minizip_gen}/unzip.c" CONTENT "${unzip_text}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${minizip_src}/unzip.c")

set(minizip_sources "${minizip_gen}/unzip.c" "${minizip_src}/zip.c" "${minizip_src}/ioapi.c")
if(WIN32)
  list(APPEND minizip_sources "${minizip_src}/iowin32.c")
endif()

# The fast loops. The Windows build optimizes for size everywhere else; these are
# where the launcher spends its time, so they are optimized for speed.
add_library(zipcodec STATIC
  "${CMAKE_SOURCE_DIR}/src/zipcodec/zip_crc32.c"
  "${CMAKE_SOURCE_DIR}/src/zipcodec/zip_decrypt.cpp")
target_include_directories(zipcodec PUBLIC "${CMAKE_SOURCE_DIR}/src/zipcodec")
target_compile_options(zipcodec PRIVATE -Wall -Wextra -Werror "$<$<CONFIG:MinSizeRel>:-O2>")
target_link_libraries(zipcodec PUBLIC ZLIB::ZLIB)

add_library(minizip STATIC ${minizip_sources})
target_include_directories(minizip PUBLIC "${minizip_src}")
target_compile_options(minizip PRIVATE "$<$<CONFIG:MinSizeRel>:-O2>")
# Member names compare without regard to ASCII case on every platform, as on Windows.
target_compile_definitions(minizip PUBLIC CASESENSITIVITYDEFAULT_NO)
if(NOT WIN32)
  target_compile_definitions(minizip PRIVATE _LARGEFILE64_SOURCE)
endif()
# Third-party code: keep its own warnings out of our -Werror build.
target_compile_options(minizip PRIVATE -w)
target_link_libraries(minizip PUBLIC zipcodec ZLIB::ZLIB)
