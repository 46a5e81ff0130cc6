# Run with cmake -P. Stages an install with DESTDIR and checks what a desktop needs to
# list and start the application: the program, its desktop entry (valid by
# desktop-file-validate, starting the installed program), the icon the entry names, the
# helper where the program looks for it, and the legal documents.
file(REMOVE_RECURSE ${STAGE_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE_DIR} ${CMAKE_COMMAND} --install ${BUILD_DIR}
  RESULT_VARIABLE installResult OUTPUT_QUIET)
if(NOT installResult EQUAL 0)
  message(FATAL_ERROR "install into ${STAGE_DIR} failed: ${installResult}")
endif()

execute_process(COMMAND test -x ${STAGE_DIR}${APP_PATH} RESULT_VARIABLE notExecutable)
if(NOT notExecutable EQUAL 0)
  message(FATAL_ERROR "the application is not installed as an executable at ${APP_PATH}")
endif()
if(NOT EXISTS ${STAGE_DIR}${DESKTOP_PATH})
  message(FATAL_ERROR "the desktop entry is not installed at ${DESKTOP_PATH}")
endif()
if(NOT EXISTS ${STAGE_DIR}${ICON_PATH})
  message(FATAL_ERROR "the icon is not installed at ${ICON_PATH}")
endif()

if(NOT VALIDATOR)
  message(FATAL_ERROR "desktop-file-validate is missing (package desktop-file-utils)")
endif()
execute_process(COMMAND ${VALIDATOR} ${STAGE_DIR}${DESKTOP_PATH}
  RESULT_VARIABLE validateResult OUTPUT_VARIABLE validateOutput ERROR_VARIABLE validateOutput)
# The validator exits 0 on hints and warnings too; take none of them.
if(NOT validateResult EQUAL 0 OR NOT validateOutput STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate rejects the desktop entry:\n${validateOutput}")
endif()

file(STRINGS ${STAGE_DIR}${DESKTOP_PATH} execLine REGEX "^Exec=")
if(NOT execLine STREQUAL "Exec=${APP_PATH}")
  message(FATAL_ERROR "the desktop entry starts '${execLine}', not the installed ${APP_PATH}")
endif()
file(STRINGS ${STAGE_DIR}${DESKTOP_PATH} iconLine REGEX "^Icon=")
get_filename_component(iconName ${ICON_PATH} NAME_WE)
if(NOT iconLine STREQUAL "Icon=${iconName}")
  message(FATAL_ERROR "the desktop entry names '${iconLine}', not the installed icon ${iconName}")
endif()
# The application starts the helper from beside its own prefix, the path the polkit
# action names; the About and Help windows' legal documents ship as files too.
get_filename_component(binDir ${APP_PATH} DIRECTORY)
get_filename_component(prefix ${binDir} DIRECTORY)
if(NOT "${prefix}/libexec/marlowick/marlowick-helper" STREQUAL HELPER_PATH)
  message(FATAL_ERROR "the application looks for its helper at ${prefix}/libexec/marlowick/marlowick-helper, "
                      "but it is installed at ${HELPER_PATH}")
endif()
execute_process(COMMAND test -x ${STAGE_DIR}${HELPER_PATH} RESULT_VARIABLE helperMissing)
if(NOT helperMissing EQUAL 0)
  message(FATAL_ERROR "the helper is not installed as an executable at ${HELPER_PATH}")
endif()
foreach(document LICENSE.md THIRD-PARTY-NOTICES.md)
  if(NOT EXISTS ${STAGE_DIR}${DOC_DIR}/${document})
    message(FATAL_ERROR "the legal document ${document} is not installed in ${DOC_DIR}")
  endif()
endforeach()
file(REMOVE_RECURSE ${STAGE_DIR})
