# Where things install, and the packages CPack makes of it: a .deb on Linux, a zip on Windows.
if(WIN32)
  # The zip holds dravel.exe and its documents side by side (plain variables: they win over
  # what GNUInstallDirs may have cached before).
  set(CMAKE_INSTALL_BINDIR .)
  set(CMAKE_INSTALL_MANDIR .)
  set(CMAKE_INSTALL_DOCDIR .)
endif()
include(GNUInstallDirs)

# Debian ships man pages compressed; a plain install keeps them as they are.
option(DRAVEL_GZIP_MAN_PAGES "Install the man pages gzip-compressed (the package preset)" OFF)
find_program(DRAVEL_GZIP gzip)

function(dravel_install_man page)
  get_filename_component(name ${page} NAME)
  if(DRAVEL_GZIP_MAN_PAGES AND DRAVEL_GZIP)
    set(gz ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
    add_custom_command(OUTPUT ${gz}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
      COMMAND sh -c "${DRAVEL_GZIP} -9n -c '${CMAKE_CURRENT_SOURCE_DIR}/${page}' > '${gz}'"
      DEPENDS ${page} VERBATIM)
    add_custom_target(man_${name} ALL DEPENDS ${gz})
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  elseif(WIN32)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR})
  else()
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()

install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(NOT WIN32)
  install(FILES tools/bash-completion/dravel
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
endif()

set(CPACK_PACKAGE_NAME dravel)
set(CPACK_PACKAGE_VENDOR "the dravel developers")
set(CPACK_PACKAGE_CONTACT "the dravel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "terminal and program loader for a development board's debug monitor")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "dravel passes the keys typed to the monitor on a serial line and shows, logs\n"
  "and watches what it prints. Function keys run local commands: a shell escape,\n"
  "auto scripts, loading S-record, EXE and COFF programs, moving raw memory\n"
  "images, the operation log and local line editing. krvbsim, a simulated board\n"
  "monitor on a pseudo-terminal, comes with it.")
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
