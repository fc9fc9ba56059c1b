# The Windows program: the Win32 backend and GoogleTest built from Debian's sources with the cross
# compiler. Included by the top-level CMakeLists.txt when TAPIRUN_PLATFORM is win32
# (cmake/mingw-w64.cmake chooses it).

# Every program is linked statically, so it runs on a bare Windows, and under Wine, on its own.
add_link_options(-static)

if(TAPIRUN_TESTS)
    include(cmake/GoogleTest.cmake)
endif()

add_library(tapirun_platform STATIC platform/core/SelfDrawn.cpp platform/win32/Driver.cpp platform/win32/System.cpp
    platform/win32/Window.cpp platform/win32/Controls.cpp platform/win32/Accessible.cpp)
target_include_directories(tapirun_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_definitions(tapirun_platform PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
target_link_libraries(tapirun_platform PUBLIC comctl32 imm32 msimg32 gdi32 user32 oleacc oleaut32 ole32 uuid)
target_compile_options(tapirun_platform PRIVATE ${TAPIRUN_WARNINGS})
