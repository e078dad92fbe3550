# What a Windows program of this build needs beside it to start on a PC that has nothing else: the
# MinGW runtime DLLs (the C++ runtime is linked dynamically, one per process) and, for the window,
# the Qt DLLs and plug-ins it loads. One list, used both to fill the build's program folders and by
# `cmake --install` for the zips.
#
#   zyl_windows_runtime(<target>)      MinGW runtime beside the target's file, after each build
#   zyl_windows_qt_runtime(<target> [TEST] [DIR <dir>])
#                                      the same plus Qt (TEST adds Qt Test), beside the target's
#                                      file or in <dir>
#   zyl_install_windows_runtime(<dest>) installs the runtime and Qt into <dest>
if(NOT (WIN32 AND MINGW))
  function(zyl_windows_runtime target)
  endfunction()
  function(zyl_windows_qt_runtime target)
  endfunction()
  function(zyl_install_windows_runtime dest)
  endfunction()
  return()
endif()

set(ZYL_MINGW_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(file "${file}" ABSOLUTE)
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "MinGW runtime ${dll} not found by ${CMAKE_CXX_COMPILER}")
  endif()
  list(APPEND ZYL_MINGW_RUNTIME_DLLS "${file}")
endforeach()

# Qt's DLLs and the plug-ins the window loads: the windows platform (and offscreen, for the tests
# and for running without a screen) and the Windows styles. Pictures are PNG and BMP, which Qt Gui
# reads itself, so no image-format plug-in is needed.
set(ZYL_QT_DLLS Qt6Core Qt6Gui Qt6Widgets)
set(ZYL_QT_PLUGINS platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle)

function(zyl_qt_file_list out with_test)
  if(NOT ZYL_QT_MINGW_PREFIX)
    message(FATAL_ERROR "ZYL_QT_MINGW_PREFIX is not set: no Qt for MinGW-w64 was found")
  endif()
  set(dlls ${ZYL_QT_DLLS})
  if(with_test)
    list(APPEND dlls Qt6Test)
  endif()
  set(files)
  foreach(dll ${dlls})
    list(APPEND files "${ZYL_QT_MINGW_PREFIX}/bin/${dll}.dll")
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(zyl_windows_runtime target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZYL_MINGW_RUNTIME_DLLS} $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()

function(zyl_windows_qt_runtime target)
  cmake_parse_arguments(ARG "TEST" "DIR" "" ${ARGN})
  set(dir $<TARGET_FILE_DIR:${target}>)
  if(ARG_DIR)
    set(dir ${ARG_DIR})
  endif()
  zyl_qt_file_list(dlls "${ARG_TEST}")
  set(commands)
  foreach(plugin ${ZYL_QT_PLUGINS})
    get_filename_component(kind ${plugin} DIRECTORY)
    list(APPEND commands
      COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}/${kind}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZYL_QT_MINGW_PREFIX}/plugins/${plugin}.dll ${dir}/${kind}/)
  endforeach()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZYL_MINGW_RUNTIME_DLLS} ${dlls} ${dir}
    ${commands}
    VERBATIM)
endfunction()

function(zyl_install_windows_runtime dest)
  zyl_qt_file_list(dlls FALSE)
  install(FILES ${ZYL_MINGW_RUNTIME_DLLS} ${dlls} DESTINATION ${dest})
  foreach(plugin ${ZYL_QT_PLUGINS})
    get_filename_component(kind ${plugin} DIRECTORY)
    install(FILES ${ZYL_QT_MINGW_PREFIX}/plugins/${plugin}.dll DESTINATION ${dest}/${kind})
  endforeach()
endfunction()
