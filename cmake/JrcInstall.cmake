# SPDX-License-Identifier: Apache-2.0
# Installs the library as a CMake package (find_package(JsonRpcClient CONFIG)
# gives JsonRpcClient::JsonRpcClient) and as a pkg-config module.
include(CMakePackageConfigHelpers)

set(JRC_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/JsonRpcClient")

install(TARGETS JsonRpcClient EXPORT JsonRpcClientTargets
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(DIRECTORY include/JsonRpcClient DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  FILES_MATCHING PATTERN "*.h")
# The generated headers.
install(DIRECTORY "${PROJECT_BINARY_DIR}/include/JsonRpcClient" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}"
  FILES_MATCHING PATTERN "*.h")
install(EXPORT JsonRpcClientTargets NAMESPACE JsonRpcClient:: DESTINATION "${JRC_CMAKE_DIR}")

configure_package_config_file(cmake/JsonRpcClientConfig.cmake.in
  "${CMAKE_CURRENT_BINARY_DIR}/JsonRpcClientConfig.cmake"
  INSTALL_DESTINATION "${JRC_CMAKE_DIR}")
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/JsonRpcClientConfigVersion.cmake"
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${CMAKE_CURRENT_BINARY_DIR}/JsonRpcClientConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/JsonRpcClientConfigVersion.cmake"
  DESTINATION "${JRC_CMAKE_DIR}")

# The .pc file finds its prefix relative to itself, so an installation can be
# moved (or made with `cmake --install --prefix`) and still be found.
file(RELATIVE_PATH JRC_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" JRC_PC_TO_PREFIX "${JRC_PC_TO_PREFIX}")
configure_file(cmake/JsonRpcClient.pc.in "${CMAKE_CURRENT_BINARY_DIR}/JsonRpcClient.pc" @ONLY)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/JsonRpcClient.pc"
  DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig")

# What a user reads: the licence, the documentation (and the API reference
# when the docs target was built), and the examples' sources, which build on
# their own against this installation.
install(FILES README.md LICENSE NOTICE CHANGELOG.md DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(DIRECTORY docs/ DESTINATION "${CMAKE_INSTALL_DOCDIR}/docs")
install(DIRECTORY "${PROJECT_BINARY_DIR}/docs/api/html/" DESTINATION "${CMAKE_INSTALL_DOCDIR}/api"
  OPTIONAL)
install(DIRECTORY examples/ DESTINATION "${CMAKE_INSTALL_DOCDIR}/examples")

# The sample GSDML files, where an installed `pnctl demo` looks for them.
install(DIRECTORY samples/gsdml/ DESTINATION "${CMAKE_INSTALL_DATADIR}/JsonRpcClient/gsdml"
  FILES_MATCHING PATTERN "*.xml")
