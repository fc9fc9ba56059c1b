# The Windows program's tests, run under Wine on an Xvfb display of their own with a JIS keymap.
# One Wine session serves them all: a fixture starts it before the first test and stops it after
# the last, because Wine's helper processes would otherwise hold the tests' output open.
set(wine ${CMAKE_CURRENT_SOURCE_DIR}/win32/wine.sh)

# The long run measures memory through Linux's /proc; the rest of the form tests serve both backends.
get_target_property(form_sources form_tests SOURCES)
list(REMOVE_ITEM form_sources LongRunTest.cpp)
set_target_properties(form_tests PROPERTIES SOURCES "${form_sources}")
set(session ${CMAKE_BINARY_DIR}/wine)

# Console helpers the scripts call inside the session: the prefix's settings, the taskbar's and a
# window's state, and a program that dies with the taskbar hidden.
add_executable(win32_probe win32/Probe.cpp)
target_compile_definitions(win32_probe PRIVATE UNICODE _UNICODE)
target_compile_options(win32_probe PRIVATE ${TAPIRUN_WARNINGS})
target_link_options(win32_probe PRIVATE -municode)

add_executable(win32_crash win32/Crash.cpp)
target_link_libraries(win32_crash PRIVATE tapirun_platform)
target_compile_options(win32_crash PRIVATE ${TAPIRUN_WARNINGS})

# What only the Windows program has: the taskbar, the timers' deadlines, the version record and
# the icon, the input method switched off, the regional decimal separator.
add_executable(win32_tests FormTestMain.cpp win32/TaskbarTest.cpp win32/TimerTest.cpp win32/ResourceTest.cpp
    win32/InputMethodTest.cpp
    win32/LocaleTest.cpp win32/AccessibleTest.cpp)
target_compile_definitions(win32_tests PRIVATE UNICODE _UNICODE)
target_include_directories(win32_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(win32_tests PRIVATE tapirun_forms tapirun_testsupport GTest::gtest version oleacc)
target_compile_options(win32_tests PRIVATE ${TAPIRUN_WARNINGS})
add_dependencies(win32_tests tapirun win32_crash)

add_test(NAME wine_session_start COMMAND ${wine} start ${session} $<TARGET_FILE:win32_probe>)
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
add_test(NAME wine_session_stop COMMAND ${wine} stop ${session})
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# Named for their build, as every test of one CTest run over the three builds is (make test).
foreach(suite drill_tests form_tests win32_tests)
    set(name ${suite})
    if(NOT suite MATCHES "^win32_")
        set(name win32_${suite})
    endif()
    add_test(NAME ${name} COMMAND ${wine} run ${session} $<TARGET_FILE:${suite}> --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120 RESOURCE_LOCK wine)
endforeach()
# Under Wine each event of the randomized driver costs some milliseconds: one sequence of it shows
# the window messages' translation, and the core's rules get their long walk on the recording driver.
set_tests_properties(win32_form_tests PROPERTIES ENVIRONMENT TAPIRUN_EVENTS=2000)

# The picture test of scaling at the DPIs Windows offers for 125 %, 150 % and 200 %, which the core's
# rule draws at factors 1, 1 and 2, on a screen that is 1024x768 program pixels at each; the test
# program carries the program's manifest, so that it is as aware of the DPI as the program. The
# prefix's DPI is set for each run and put back to 96 after it.
target_sources(form_tests PRIVATE ${CMAKE_BINARY_DIR}/resources/manifest.rc)
foreach(run "120;1024x768;1" "144;1024x768;1" "192;2048x1536;2")
    list(GET run 0 dpi)
    list(GET run 1 screen)
    list(GET run 2 factor)
    add_test(NAME win32_form_tests_dpi_${dpi} COMMAND ${wine} dpi ${session} ${dpi} ${screen} $<TARGET_FILE:form_tests>
        --gtest_brief=1 --gtest_filter=SharpnessTest.*)
    set_tests_properties(win32_form_tests_dpi_${dpi} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 60 RESOURCE_LOCK wine
        ENVIRONMENT TAPIRUN_FACTOR=${factor})
endforeach()

# The program file on the session's display, driven with xdotool.
add_test(NAME win32_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/e2e.sh ${session} $<TARGET_FILE:tapirun>
    $<TARGET_FILE:win32_probe>)
set_tests_properties(win32_end_to_end PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 120 RESOURCE_LOCK wine)

# The program people run carries nothing of the tests.
add_test(NAME win32_program_carries_no_tests COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/product-symbols.sh native ${CMAKE_NM}
    $<TARGET_FILE:tapirun>)
