# The shared library must export exactly the six AVCI functions.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" lines "${symbols}")
set(found "")
foreach(line ${lines})
  string(STRIP "${line}" name)
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected AVCIDecodeFrame AVCIFileClose AVCIFileOpen AVCINewTepDecoder AVCIReadAspectRatio
    AVCIntraDispose)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported symbols: ${found}\nexpected: ${expected}")
endif()
message(STATUS "exports: ${found}")
