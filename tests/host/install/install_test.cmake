# Installs the build tree into WORK_DIR/prefix, then builds and runs the
# consumer against that copy, once found with find_package and once with
# pkg-config. Variables: BUILD_DIR, SOURCE_DIR, WORK_DIR, GENERATOR,
# C_COMPILER, VERSION; in a cross build also TOOLCHAIN_FILE and EMULATOR, which
# runs the consumer.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "${command} failed (${result}):\n${out}")
  endif()
  message(STATUS "${out}")
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Only the shared library is for consumers.
file(GLOB_RECURSE archives ${prefix}/*.a)
if(archives)
  message(FATAL_ERROR "static libraries installed: ${archives}")
endif()
file(GLOB_RECURSE pc_files ${prefix}/istrel.pc)
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1 OR NOT EXISTS ${prefix}/include/istrel/version.h
   OR NOT EXISTS ${prefix}/bin/istrel OR NOT EXISTS ${prefix}/share/doc/istrel/LICENSE)
  message(FATAL_ERROR
          "the installed tree lacks istrel.pc, istrel/version.h, bin/istrel or the licence")
endif()
file(STRINGS ${pc_files} pc_license REGEX "^License: ")
if(NOT pc_license STREQUAL "License: BSD-2-Clause")
  message(FATAL_ERROR "istrel.pc names no BSD-2-Clause licence: '${pc_license}'")
endif()
get_filename_component(pc_dir ${pc_files} DIRECTORY)

foreach(mode find_package pkg_config)
  set(build ${WORK_DIR}/${mode})
  if(mode STREQUAL "pkg_config")
    set(ENV{PKG_CONFIG_PATH} ${pc_dir})
    set(use_pkg_config ON)
  else()
    set(use_pkg_config OFF)
  endif()
  set(toolchain)
  if(TOOLCHAIN_FILE)
    set(toolchain -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE})
  endif()
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/host/install/consumer -B ${build} -G ${GENERATOR}
      ${toolchain} -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
      -DUSE_PKG_CONFIG=${use_pkg_config} -DEXPECTED_VERSION=${VERSION})
  run(${CMAKE_COMMAND} --build ${build})
  # The consumer finds the library through the run path the build gave it.
  run(${EMULATOR} ${build}/consumer)
endforeach()
