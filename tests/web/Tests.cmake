# The browser program's tests: the same form suites as on the desktop, run in headless Chromium
# over the page backend, driven from Python through the DevTools protocol, in headless Firefox ESR
# through WebDriver BiDi and in WebKitGTK through its WebDriver; the pure drill suite under Node.js;
# the site working offline, safe to host and updated safely; a viewport that changes size; and the
# program in a kiosk on Xvfb with real keys in Chromium, Firefox ESR and WebKitGTK, and in a window
# that goes full screen at the first key.
set(chromium /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/web/chromium.py)

# The long run measures memory through Linux's /proc; the rest of the form tests serve every backend.
get_target_property(form_sources form_tests SOURCES)
list(REMOVE_ITEM form_sources LongRunTest.cpp)
set_target_properties(form_tests PROPERTIES SOURCES "${form_sources}")
# The tests' drivers too are built with less optimisation than the program here, as the tests and
# GoogleTest are everywhere: no benchmark runs through them in the browser.
target_compile_options(tapirun_testsupport PRIVATE -O1)
# The form tests' link optimises what Asyncify adds to every call that may reach a picture: ten
# seconds more to link, a quarter less to run.
target_link_options(form_tests PRIVATE -O2)
target_link_options(drill_tests PRIVATE -O1)
# A test program ends with main, and the page reads its status.
target_link_options(form_tests PRIVATE -sEXIT_RUNTIME=1)
target_link_options(drill_tests PRIVATE -sEXIT_RUNTIME=1 -sENVIRONMENT=web,node)

add_test(NAME web_drill_tests COMMAND ${TAPIRUN_NODE} $<TARGET_FILE:drill_tests> --gtest_brief=1)
# On the usual screen, and on a narrow one where the info buttons reach past the right edge; on the
# usual one every character drawn is also checked against the subset of its face the site serves.
foreach(screen 1024x768 640x480)
    set(faces)
    set(filter ${TAPIRUN_SIZE_TESTS})
    if(screen STREQUAL 1024x768)
        set(faces --faces)
        set(filter *)
    endif()
    add_test(NAME web_form_tests_${screen} COMMAND ${chromium} run --size ${screen} --site ${TAPIRUN_SITE}
        ${faces} --program $<TARGET_FILE:form_tests> -- --gtest_brief=1 --gtest_filter=${filter})
    set_tests_properties(web_form_tests_${screen} PROPERTIES TIMEOUT 300)
endforeach()
# The picture test of scaling at device pixel ratios, each on a viewport of about 1024x768 device
# pixels at factor 1, 2048x1536 at 2 and 3072x2304 at 3; the factor each must come out at is the
# core's rule.
foreach(run "1.25;820x615;1" "1.5;683x512;1" "2;1024x768;2" "3;1024x768;3")
    list(GET run 0 ratio)
    list(GET run 1 size)
    list(GET run 2 factor)
    add_test(NAME web_form_tests_ratio_${ratio} COMMAND ${chromium} run --size ${size} --ratio ${ratio}
        --env TAPIRUN_FACTOR=${factor} --site ${TAPIRUN_SITE} --program $<TARGET_FILE:form_tests> --
        --gtest_brief=1 --gtest_filter=SharpnessTest.*)
    set_tests_properties(web_form_tests_ratio_${ratio} PROPERTIES TIMEOUT 120)
endforeach()
# The same suites in a second engine, Firefox ESR, over WebDriver BiDi.
set(firefox /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/web/firefox.py)
add_test(NAME web_form_tests_firefox COMMAND ${firefox} run --size 1024x768 --site ${TAPIRUN_SITE}
    --program $<TARGET_FILE:form_tests> -- --gtest_brief=1)
# And in a third, WebKitGTK (Safari's), through WebKitWebDriver on an Xvfb of its own.
set(webkit /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/web/webkit.py)
add_test(NAME web_form_tests_webkit COMMAND ${webkit} run --size 1024x768 --site ${TAPIRUN_SITE}
    --program $<TARGET_FILE:form_tests> -- --gtest_brief=1)
set_tests_properties(web_form_tests_firefox web_form_tests_webkit PROPERTIES TIMEOUT 300 RESOURCE_LOCK desktop)
# The page's timers on real time, through the page's own event loop.
add_executable(web_timer_test web/TimerPage.cpp)
target_link_libraries(web_timer_test PRIVATE tapirun_platform)
target_compile_options(web_timer_test PRIVATE ${TAPIRUN_WARNINGS})
target_link_options(web_timer_test PRIVATE -sEXIT_RUNTIME=1)
add_test(NAME web_timer_test COMMAND ${chromium} run --site ${TAPIRUN_SITE} --program $<TARGET_FILE:web_timer_test>)
add_test(NAME web_timer_test_firefox COMMAND ${firefox} run --site ${TAPIRUN_SITE}
    --program $<TARGET_FILE:web_timer_test>)
set_tests_properties(web_timer_test PROPERTIES TIMEOUT 60)
set_tests_properties(web_timer_test_firefox PROPERTIES TIMEOUT 60 RESOURCE_LOCK desktop)
# Two copies of the site on one origin, under sub-paths, behind a host that redirects index.html to
# its folder and one that refuses "_" and "." files: each installs, and each starts offline.
add_test(NAME web_offline COMMAND ${chromium} offline --site ${TAPIRUN_SITE})
add_test(NAME web_offline_firefox COMMAND ${firefox} offline --site ${TAPIRUN_SITE})
add_test(NAME web_offline_webkit COMMAND ${webkit} offline --site ${TAPIRUN_SITE})
set_tests_properties(web_offline PROPERTIES TIMEOUT 120)
set_tests_properties(web_offline_firefox web_offline_webkit PROPERTIES TIMEOUT 120 RESOURCE_LOCK desktop)
# The published page runs only its own program whatever its address says, under its policy, with
# the hosting headers, and a site holding a file a host may refuse is not made; releases published
# on a host that lets caches keep files reach the page whole, from the next start, or not at all,
# and with no service worker in play never two releases' files together.
foreach(check safety update)
    add_test(NAME web_site_${check} COMMAND ${chromium} ${check} --site ${TAPIRUN_SITE} --stage ${TAPIRUN_SITE_STAGE})
    set_tests_properties(web_site_${check} PROPERTIES TIMEOUT 120)
endforeach()
add_test(NAME web_site_update_firefox COMMAND ${firefox} update --site ${TAPIRUN_SITE} --stage ${TAPIRUN_SITE_STAGE})
add_test(NAME web_site_update_webkit COMMAND ${webkit} update --site ${TAPIRUN_SITE} --stage ${TAPIRUN_SITE_STAGE})
set_tests_properties(web_site_update_firefox web_site_update_webkit PROPERTIES TIMEOUT 180 RESOURCE_LOCK desktop)
# What a screen reader finds in the page, read through the DevTools accessibility tree.
add_test(NAME web_accessibility COMMAND ${chromium} a11y --site ${TAPIRUN_SITE})
set_tests_properties(web_accessibility PROPERTIES TIMEOUT 60)
# A viewport that changes size under every screen of the program.
add_test(NAME web_resize COMMAND ${chromium} resize --site ${TAPIRUN_SITE})
set_tests_properties(web_resize PROPERTIES TIMEOUT 60 RESOURCE_LOCK desktop)
# The kiosk with real keys, in each engine: Chromium, Firefox ESR (Gecko) and WebKitGTK (Safari's).
add_test(NAME web_end_to_end COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/web/kiosk.sh ${TAPIRUN_SITE} chromium)
add_test(NAME web_end_to_end_firefox COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/web/kiosk.sh ${TAPIRUN_SITE} firefox)
add_test(NAME web_end_to_end_webkit COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/web/kiosk.sh ${TAPIRUN_SITE} webkit)
set_tests_properties(web_end_to_end PROPERTIES TIMEOUT 180)
set_tests_properties(web_end_to_end_firefox web_end_to_end_webkit PROPERTIES TIMEOUT 180 RESOURCE_LOCK desktop)
# An ordinary window smaller than the screen, under a window manager, that goes full screen at the
# learner's first key, leaves it and enters it again: the program placed for each size.
add_test(NAME web_full_screen COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/web/kiosk.sh ${TAPIRUN_SITE} chromium window)
add_test(NAME web_full_screen_firefox COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/web/kiosk.sh ${TAPIRUN_SITE} firefox window)
set_tests_properties(web_full_screen web_full_screen_firefox PROPERTIES TIMEOUT 180 RESOURCE_LOCK desktop)

# The published program's script carries nothing of the tests' side of the page.
add_test(NAME web_program_carries_no_tests COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/product-symbols.sh script
    $<TARGET_FILE:tapirun>)
