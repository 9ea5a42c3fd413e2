# SPDX-License-Identifier: Apache-2.0
# The servers the library starts by name, and the companion files the servo
# tuning server expects beside itself. This list is the only one: the public
# header KnownServers.h is generated from it, the servo server's build lays
# out the companions from it, and the tests copy it, so the files the build
# puts down and the files the library looks for cannot disagree.
set(JRC_PNCONFIG_SERVER TavrelPNRunner)
set(JRC_SERVO_SERVER PellavonCli)
# In the order the library checks them.
set(JRC_SERVO_COMPANIONS
  PellavonCore PellavonMotion PellavonDrive PellavonFieldbus PellavonParams PellavonLicense)

# The companions' file names in the library's spelling of a shared library.
set(JRC_SERVO_COMPANION_FILES "")
set(_jrc_companion_lines "")
foreach(_jrc_base IN LISTS JRC_SERVO_COMPANIONS)
  list(APPEND JRC_SERVO_COMPANION_FILES
    "${JRC_LIBRARY_PREFIX}${_jrc_base}${CMAKE_SHARED_LIBRARY_SUFFIX}")
  string(APPEND _jrc_companion_lines "    L\"${_jrc_base}\",\n")
endforeach()
list(LENGTH JRC_SERVO_COMPANIONS JRC_SERVO_COMPANION_COUNT)
string(REGEX REPLACE "\n$" "" JRC_SERVO_COMPANION_LINES "${_jrc_companion_lines}")
configure_file("${CMAKE_CURRENT_LIST_DIR}/KnownServers.h.in"
  "${PROJECT_BINARY_DIR}/include/JsonRpcClient/hosting/KnownServers.h" @ONLY)
