# The test drivers over each backend: events delivered as a person's, timers fired by hand, pictures
# grabbed, and a driver in front of the backend's that records what the program asks of it. Only
# test programs (and the in-process benchmark) link them; the program people run carries none.
if(TAPIRUN_PLATFORM STREQUAL "qt")
    add_library(tapirun_testsupport STATIC tests/support/Shared.cpp tests/support/Qt.cpp dist/Png.cpp)
    target_link_libraries(tapirun_testsupport PUBLIC tapirun_platform Qt6::Test)
elseif(TAPIRUN_PLATFORM STREQUAL "win32")
    add_library(tapirun_testsupport STATIC tests/support/Shared.cpp tests/support/Win32.cpp dist/Png.cpp)
    target_compile_definitions(tapirun_testsupport PRIVATE UNICODE _UNICODE _WIN32_WINNT=0x0601)
    target_link_libraries(tapirun_testsupport PUBLIC tapirun_platform)
else()
    add_library(tapirun_testsupport STATIC tests/support/Shared.cpp tests/support/Web.cpp tests/support/SelfDrawn.cpp
        dist/Png.cpp)
    target_link_libraries(tapirun_testsupport PUBLIC tapirun_platform)
    # The tests' side of the page, which the published program does not carry.
    set(TAPIRUN_TEST_DOM_LIBRARY ${CMAKE_SOURCE_DIR}/tests/support/TestDom.js)
    target_link_options(tapirun_testsupport PUBLIC "SHELL:--js-library ${TAPIRUN_TEST_DOM_LIBRARY}")
    set_property(TARGET tapirun_testsupport APPEND PROPERTY INTERFACE_LINK_DEPENDS ${TAPIRUN_TEST_DOM_LIBRARY})
    # A picture is the browser's own, taken while the page draws: the test waits for it inside the
    # call, which Asyncify lets return to the browser meanwhile. Only the test programs carry it.
    target_link_options(tapirun_testsupport PUBLIC -sASYNCIFY -sASYNCIFY_IMPORTS=tr_grab
        -sASYNCIFY_STACK_SIZE=65536)
endif()
# Optimised as the program is, since the in-process benchmark times keys through it, but without
# debug information, which cost a third of its compile time.
target_compile_options(tapirun_testsupport PRIVATE ${TAPIRUN_WARNINGS} -g0)
