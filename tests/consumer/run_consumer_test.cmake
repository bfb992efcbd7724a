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

# Headers sit in one project folder, so they cannot collide with a host's
# own; internal headers are not installed at all.
file(GLOB top RELATIVE "${WORK_DIR}/prefix/include" "${WORK_DIR}/prefix/include/*")
if(NOT top STREQUAL "quilm")
  message(FATAL_ERROR "consumer test: include/ holds '${top}', expected only 'quilm'")
endif()
file(GLOB_RECURSE internal "${WORK_DIR}/prefix/include/*_internal.hpp" "${WORK_DIR}/prefix/include/*_support.hpp"
     "${WORK_DIR}/prefix/include/*/tests/*")
if(internal)
  message(FATAL_ERROR "consumer test: internal headers installed: ${internal}")
endif()
message(STATUS "installed headers: ok")
run_step("configure" "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${WORK_DIR}/build"
         "-DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix" "-DCMAKE_BUILD_TYPE=${BUILD_TYPE}"
         "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
         "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
run_step("build" "${CMAKE_COMMAND}" --build "${WORK_DIR}/build")
run_step("run" "${WORK_DIR}/build/consumer" "${WORK_DIR}/consumer.qdb")

# The same host built with nothing but the compiler and pkg-config.
find_program(PKG_CONFIG_EXECUTABLE NAMES pkg-config pkgconf)
if(NOT PKG_CONFIG_EXECUTABLE)
  message(FATAL_ERROR "consumer test: pkg-config not found")
endif()
file(GLOB_RECURSE pcFile "${WORK_DIR}/prefix/*/quilm.pc")
if(NOT pcFile)
  message(FATAL_ERROR "consumer test: quilm.pc not installed")
endif()
get_filename_component(pcDir "${pcFile}" DIRECTORY)
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${pcDir}"
                        "${PKG_CONFIG_EXECUTABLE}" --cflags --libs quilm
                RESULT_VARIABLE result OUTPUT_VARIABLE pcFlags ERROR_VARIABLE err
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "consumer test: pkg-config failed\n${err}")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E env "PKG_CONFIG_PATH=${pcDir}"
                        "${PKG_CONFIG_EXECUTABLE}" --variable=libdir quilm
                OUTPUT_VARIABLE pcLibDir OUTPUT_STRIP_TRAILING_WHITESPACE)
separate_arguments(pcFlags UNIX_COMMAND "${pcFlags}")
separate_arguments(extraFlags UNIX_COMMAND "${EXTRA_FLAGS}")
run_step("pkg-config build" "${CXX_COMPILER}" -std=c++17 ${extraFlags} "${SOURCE_DIR}/main.cpp"
         -o "${WORK_DIR}/consumer-pc" ${pcFlags} "-Wl,-rpath,${pcLibDir}")
run_step("pkg-config run" "${WORK_DIR}/consumer-pc" "${WORK_DIR}/consumer-pc.qdb")
