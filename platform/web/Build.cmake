# The browser program: the page backend, linked as WebAssembly with Debian's Emscripten, and
# GoogleTest built from Debian's sources with the same compiler. Included by the top-level
# CMakeLists.txt when the tree is configured with emcmake (it chooses web).

# The page runs one thread.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
if(TAPIRUN_TESTS)
    include(cmake/GoogleTest.cmake)
endif()

set(TAPIRUN_DOM_LIBRARY ${CMAKE_SOURCE_DIR}/platform/web/Dom.js)
add_library(tapirun_platform STATIC platform/core/SelfDrawn.cpp platform/web/Driver.cpp platform/web/System.cpp
    platform/web/Window.cpp platform/web/PageRules.cpp)
target_include_directories(tapirun_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(tapirun_platform PRIVATE ${TAPIRUN_WARNINGS})
# The page side, and what every program of this backend links: growing memory, and the runtime's
# string and heap helpers the page side uses.
target_link_options(tapirun_platform PUBLIC "SHELL:--js-library ${TAPIRUN_DOM_LIBRARY}" -sALLOW_MEMORY_GROWTH=1)
set_property(TARGET tapirun_platform APPEND PROPERTY INTERFACE_LINK_DEPENDS ${TAPIRUN_DOM_LIBRARY})


# Node.js runs the build's own tools and the tests that need no page; Debian's needs its module
# folder named and the fetch it has switched off, which the generated scripts would trip over.
find_program(TAPIRUN_NODE_EXECUTABLE node REQUIRED)
set(TAPIRUN_NODE ${TAPIRUN_NODE_EXECUTABLE} --no-experimental-fetch)
