# GoogleTest for the MinGW cross-build: Debian ships GoogleTest only as Linux libraries, so build it
# from its sources (package googletest) with the cross toolchain. Defines GTest::gtest,
# GTest::gtest_main, GTest::gmock and GTest::gmock_main, as find_package(GTest) would.
if(TARGET GTest::gtest)
  return()
endif()

set(ZYL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")
if(NOT EXISTS ${ZYL_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ZYL_GTEST_SOURCE_DIR} "
                      "(install the Debian package googletest)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)

# GoogleTest is not our code: it links no zyl_build_flags, so it builds with its own warning settings.
add_subdirectory(${ZYL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
