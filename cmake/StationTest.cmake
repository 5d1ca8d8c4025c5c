# station_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# Each test runs headless with its own sandboxed settings folder.
# What every test process of a sanitizer build runs with. Leaks are not
# checked: Qt, fontconfig, D-Bus and the sound libraries keep their caches
# until exit. Tests that start helper programs fork a threaded process and
# exec at once, which ThreadSanitizer refuses unless told.
set(STATION_SANITIZER_ENVIRONMENT
  "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:halt_on_error=1"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:die_after_fork=0:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")

function(station_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  # Tests include the forms their library generated; they have none of their own.
  set_target_properties(${name} PROPERTIES AUTOUIC OFF)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tests/common)
  target_compile_definitions(${name} PRIVATE
    STATION_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set(environment "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${name};QT_LOGGING_RULES=qt.multimedia*=false")
  if(STATION_SANITIZE)
    # Instrumented code runs several times slower.
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 4")
    list(APPEND environment ${STATION_SANITIZER_ENVIRONMENT})
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${environment}")
endfunction()

# station_add_wm_test(NAME SOURCES a.cpp LIBS lib1 lib2)
# A GUI test under a real window manager: it starts its own Xvfb and openbox
# (WM_TEST_MAIN in tests/common/wmharness.h) and runs on the xcb platform
# whatever the environment says; without an X server it reports itself skipped.
function(station_add_wm_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT TARGET wmharness)
    message(STATUS "${name}: not built, the window-manager harness needs xcb")
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  station_add_test(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS} wmharness TIMEOUT ${T_TIMEOUT})
  set(environment "QT_QPA_PLATFORM=xcb;XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/test-config/${name};QT_LOGGING_RULES=qt.multimedia*=false")
  if(STATION_SANITIZE)
    list(APPEND environment ${STATION_SANITIZER_ENVIRONMENT})
  endif()
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT "${environment}")
endfunction()
