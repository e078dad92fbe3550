# zyl_build_flags: the compiler and linker flags of our own code (warnings, warnings as errors,
# sanitizers). Every target built from this repository links it PRIVATE; code of others built here
# (GoogleTest from source) does not, so it keeps its own settings.
#
# Each executable and shared library links it itself, not only through a static library: whatever
# links sanitized objects needs the sanitizer's runtime on its own link line.
add_library(zyl_build_flags INTERFACE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(zyl_build_flags INTERFACE -Wall -Wextra -Wpedantic)
  if(ZYL_WARNINGS_AS_ERRORS)
    target_compile_options(zyl_build_flags INTERFACE -Werror)
  endif()
  if(ZYL_SANITIZE)
    target_compile_options(zyl_build_flags INTERFACE
      -fsanitize=${ZYL_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    # The tool calls a D2XX library through its own declarations of the D2XX types: the same C ABI
    # under other C++ names, which clang's function-type check takes for a call of the wrong type.
    # Libraries marked ZYL_D2XX_LIBRARY (the virtual cable, the libftdi1 driver) leave it out.
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      target_compile_options(zyl_build_flags INTERFACE
        $<$<BOOL:$<TARGET_PROPERTY:ZYL_D2XX_LIBRARY>>:-fno-sanitize=function>)
    endif()
    target_link_options(zyl_build_flags INTERFACE -fsanitize=${ZYL_SANITIZE})
  endif()
endif()

# zyl_check_build_flags(<folder>): fails the configuration when a target built in <folder> or below
# (within this repository) does not link zyl_build_flags, which would build it without warnings or
# sanitizers and say nothing. Called once, at the end of the top-level CMakeLists.txt.
function(zyl_check_build_flags folder)
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      get_target_property(libraries ${target} LINK_LIBRARIES)
      if(NOT "zyl_build_flags" IN_LIST libraries)
        message(FATAL_ERROR "${target} (${folder}) does not link zyl_build_flags")
      endif()
    endif()
  endforeach()
  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder ${subfolders})
    cmake_path(IS_PREFIX CMAKE_SOURCE_DIR "${subfolder}" ours)
    if(ours)
      zyl_check_build_flags(${subfolder})
    endif()
  endforeach()
endfunction()
