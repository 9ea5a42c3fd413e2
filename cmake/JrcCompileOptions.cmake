# Compiler settings shared by every target of the project: strict warnings and
# the optional sanitizer builds. Targets opt in with jrc_target_defaults().

add_library(jrc_compile_options INTERFACE)

if(MSVC)
  target_compile_options(jrc_compile_options INTERFACE /W4 /permissive- /utf-8)
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
if(_jrc_san_flags)
  target_compile_options(jrc_compile_options INTERFACE ${_jrc_san_flags})
  target_link_options(jrc_compile_options INTERFACE ${_jrc_san_flags})
endif()

function(jrc_target_defaults target)
  target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:jrc_compile_options>)
endfunction()
