# SPDX-License-Identifier: Apache-2.0
# Script mode, run by the docs target: copies the public headers, written
# (SOURCE/include) and generated (GENERATED), to OUTPUT, turning the comment
# lines that open a line, or follow a member on its line, into Doxygen
# comments. The licence line stays a plain comment.
foreach(root "${SOURCE}/include" "${GENERATED}")
  file(GLOB_RECURSE headers RELATIVE "${root}" "${root}/*.h")
  foreach(header IN LISTS headers)
    file(READ "${root}/${header}" text)
    string(REGEX REPLACE "(^|\n)([ ]*)// " "\\1\\2/// " text "${text}")
    string(REGEX REPLACE "(\n|^)/// SPDX-License-Identifier" "\\1// SPDX-License-Identifier" text "${text}")
    string(REGEX REPLACE ";([ ]*)// " ";\\1///< " text "${text}")
    file(WRITE "${OUTPUT}/${header}" "${text}")
  endforeach()
endforeach()
