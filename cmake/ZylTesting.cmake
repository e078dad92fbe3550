# zyl_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# Builds a GoogleTest executable into tests-bin/, beside the virtual cable, and registers its tests.
if(CMAKE_CROSSCOMPILING AND WIN32 AND ZYL_BUILD_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/ZylMinGWGTest.cmake)
endif()

function(zyl_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  if(NOT TARGET GTest::gtest)
    find_package(GTest REQUIRED)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock zyl_build_flags)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ZYL_TEST_BIN_DIR})
  zyl_windows_runtime(${name})
  include(GoogleTest)
  gtest_discover_tests(${name} WORKING_DIRECTORY ${ZYL_TEST_BIN_DIR}
    DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES PROPERTIES ${ARG_PROPERTIES})
endfunction()
