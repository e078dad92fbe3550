# What the libftdi1-based libftd2xx.so shows the loader: exactly the twenty-one D2XX entry points, and
# no dependency on Qt or on the tool. -DLIBRARY=<file> -DNM=<nm> -DOBJDUMP=<objdump>
set(expected
  FT_Close FT_ClrRts FT_CreateDeviceInfoList FT_GetDeviceInfo FT_GetDeviceInfoList FT_GetDriverVersion
  FT_GetLibraryVersion FT_GetStatus FT_Open FT_Purge FT_Read FT_SetBaudRate FT_SetBreakOff FT_SetBreakOn
  FT_SetChars FT_SetDataCharacteristics FT_SetFlowControl FT_SetLatencyTimer FT_SetRts FT_SetTimeouts FT_Write)

execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE table RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(exported)
foreach(line IN LISTS lines)
  # "<address> <kind> <name>"; version nodes carry no address and are no symbols of the library.
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ @]+)$")
    list(APPEND exported ${CMAKE_MATCH_1})
  endif()
endforeach()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "exported: ${exported}\nexpected: ${expected}")
endif()

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE headers RESULT_VARIABLE result)
string(REGEX MATCHALL "NEEDED +[^\n]+" needed "${headers}")
if(NOT result EQUAL 0 OR NOT needed MATCHES "libftdi1")
  message(FATAL_ERROR "no libftdi1 among the needed libraries: ${needed}")
endif()
if(needed MATCHES "Qt|zyl|ftd2xx")
  message(FATAL_ERROR "depends on the tool or Qt: ${needed}")
endif()
