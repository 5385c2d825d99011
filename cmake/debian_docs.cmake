# The Debian documents every package carries in /usr/share/doc/dravel: the machine-readable
# copyright file (DEP-5) and the changelog, gzip-compressed under the name a native package
# uses. Included by packaging.cmake, which has read LICENSE.

# DEP-5 continues a field on lines that start with a space, and writes an empty line as " .".
string(REPLACE "\n" "\n " DRAVEL_LICENSE_TEXT " ${license_body}")
string(REPLACE "\n \n" "\n .\n" DRAVEL_LICENSE_TEXT "${DRAVEL_LICENSE_TEXT}")
configure_file(packaging/debian/copyright.in copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The changelog's newest entry names the version being built; the two must not drift apart.
set(changelog ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog)
file(STRINGS ${changelog} newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^dravel \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog starts with \"${newest}\", not with version "
                      "${PROJECT_VERSION}: add an entry for it")
endif()
if(DRAVEL_GZIP)
  dravel_gzip(${changelog} changelog gz)
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()
