# GoogleTest as Debian ships it. Natively the packaged library; for Windows and the
# 32-bit Linux build it is compiled here from /usr/src/googletest with the cross
# compiler.
if(CMAKE_CROSSCOMPILING)
  set(gtest_root /usr/src/googletest/googletest)
  if(NOT EXISTS "${gtest_root}/src/gtest-all.cc")
    message(FATAL_ERROR "GoogleTest sources not found in ${gtest_root}: run scripts/bootstrap first")
  endif()
  add_library(gtest STATIC "${gtest_root}/src/gtest-all.cc")
  add_library(gtest_main STATIC "${gtest_root}/src/gtest_main.cc")
  target_include_directories(gtest SYSTEM PUBLIC "${gtest_root}/include")
  target_include_directories(gtest PRIVATE "${gtest_root}")
  if(WIN32)
    # The win32-thread compiler that builds the shipped program has no std::mutex;
    # GoogleTest needs it only for its Notification helper, which we give it.
    target_compile_options(gtest PUBLIC
      -include "${CMAKE_SOURCE_DIR}/tests/support/gtest_win32_notification.h")
    target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
  else()
    find_package(Threads REQUIRED)
    target_link_libraries(gtest PUBLIC Threads::Threads)
  endif()
  target_compile_options(gtest PRIVATE -w)
  target_link_libraries(gtest_main PUBLIC gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)
