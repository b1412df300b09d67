# Installs the build tree into a scratch prefix, then configures, builds and
# runs a small consumer with find_package(zalcv), and checks pkg-config output.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BINARY_DIR} --prefix ${prefix}
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/consumer -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer configure failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/build RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer build failed: ${rc}")
endif()
file(GLOB libdirs ${prefix}/lib*)
string(REPLACE ";" ":" libpath "${libdirs}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libpath} ${WORK_DIR}/build/consumer
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "consumer run failed: ${rc}")
endif()
file(GLOB_RECURSE pcfile ${prefix}/*/zalcv.pc)
execute_process(COMMAND pkg-config --libs --cflags ${pcfile} RESULT_VARIABLE rc OUTPUT_VARIABLE flags)
if(NOT rc EQUAL 0 OR NOT flags MATCHES "-lzalcv")
  message(FATAL_ERROR "pkg-config failed: ${rc} ${flags}")
endif()
