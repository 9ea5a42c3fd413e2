# SPDX-License-Identifier: Apache-2.0
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    string(REPLACE ";" " " shown "${ARGN}")
    message(FATAL_ERROR "failed (${result}): ${shown}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

# Configures and builds <source> against the installed package in <dir>, then
# finds the program <name> it built.
function(build_against source dir name)
  run("${CMAKE_COMMAND}" -S "${source}" -B "${dir}" -G "${GENERATOR}" "-DCMAKE_PREFIX_PATH=${prefix}"
      "-DCMAKE_CXX_COMPILER=${CXX_COMPILER}" "-DCMAKE_BUILD_TYPE=${CONFIG}" ${cross_args})
  run("${CMAKE_COMMAND}" --build "${dir}" ${config_args} ${ARGN})
  find_program(${name} NAMES ${name} ${name}.exe PATHS "${dir}" "${dir}/${CONFIG}" NO_DEFAULT_PATH
    REQUIRED)
  set(${name} "${${name}}" PARENT_SCOPE)
endfunction()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
if(CONFIG)
  set(config_args --config "${CONFIG}")
endif()
run("${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" ${config_args})

# A cross build's consumer uses its toolchain (which confines package searches
# to the target's trees, so the folders are named) and runs in the emulator.
if(TOOLCHAIN_FILE)
  file(GLOB_RECURSE own_config "${prefix}/*/JsonRpcClientConfig.cmake")
  file(GLOB_RECURSE jsoncpp_config "${DEPS_PREFIX}/*/jsoncppConfig.cmake")
  get_filename_component(own_dir "${own_config}" DIRECTORY)
  get_filename_component(jsoncpp_dir "${jsoncpp_config}" DIRECTORY)
  set(cross_args "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}" "-DJsonRpcClient_DIR=${own_dir}"
      "-Djsoncpp_DIR=${jsoncpp_dir}")
  set(run_with ${EMULATOR})
endif()

# 1. The CMake package: the installed examples build against it, and the one
# that needs no server runs against the installed library.
build_against("${prefix}/${DOCDIR}/examples" "${WORK_DIR}/examples" pnconfig-example
  --target pnconfig-example start-server)
set(ENV{WINEPATH} "${prefix}/${BINDIR}")
if(CMAKE_HOST_WIN32)
  set(ENV{PATH} "${prefix}/${BINDIR};$ENV{PATH}")
endif()
run(${run_with} "${pnconfig-example}")

# 2. The pkg-config module (native builds only).
if(PKG_CONFIG AND NOT TOOLCHAIN_FILE)
  file(GLOB_RECURSE pc_file "${prefix}/*/JsonRpcClient.pc")
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
  run("${PKG_CONFIG}" --cflags --libs JsonRpcClient)
  separate_arguments(flags UNIX_COMMAND "${last_output}")
  run("${PKG_CONFIG}" --variable=libdir JsonRpcClient)
  string(STRIP "${last_output}" libdir)
  run("${CXX_COMPILER}" -std=c++17 "${CONSUMER_DIR}/main.cpp" -o "${WORK_DIR}/pc-consumer" ${flags}
      "-Wl,-rpath,${libdir}")
  run("${WORK_DIR}/pc-consumer")
endif()

# 3. The installed tool finds the installed samples, library and server.
if(WITH_PNCTL AND NOT TOOLCHAIN_FILE)
  run("${prefix}/${BINDIR}/pnctl" demo)
  string(FIND "${last_output}" "samples from ${prefix}/${DATADIR}/JsonRpcClient/gsdml\n" at)
  if(at EQUAL -1 OR NOT last_output MATCHES "server shut down")
    message(FATAL_ERROR "the installed pnctl demo did not use the installed samples:\n${last_output}")
  endif()
endif()

# 4. An installed example starts the installed server.
if(WITH_SERVERS)
  get_filename_component(examples_dir "${pnconfig-example}" DIRECTORY)
  find_program(start-server NAMES start-server start-server.exe PATHS "${examples_dir}"
    NO_DEFAULT_PATH REQUIRED)
  run(${run_with} "${start-server}")
  if(NOT last_output MATCHES "is running")
    message(FATAL_ERROR "the installed example did not reach its server:\n${last_output}")
  endif()
endif()
