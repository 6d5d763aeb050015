# One executable per test folder and kind, of every tests/<folder>/<Name>Test.cpp in it, so adding
# a test file never means editing a build file; ctest lists each case by name. The file name gives
# the kind, which names the executable (test_<folder>[_<kind>]) and labels its cases:
#   *X11Test.cpp     x11     starts its own Xvfb
#   *RenderTest.cpp  render  headless drawing, pixel probes
#   *LiveTest.cpp    live    reads this machine
#   *Test.cpp        unit
# Files sharing an executable share its symbols: a file's helpers and fixtures live in an
# anonymous namespace, and a fixture's name is unique in its folder.
# The files of an executable compile in batches of eight, each batch one translation unit, so the
# test framework and the headers they share are parsed once a batch, not once a file: a name in
# one file's anonymous namespace must not be defined again by another file of its folder. Files
# that include Xlib (whose macros would break the files after them) compile alone, and so do the
# x11 executables' files.
include(GoogleTest)
file(GLOB_RECURSE support_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(pd_testsupport STATIC ${support_sources})
target_include_directories(pd_testsupport PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(pd_testsupport PUBLIC GTest::gtest)
# The shared precompiled header is built with what every test file is compiled with.
target_compile_options(pd_testsupport PUBLIC -pthread)
target_compile_definitions(pd_testsupport PUBLIC
  PULSEDECK_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures"
  PULSEDECK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  PULSEDECK_ARTIFACTS="${CMAKE_BINARY_DIR}/test-artifacts")
# Every test file parses GoogleTest and much of the standard library: once per build is enough.
# Not with GCC 12, which then reports false out-of-bounds copies inside std::string.
set(test_pch OFF)
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  set(test_pch ON)
  target_precompile_headers(pd_testsupport PRIVATE <gtest/gtest.h> <algorithm> <chrono> <cmath>
    <filesystem> <fstream> <functional> <future> <map> <memory> <mutex> <optional> <string>
    <thread> <vector>)
endif()

# A build serving one stage only (the threaded tests under ThreadSanitizer) takes just the files
# whose path under tests/ matches.
set(PULSEDECK_TESTS_ONLY "" CACHE STRING "Regex: build only the test files whose path matches")
file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*Test.cpp)
set(test_targets "")
foreach(source IN LISTS test_sources)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${source})
  if(PULSEDECK_TESTS_ONLY AND NOT rel MATCHES "${PULSEDECK_TESTS_ONLY}")
    continue()
  endif()
  get_filename_component(dir ${rel} DIRECTORY)
  string(REPLACE "/" "_" target "test_${dir}")
  if(rel MATCHES "X11Test\\.cpp$")
    set(label x11)
  elseif(rel MATCHES "RenderTest\\.cpp$")
    set(label render)
  elseif(rel MATCHES "LiveTest\\.cpp$")
    set(label live)
  else()
    set(label unit)
  endif()
  if(NOT label STREQUAL "unit")
    string(APPEND target _${label})
  endif()
  if(NOT target IN_LIST test_targets)
    list(APPEND test_targets ${target})
    set(${target}_label ${label})
    pulsedeck_library_for("${rel}" ${target}_lib)
  endif()
  list(APPEND ${target}_sources ${source})
  # Xlib's macros (None, Status, WindingRule) would break the files after it in a batch.
  file(STRINGS ${source} includes_xlib REGEX "^#include <X11/")
  if(includes_xlib)
    set_source_files_properties(${source} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
endforeach()

set(unit_test_targets "")
foreach(target IN LISTS test_targets)
  add_executable(${target} ${${target}_sources} ${CMAKE_SOURCE_DIR}/tests/LeakSuppressions.cpp)
  target_link_libraries(${target} PRIVATE ${${target}_lib} pd_testsupport GTest::gtest_main)
  if(test_pch)
    target_precompile_headers(${target} REUSE_FROM pd_testsupport)
  endif()
  # The libraries keep the build's optimisation; the tests' own code compiles faster at -O1.
  target_compile_options(${target} PRIVATE $<$<CONFIG:Release,RelWithDebInfo>:-O1>)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT ${target}_label STREQUAL "x11")
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
  endif()
  if(TARGET pulsedeck_resources)
    add_dependencies(${target} pulsedeck_resources)
  endif()
  if(${target}_label STREQUAL "unit")
    list(APPEND unit_test_targets ${target})
  endif()
  # Listing the cases runs the executable: at test time, and with room for a loaded machine.
  gtest_discover_tests(${target} EXTRA_ARGS --gtest_brief=1
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES LABELS ${${target}_label} TIMEOUT 600
      ENVIRONMENT "PULSEDECK_ARTIFACTS=${CMAKE_BINARY_DIR}/test-artifacts")
endforeach()

# A stand-in for NVIDIA's management library, which the graphics registry opens at run time.
add_library(fake_nvidia_ml MODULE tests/platform/system/nvidia-ml/FakeNvidiaManagementLibrary.cpp)
set_target_properties(fake_nvidia_ml PROPERTIES LIBRARY_OUTPUT_DIRECTORY
  ${CMAKE_BINARY_DIR}/tests/nvidia-ml)
# Built as the vendor's is, without sanitizers: clang's function-type check would otherwise hold
# its C entry points, called through the registry's own declarations, against their C++ types.
target_compile_options(fake_nvidia_ml PRIVATE -fno-sanitize=all)
if(TARGET test_platform_system)
  add_dependencies(test_platform_system fake_nvidia_ml)
  target_compile_definitions(test_platform_system PRIVATE
    PULSEDECK_FAKE_NVIDIA_ML="$<TARGET_FILE:fake_nvidia_ml>")
endif()

# The update check's download runs in a child of the built program.
if(TARGET pulsedeck AND "${CMAKE_SOURCE_DIR}/tests/updates/UpdateCheckCommandTest.cpp" IN_LIST
   test_updates_sources)
  add_dependencies(test_updates pulsedeck)
endif()

add_custom_target(unit_tests)
if(unit_test_targets)
  add_dependencies(unit_tests ${unit_test_targets})
  # Their paths, one a line, for a stage that runs each program whole rather than case by case.
  list(TRANSFORM unit_test_targets REPLACE ".+" "$<TARGET_FILE:\\0>" OUTPUT_VARIABLE unit_programs)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/tests/unit-programs
    CONTENT "$<JOIN:${unit_programs},\n>\n")
endif()

# `ninja pulsedeck` alone must give a program that starts: it depends on its resources.
if(CMAKE_GENERATOR MATCHES "Ninja" AND TARGET pulsedeck AND TARGET pulsedeck_resources)
  add_test(NAME build_ProgramDependsOnItsResources
    COMMAND ${CMAKE_MAKE_PROGRAM} -C ${CMAKE_BINARY_DIR} -t query pulsedeck)
  set_tests_properties(build_ProgramDependsOnItsResources PROPERTIES LABELS build
    PASS_REGULAR_EXPRESSION "[|][|] pulsedeck_resources")
endif()
