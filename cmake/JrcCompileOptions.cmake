# SPDX-License-Identifier: Apache-2.0
# Compiler settings shared by every target of the project: strict warnings and
# the optional sanitizer builds. Targets opt in with jrc_target_defaults().

add_library(jrc_compile_options INTERFACE)

if(MSVC)
  # C4251: exported classes hold standard-library members. Host and library
  # are built with the same toolchain and runtime, which makes that safe.
  target_compile_options(jrc_compile_options INTERFACE /W4 /permissive- /utf-8 /wd4251)
  if(JRC_WARNINGS_AS_ERRORS)
    target_compile_options(jrc_compile_options INTERFACE /WX)
  endif()
else()
  target_compile_options(jrc_compile_options INTERFACE -Wall -Wextra -Wpedantic)
  if(JRC_WARNINGS_AS_ERRORS)
    target_compile_options(jrc_compile_options INTERFACE -Werror)
  endif()
endif()

if(JRC_SANITIZER STREQUAL "address")
  set(_jrc_san_flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
elseif(JRC_SANITIZER STREQUAL "thread")
  set(_jrc_san_flags -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT JRC_SANITIZER STREQUAL "")
  message(FATAL_ERROR "JRC_SANITIZER must be empty, 'address' or 'thread', not '${JRC_SANITIZER}'")
endif()
# A fuzzing build instruments every object for coverage and checks it with
# ASan+UBSan; only the fuzz targets link the libFuzzer driver itself.
if(JRC_BUILD_FUZZERS)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "JRC_BUILD_FUZZERS needs clang (configure with CMAKE_CXX_COMPILER=clang++)")
  endif()
  if(_jrc_san_flags)
    message(FATAL_ERROR "JRC_BUILD_FUZZERS brings its own sanitizers; leave JRC_SANITIZER empty")
  endif()
  set(_jrc_san_flags -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
endif()
if(_jrc_san_flags)
  target_compile_options(jrc_compile_options INTERFACE ${_jrc_san_flags})
  target_link_options(jrc_compile_options INTERFACE ${_jrc_san_flags})
endif()

function(jrc_target_defaults target)
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:jrc_compile_options>)
endfunction()

# jrc_add_program(<name> <internal> <sources...>): one of our own programs
# (a test, a benchmark) with the project's options, linked to the shared
# library, or with <internal> true to its static twin for white-box access.
function(jrc_add_program name internal)
  add_executable(${name} ${ARGN})
  jrc_target_defaults(${name})
  if(internal)
    target_link_libraries(${name} PRIVATE JsonRpcClientInternal)
  else()
    target_link_libraries(${name} PRIVATE JsonRpcClient)
  endif()
endfunction()
