# Installs the build tree into a scratch prefix, then configures, builds and
# runs the consumer project against that prefix. Fails on the first error.
#
# Variables: BUILD_DIR, SOURCE_DIR (of the consumer), WORK_DIR, BUILD_TYPE,
# CXX_COMPILER, EXTRA_FLAGS (compile and link flags, e.g. sanitizers).
foreach(var BUILD_DIR SOURCE_DIR WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_consumer_test: ${var} is not set")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

function(run_step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "consumer test: ${what} failed (${result})\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok")
endfunction()

run_step("install" "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${WORK_DIR}/prefix")
run_step("configure" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
         "-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
         "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
         "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run_step("build" "${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run_step("run" "${WORK_DIR}/build/consumer" "${WORK_DIR}/consumer.qdb")
