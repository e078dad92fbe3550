# zyl_add_gtest(<name> SOURCES <files...> [LIBS <targets...>] [OUTPUT_DIR <folder>]
#               [WORKING_DIRECTORY <folder>] [TEST_PREFIX <prefix>] [PROPERTIES <test properties...>])
# Builds a GoogleTest executable and registers its tests, each run in a process of its own. The
# executable goes into OUTPUT_DIR (default tests-bin/, beside the virtual cable) and its tests run
# in WORKING_DIRECTORY (default: that folder). The one place where a GoogleTest program is made.
if(CMAKE_CROSSCOMPILING AND WIN32 AND ZYL_BUILD_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/ZylMinGWGTest.cmake)
endif()

function(zyl_add_gtest name)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR;WORKING_DIRECTORY;TEST_PREFIX" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  if(NOT ARG_OUTPUT_DIR)
    set(ARG_OUTPUT_DIR ${ZYL_TEST_BIN_DIR})
  endif()
  if(NOT ARG_WORKING_DIRECTORY)
    set(ARG_WORKING_DIRECTORY ${ARG_OUTPUT_DIR})
  endif()
  if(NOT TARGET GTest::gtest)
    find_package(GTest REQUIRED)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock zyl_build_flags)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR})
  zyl_windows_runtime(${name})
  include(GoogleTest)
  gtest_discover_tests(${name} WORKING_DIRECTORY ${ARG_WORKING_DIRECTORY} TEST_PREFIX "${ARG_TEST_PREFIX}"
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES ${ARG_PROPERTIES})
endfunction()
