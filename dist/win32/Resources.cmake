# The Windows program file's resources: the cat-paw icon, the application manifest and the Japanese
# version record. Included by the top-level CMakeLists.txt when TAPIRUN_PLATFORM is win32.

# The icon is drawn from the cat-paw source by a small program built for this machine.
set(TAPIRUN_HOST_CXX c++ CACHE STRING "The build machine's C++ compiler, for the icon generator")
set(icon_maker ${CMAKE_BINARY_DIR}/resources/make-icon)
set(TAPIRUN_ICON ${CMAKE_BINARY_DIR}/resources/tapirun.ico)
add_custom_command(OUTPUT ${icon_maker}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/resources
    COMMAND ${TAPIRUN_HOST_CXX} -std=c++20 -O1 -I${CMAKE_SOURCE_DIR}
            ${CMAKE_SOURCE_DIR}/dist/win32/MakeIcon.cpp ${CMAKE_SOURCE_DIR}/common/CatPaw.cpp
            -o ${icon_maker}
    DEPENDS dist/win32/MakeIcon.cpp common/CatPaw.cpp common/CatPaw.h platform/Platform.h
    COMMENT "Building the icon generator for the build machine")
add_custom_command(OUTPUT ${TAPIRUN_ICON}
    COMMAND ${icon_maker} ${TAPIRUN_ICON}
    DEPENDS ${icon_maker}
    COMMENT "Drawing the program file's cat-paw icon")
set(TAPIRUN_MANIFEST ${CMAKE_BINARY_DIR}/resources/tapirun.manifest)
configure_file(dist/win32/tapirun.manifest.in ${TAPIRUN_MANIFEST} @ONLY)
# The manifest alone, for test programs that must be as aware of the DPI as the program.
file(WRITE ${CMAKE_BINARY_DIR}/resources/manifest.rc "1 24 \"${TAPIRUN_MANIFEST}\"\n")
set_source_files_properties(${CMAKE_BINARY_DIR}/resources/manifest.rc PROPERTIES OBJECT_DEPENDS ${TAPIRUN_MANIFEST})
configure_file(dist/win32/tapirun.rc.in ${CMAKE_BINARY_DIR}/resources/tapirun.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/resources/tapirun.rc PROPERTIES
    OBJECT_DEPENDS "${TAPIRUN_ICON};${TAPIRUN_MANIFEST}")
# windres reads resource scripts as code page 1252 unless told otherwise.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# Once the program's target exists: a windowed program with its resources.
function(tapirun_windows_program)
    target_sources(tapirun PRIVATE ${CMAKE_BINARY_DIR}/resources/tapirun.rc)
    set_target_properties(tapirun PROPERTIES WIN32_EXECUTABLE ON)
endfunction()
cmake_language(DEFER CALL tapirun_windows_program)
