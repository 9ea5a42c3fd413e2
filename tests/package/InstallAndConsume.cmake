# Script mode: see CMakeLists.txt next to this file.
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "failed (${result}): ${shown}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")

set(config_args)
if(CONFIG)
  set(config_args --config "${CONFIG}")
endif()
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" ${config_args})

# 1. The CMake package.
run("${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/consumer" -G "${GENERATOR}"
    "-DCMAKE_PREFIX_PATH=${prefix}" "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}"
    "-DCMAKE_BUILD_TYPE=${CONFIG}")
run("${CMAKE_COMMAND}" --build "${WORK_DIR}/consumer" ${config_args})
find_program(consumer NAMES consumer PATHS "${WORK_DIR}/consumer" "${WORK_DIR}/consumer/${CONFIG}"
  NO_DEFAULT_PATH REQUIRED)
run("${consumer}")
message(STATUS "CMake package consumer: ${last_output}")

# 2. The pkg-config module, where pkg-config exists.
if(PKG_CONFIG)
  file(GLOB_RECURSE pc_files "${prefix}/*/JsonRpcClient.pc")
  list(LENGTH pc_files pc_count)
  if(NOT pc_count EQUAL 1)
    message(FATAL_ERROR "expected one JsonRpcClient.pc under ${prefix}, found: ${pc_files}")
  endif()
  get_filename_component(pc_dir "${pc_files}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
  run("${PKG_CONFIG}" --cflags --libs JsonRpcClient)
  separate_arguments(flags UNIX_COMMAND "${last_output}")
  run("${PKG_CONFIG}" --variable=libdir JsonRpcClient)
  string(STRIP "${last_output}" libdir)
  set(program "${WORK_DIR}/pkg-config-consumer")
  run("${CXX_COMPILER}" -std=c++17 "${CONSUMER_DIR}/main.cpp" -o "${program}" ${flags}
      "-Wl,-rpath,${libdir}")
  run("${program}")
  message(STATUS "pkg-config consumer: ${last_output}")
endif()
