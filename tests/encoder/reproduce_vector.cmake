# Encodes the pictures of one committed vector again with istrel-encode (ENCODER) and the
# options generate.sh gives it, and checks that the stream is byte for byte the committed one
# (VECTOR) and that the reconstruction is what the istrel tool (ISTREL) decodes from it.
# SYNTH is istrel-synth; WORK_DIR a scratch folder; SYNTH_ARGS and ENCODER_ARGS are the tools'
# options, separated by spaces.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
set(input ${WORK_DIR}/input.yuv)
set(stream ${WORK_DIR}/stream.264)
set(recon ${WORK_DIR}/recon.yuv)
set(decoded ${WORK_DIR}/decoded.yuv)
separate_arguments(synth_args UNIX_COMMAND "${SYNTH_ARGS}")
separate_arguments(encoder_args UNIX_COMMAND "${ENCODER_ARGS}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    list(GET ARGN 0 tool)
    message(FATAL_ERROR "${tool} failed (${status}):\n${out}")
  endif()
endfunction()

function(expect_same_files actual expected what)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${actual} ${expected}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what}: ${actual} differs from ${expected}")
  endif()
endfunction()

run(${SYNTH} ${synth_args} -o ${input})
run(${ENCODER} ${encoder_args} --dump-yuv ${recon} -o ${stream} ${input})
expect_same_files(${stream} ${VECTOR} "istrel-encode no longer makes the committed stream")
run(${ISTREL} decode ${VECTOR} -o ${decoded})
expect_same_files(${recon} ${decoded} "the reconstruction is not the decoded committed stream")
file(REMOVE_RECURSE ${WORK_DIR})
