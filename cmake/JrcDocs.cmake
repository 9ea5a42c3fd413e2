# SPDX-License-Identifier: Apache-2.0
# The API reference: `cmake --build <dir> --target docs` writes HTML from the
# public headers to <dir>/docs/api/html. Only where Doxygen is found; any
# warning fails the target.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  return()
endif()

# The headers document their declarations with plain // comments. Doxygen
# reads copies in which those comments are marked as documentation, so the
# headers stay written the way the rest of the code is.
file(GLOB_RECURSE _jrc_public_headers CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/include/*.h")
file(GLOB _jrc_docs_pages CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/docs/*.md")
set(JRC_DOCS_DIR "${PROJECT_BINARY_DIR}/docs/api")
set(JRC_DOCS_INPUT "${JRC_DOCS_DIR}/input")
configure_file("${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in" "${JRC_DOCS_DIR}/Doxyfile" @ONLY)
add_custom_command(OUTPUT "${JRC_DOCS_DIR}/html/index.html"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${JRC_DOCS_INPUT}" "${JRC_DOCS_DIR}/html"
  COMMAND "${CMAKE_COMMAND}" "-DSOURCE=${PROJECT_SOURCE_DIR}" "-DOUTPUT=${JRC_DOCS_INPUT}"
    "-DGENERATED=${PROJECT_BINARY_DIR}/include"
    -P "${PROJECT_SOURCE_DIR}/cmake/DoxygenInput.cmake"
  COMMAND Doxygen::doxygen "${JRC_DOCS_DIR}/Doxyfile"
  DEPENDS ${_jrc_public_headers} "${PROJECT_SOURCE_DIR}/cmake/Doxyfile.in"
    "${PROJECT_SOURCE_DIR}/cmake/DoxygenInput.cmake" "${PROJECT_SOURCE_DIR}/README.md"
    "${PROJECT_SOURCE_DIR}/CHANGELOG.md" ${_jrc_docs_pages}
  WORKING_DIRECTORY "${JRC_DOCS_DIR}"
  COMMENT "Writing the API reference to ${JRC_DOCS_DIR}/html"
  VERBATIM)
add_custom_target(docs DEPENDS "${JRC_DOCS_DIR}/html/index.html")
