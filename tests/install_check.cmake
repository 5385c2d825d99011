# Installs the build into a scratch prefix and checks that both programs and their man pages
# land there and that the installed dravel runs.
# cmake -DBUILD_DIR=.. -DPREFIX=.. -DBINDIR=.. -DMANDIR=.. -P install_check.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${result}):\n${output}")
endif()
foreach(path IN ITEMS ${BINDIR}/dravel ${BINDIR}/krvbsim ${MANDIR}/man1/dravel.1
                      ${MANDIR}/man1/krvbsim.1)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}\n${output}")
  endif()
endforeach()
execute_process(COMMAND "${PREFIX}/${BINDIR}/dravel" --version
                RESULT_VARIABLE result OUTPUT_VARIABLE version INPUT_FILE /dev/null)
if(NOT result EQUAL 0 OR NOT version MATCHES "^dravel [0-9]")
  message(FATAL_ERROR "installed dravel --version: status ${result}, \"${version}\"")
endif()
file(REMOVE_RECURSE "${PREFIX}")
