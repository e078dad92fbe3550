# cmake -DSRC=<file> -DDST=<folder> -P CopyIfExists.cmake: copies the file when it is there.
if(EXISTS "${SRC}")
  file(COPY "${SRC}" DESTINATION "${DST}")
endif()
