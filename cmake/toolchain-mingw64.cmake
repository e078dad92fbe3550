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

# Link the MinGW runtime (libstdc++, libgcc, winpthread) into every executable and DLL, so nothing
# has to find libstdc++-6.dll and friends at run time, neither Wine nor a user's PC.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# add_test() and gtest_discover_tests() run the .exe files through this wrapper: Wine with a prefix
# of the build tree's own, created on first use.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  get_filename_component(ZYL_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh" ABSOLUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${ZYL_WINE_RUN};${CMAKE_BINARY_DIR}/wineprefix")
endif()
