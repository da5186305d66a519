# Decodes STREAM with the istrel tool (ISTREL, run through EMULATOR when
# that is given) and compares its per-frame md5 lines with the file EXPECTED.
execute_process(COMMAND ${EMULATOR} ${ISTREL} decode ${STREAM} --md5
                OUTPUT_VARIABLE decoded ERROR_VARIABLE messages RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "istrel decode ${STREAM} failed (${status}): ${messages}")
endif()
file(READ ${EXPECTED} expected)
if(NOT decoded STREQUAL expected)
  message(FATAL_ERROR "${STREAM}: decoded pictures differ from ${EXPECTED}:\n${decoded}")
endif()
