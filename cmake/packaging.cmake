# Where things install, and the packages CPack makes of it: a .deb on Linux, a zip on Windows.
if(WIN32)
  # The zip holds dravel.exe and its documents side by side (plain variables: they win over
  # what GNUInstallDirs may have cached before).
  set(CMAKE_INSTALL_BINDIR .)
  set(CMAKE_INSTALL_MANDIR .)
  set(CMAKE_INSTALL_DOCDIR .)
endif()
include(GNUInstallDirs)

# Debian ships man pages and changelogs compressed; a plain install keeps man pages as they are.
option(DRAVEL_GZIP_MAN_PAGES "Install the man pages gzip-compressed (the package preset)" OFF)
find_program(DRAVEL_GZIP gzip)

# SOURCE compressed to BUILD/gz/NAME.gz at build time (-n: no name or time, so the same
# sources give the same package); the path of the result in the variable OUT.
function(dravel_gzip source name out)
  set(gz ${CMAKE_CURRENT_BINARY_DIR}/gz/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/gz
    COMMAND sh -c "${DRAVEL_GZIP} -9n -c '${source}' > '${gz}'"
    DEPENDS ${source} VERBATIM)
  add_custom_target(gzip_${name} ALL DEPENDS ${gz})
  set(${out} ${gz} PARENT_SCOPE)
endfunction()

function(dravel_install_man page)
  get_filename_component(name ${page} NAME)
  if(DRAVEL_GZIP_MAN_PAGES AND DRAVEL_GZIP)
    dravel_gzip(${CMAKE_CURRENT_SOURCE_DIR}/${page} ${name} gz)
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  elseif(WIN32)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR})
  else()
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()

set(DRAVEL_MAINTAINER "dravel developers <dravel@example.org>")
# LICENSE is the one text of the licence: its copyright line and its body feed the Debian
# copyright file and the zip's LICENSE.txt.
file(READ ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE DRAVEL_LICENSE)
string(STRIP "${DRAVEL_LICENSE}" DRAVEL_LICENSE)
if(NOT DRAVEL_LICENSE MATCHES "Copyright \\(c\\) ([^\n]+)\n\n(.+)$")
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line followed by the licence text")
endif()
set(DRAVEL_COPYRIGHT "${CMAKE_MATCH_1}")
set(license_body "${CMAKE_MATCH_2}")

install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(WIN32)
  configure_file(packaging/windows/LICENSE.txt.in LICENSE.txt @ONLY)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/LICENSE.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})
else()
  install(FILES tools/bash-completion/dravel
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  include(cmake/debian_docs.cmake)
endif()

set(CPACK_PACKAGE_NAME dravel)
set(CPACK_PACKAGE_VENDOR "the dravel developers")
set(CPACK_PACKAGE_CONTACT "${DRAVEL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "terminal and program loader for a development board's debug monitor")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "dravel passes the keys typed to the monitor on a serial line and shows, logs\n"
  "and watches what it prints. Function keys run local commands: a shell escape,\n"
  "auto scripts, loading S-record, EXE, COFF and ELF programs, moving raw\n"
  "memory images, the operation log and local line editing. krvbsim, a simulated\n"
  "board monitor on a pseudo-terminal, comes with it.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION comm)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS bash-completion)
endif()
include(CPack)
