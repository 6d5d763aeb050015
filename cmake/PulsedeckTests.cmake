# Every tests/**/<Name>Test.cpp is its own executable, so a test being written never blocks
# another from building. The file name gives the label:
#   *X11Test.cpp     x11     starts its own Xvfb
#   *RenderTest.cpp  render  headless drawing, pixel probes
#   *LiveTest.cpp    live    reads this machine
#   *Test.cpp        unit
file(GLOB_RECURSE support_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(pd_testsupport STATIC ${support_sources})
target_include_directories(pd_testsupport PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(pd_testsupport PUBLIC GTest::gtest GTest::gmock)
target_compile_definitions(pd_testsupport PUBLIC
  PULSEDECK_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures"
  PULSEDECK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  PULSEDECK_ARTIFACTS="${CMAKE_BINARY_DIR}/test-artifacts")

set(PULSEDECK_UNIT_TESTS "" CACHE INTERNAL "")
file(GLOB_RECURSE test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*Test.cpp)
foreach(source IN LISTS test_sources)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/tests ${source})
  get_filename_component(dir ${rel} DIRECTORY)
  get_filename_component(stem ${rel} NAME_WE)
  string(REPLACE "/" "_" flat "${dir}_${stem}")
  set(target test_${flat})
  pulsedeck_library_for("${rel}" lib)
  add_executable(${target} ${source})
  target_link_libraries(${target} PRIVATE ${lib} pd_testsupport GTest::gtest_main)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(TARGET pulsedeck_resources)
    add_dependencies(${target} pulsedeck_resources)
  endif()
  if(stem MATCHES "X11Test$")
    set(label x11)
  elseif(stem MATCHES "RenderTest$")
    set(label render)
  elseif(stem MATCHES "LiveTest$")
    set(label live)
  else()
    set(label unit)
    set(PULSEDECK_UNIT_TESTS "${PULSEDECK_UNIT_TESTS};${target}" CACHE INTERNAL "")
  endif()
  add_test(NAME ${flat} COMMAND ${target} --gtest_brief=1)
  set_tests_properties(${flat} PROPERTIES LABELS ${label} TIMEOUT 600
    ENVIRONMENT "PULSEDECK_ARTIFACTS=${CMAKE_BINARY_DIR}/test-artifacts")
endforeach()
# A stand-in for NVIDIA's management library, which the graphics registry opens at run time.
add_library(fake_nvidia_ml MODULE tests/platform/system/nvidia-ml/FakeNvidiaManagementLibrary.cpp)
set_target_properties(fake_nvidia_ml PROPERTIES LIBRARY_OUTPUT_DIRECTORY
  ${CMAKE_BINARY_DIR}/tests/nvidia-ml)
if(TARGET test_platform_system_AcceleratorRegistryTest)
  add_dependencies(test_platform_system_AcceleratorRegistryTest fake_nvidia_ml)
  target_compile_definitions(test_platform_system_AcceleratorRegistryTest PRIVATE
    PULSEDECK_FAKE_NVIDIA_ML="$<TARGET_FILE:fake_nvidia_ml>")
endif()

# The update check's download runs in a child of the built program.
if(TARGET test_updates_UpdateCheckCommandTest AND TARGET pulsedeck)
  add_dependencies(test_updates_UpdateCheckCommandTest pulsedeck)
endif()

add_custom_target(unit_tests)
if(PULSEDECK_UNIT_TESTS)
  add_dependencies(unit_tests ${PULSEDECK_UNIT_TESTS})
endif()

# `ninja pulsedeck` alone must give a program that starts: it depends on its resources.
if(CMAKE_GENERATOR MATCHES "Ninja" AND TARGET pulsedeck AND TARGET pulsedeck_resources)
  add_test(NAME build_ProgramDependsOnItsResources
    COMMAND ${CMAKE_MAKE_PROGRAM} -C ${CMAKE_BINARY_DIR} -t query pulsedeck)
  set_tests_properties(build_ProgramDependsOnItsResources PROPERTIES LABELS build
    PASS_REGULAR_EXPRESSION "[|][|] pulsedeck_resources")
endif()
