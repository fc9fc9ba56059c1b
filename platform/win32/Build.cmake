# The Windows program: the Win32 backend, the program file's resources, and GoogleTest built from
# Debian's sources with the cross compiler. Included by the top-level CMakeLists.txt when
# TAPIRUN_PLATFORM is win32 (cmake/mingw-w64.cmake chooses it).

# Every program is linked statically, so it runs on a bare Windows, and under Wine, on its own.
add_link_options(-static)

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
endif()

add_library(tapirun_platform STATIC platform/win32/System.cpp platform/win32/Window.cpp platform/win32/Controls.cpp)
target_include_directories(tapirun_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(tapirun_platform PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_link_libraries(tapirun_platform PUBLIC comctl32 imm32 msimg32 gdi32 user32)
target_compile_options(tapirun_platform PRIVATE ${TAPIRUN_WARNINGS})

add_library(tapirun_testsupport STATIC platform/win32/TestSupport.cpp)
target_compile_definitions(tapirun_testsupport PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_link_libraries(tapirun_testsupport PUBLIC tapirun_platform)
target_compile_options(tapirun_testsupport PRIVATE ${TAPIRUN_WARNINGS})

# The icon is drawn from the cat-paw source by a small program built for this machine.
set(TAPIRUN_HOST_CXX c++ CACHE STRING "The build machine's C++ compiler, for the icon generator")
set(icon_maker ${CMAKE_BINARY_DIR}/resources/make-icon)
set(TAPIRUN_ICON ${CMAKE_BINARY_DIR}/resources/tapirun.ico)
add_custom_command(OUTPUT ${icon_maker}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND ${TAPIRUN_HOST_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR}
            ${CMAKE_SOURCE_DIR}/platform/win32/resources/MakeIcon.cpp ${CMAKE_SOURCE_DIR}/Unit1/CatPaw.cpp
            -o ${icon_maker}
    DEPENDS platform/win32/resources/MakeIcon.cpp Unit1/CatPaw.cpp Unit1/CatPaw.h platform/Platform.h
    COMMENT "Building the icon generator for the build machine")
add_custom_command(OUTPUT ${TAPIRUN_ICON}
    COMMAND ${icon_maker} ${TAPIRUN_ICON}
    DEPENDS ${icon_maker}
    COMMENT "Drawing the program file's cat-paw icon")
configure_file(platform/win32/resources/tapirun.rc.in ${CMAKE_BINARY_DIR}/resources/tapirun.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/resources/tapirun.rc PROPERTIES OBJECT_DEPENDS ${TAPIRUN_ICON})
# windres reads resource scripts as code page 1252 unless told otherwise.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# Once the program's target exists: a windowed program with its resources.
function(tapirun_windows_program)
    target_sources(tapirun PRIVATE ${CMAKE_BINARY_DIR}/resources/tapirun.rc)
    set_target_properties(tapirun PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
cmake_language(DEFER CALL tapirun_windows_program)
