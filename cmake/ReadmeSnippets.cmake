# SPDX-License-Identifier: Apache-2.0
# Writes the README's C++ snippets into one source file, in README order, the
# way a host would paste them: #include and using-directive lines at file
# scope, everything else in the body of one function. Compiling that file
# shows that the snippets still compile together as the README shows them.
#   cmake -DREADME=<README.md> -DOUT=<file.cpp> -P ReadmeSnippets.cmake
file(READ "${README}" text)
# CMake lists split at semicolons; keep the code's own out of the way.
string(REPLACE ";" "@SEMICOLON@" text "${text}")
string(REGEX MATCHALL "```cpp\n[^`]*```" blocks "${text}")
set(head "")
set(body "")
foreach(block IN LISTS blocks)
  string(REGEX REPLACE "^```cpp\n" "" block "${block}")
  string(REGEX REPLACE "```$" "" block "${block}")
  string(REGEX MATCHALL "[^\n]*\n" lines "${block}")
  foreach(line IN LISTS lines)
    if(line MATCHES "^(#include |using namespace )")
      string(APPEND head "${line}")
    else()
      string(APPEND body "    ${line}")
    endif()
  endforeach()
endforeach()
set(source "// Generated from README.md by cmake/ReadmeSnippets.cmake.\n${head}\nvoid ReadmeSnippets() {\n${body}}\n")
string(REPLACE "@SEMICOLON@" ";" source "${source}")
file(WRITE "${OUT}" "${source}")
