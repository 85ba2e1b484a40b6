# Builds the probe that includes the launcher's extraction layer with sfxpkg's
# libraries; passes only when the compiler cannot find that header.
#   cmake -DBUILD_DIR=... -P expect_include_refused.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target sfxpkg_layers_probe
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(status EQUAL 0)
  message(FATAL_ERROR "package_extraction/fatal_error.h compiled with sfxpkg's libraries: the layer wall has a hole")
endif()
if(NOT output MATCHES "package_extraction/fatal_error.h: No such file or directory")
  message(FATAL_ERROR "the probe failed for another reason:\n${output}")
endif()
message(STATUS "ok: sfxpkg's libraries do not reach package_extraction")
