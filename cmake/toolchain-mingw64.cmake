# Cross-build for 64-bit Windows with MinGW-w64 (POSIX threads flavour, so std::thread and
# std::mutex work), running the built executables under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZYL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZYL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZYL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZYL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZYL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The MinGW runtime (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) is linked
# dynamically, by Qt as by the tool: one C++ runtime per process. The build copies those DLLs beside
# every executable it makes.

# add_test() and gtest_discover_tests() run the .exe files through this wrapper: Wine with a prefix
# of the build tree's own, created on first use.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(ZYL_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${ZYL_WINE_RUN};${CMAKE_BINARY_DIR}/wineprefix")
endif()

# Qt for the window: the MinGW-w64 build of scripts/build-qt-mingw.sh, found in the cache folder
# that script installs into (ZYL_QT_MINGW_PREFIX in the environment names another). Its tools (moc,
# rcc, uic) are the host's, of the same version. Building Qt itself with this file
# (ZYL_TOOLCHAIN_FOR_QT) looks for none.
if(NOT ZYL_QT_MINGW_PREFIX AND NOT ZYL_TOOLCHAIN_FOR_QT)
  if(DEFINED ENV{ZYL_QT_MINGW_PREFIX} AND NOT "$ENV{ZYL_QT_MINGW_PREFIX}" STREQUAL "")
    set(zyl_qt_candidates "$ENV{ZYL_QT_MINGW_PREFIX}/.zylvek-complete")
  else()
    if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
      set(zyl_cache "$ENV{XDG_CACHE_HOME}")
    else()
      set(zyl_cache "$ENV{HOME}/.cache")
    endif()
    file(GLOB zyl_qt_candidates "${zyl_cache}/zylvek-rdm/qt6-mingw-*/.zylvek-complete")
  endif()
  foreach(stamp ${zyl_qt_candidates})
    if(EXISTS "${stamp}")
      get_filename_component(prefix "${stamp}" DIRECTORY)
      set(ZYL_QT_MINGW_PREFIX "${prefix}" CACHE PATH "Qt built for MinGW-w64 by scripts/build-qt-mingw.sh")
      break()
    endif()
  endforeach()
endif()
if(ZYL_QT_MINGW_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${ZYL_QT_MINGW_PREFIX}")
  set(QT_HOST_PATH /usr CACHE PATH "")
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
endif()
