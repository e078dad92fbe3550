# Runs the same sequence of cable-layer operations on two paths and fails unless both print the
# same line capture. -DFIRST=<program> -DSECOND=<program> -DOUT=<folder for the printouts>
foreach(side FIRST SECOND)
  execute_process(COMMAND ${${side}} OUTPUT_VARIABLE capture_${side} ERROR_VARIABLE errors_${side}
    RESULT_VARIABLE result_${side})
  get_filename_component(name ${${side}} NAME)
  file(WRITE ${OUT}/${name}.capture.txt "${capture_${side}}")
  if(NOT result_${side} EQUAL 0)
    message(FATAL_ERROR "${${side}} failed (${result_${side}}):\n${errors_${side}}")
  endif()
endforeach()
if(capture_FIRST STREQUAL "")
  message(FATAL_ERROR "${FIRST} captured nothing")
endif()
if(NOT capture_FIRST STREQUAL capture_SECOND)
  message(FATAL_ERROR "The captures differ; see ${OUT}/*.capture.txt\n--- ${FIRST}\n${capture_FIRST}\n--- ${SECOND}\n${capture_SECOND}")
endif()
