# GoogleTest built from Debian's sources with the build's own compiler, for the builds (Windows, the
# browser) whose compiler cannot link the system's copy. Only a tree with its tests on builds it.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# Compiled once per build and never stepped through: quickly, without debug information.
target_compile_options(gtest PRIVATE -O1 -g0)
target_compile_options(gtest_main PRIVATE -O1 -g0)
if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
endif()
