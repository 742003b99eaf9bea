# Install step: copies the public headers into <prefix>/include/corvane, their includes of each
# other rewritten from "core/X.h" to <corvane/core/X.h>. Given CORVANE_HEADER_SOURCE,
# CORVANE_HEADER_STAGING, CORVANE_HEADER_DESTINATION (relative to the prefix) and
# CORVANE_PUBLIC_HEADERS (paths relative to the source folder).
foreach(header ${CORVANE_PUBLIC_HEADERS})
  file(READ "${CORVANE_HEADER_SOURCE}/${header}" text)
  string(REGEX REPLACE "#include \"([a-z]+/[A-Za-z0-9_]+\\.h)\"" "#include <corvane/\\1>" text
         "${text}")
  get_filename_component(folder "${header}" DIRECTORY)
  file(WRITE "${CORVANE_HEADER_STAGING}/${header}" "${text}")
  file(INSTALL "${CORVANE_HEADER_STAGING}/${header}"
       DESTINATION "${CMAKE_INSTALL_PREFIX}/${CORVANE_HEADER_DESTINATION}/${folder}")
endforeach()
