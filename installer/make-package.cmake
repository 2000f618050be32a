# cmake -P step of installer/CMakeLists.txt: the setup program and the
# release archive from the dist folder, each rebuilt only when older than
# what it is made of.

set(inputs)
set(missing)
foreach(f ${FILES})
  if(EXISTS ${DIST_DIR}/${f})
    list(APPEND inputs ${DIST_DIR}/${f})
  else()
    list(APPEND missing ${f})
  endif()
endforeach()
if(missing)
  # Not an error: a tree whose parts are not all built yet still builds.
  message(WARNING "Setup not made: ${DIST_DIR} lacks ${missing}")
  return()
endif()

function(older_than_inputs out result)
  set(${result} FALSE PARENT_SCOPE)
  if(NOT EXISTS ${out})
    set(${result} TRUE PARENT_SCOPE)
    return()
  endif()
  foreach(in ${ARGN})
    if(${in} IS_NEWER_THAN ${out})
      set(${result} TRUE PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

file(MAKE_DIRECTORY ${OUT_DIR})
set(nsi ${SOURCE_DIR}/Scan2Mepla.nsi)

older_than_inputs(${SETUP} stale ${inputs} ${nsi})
if(stale)
  file(REMOVE ${SETUP})
  execute_process(
    COMMAND ${MAKENSIS} -V2 -NOCD -DARCH=${ARCH} -DDIST_DIR=${DIST_DIR}
            -DVERSION=${VERSION} -DOUTFILE=${SETUP} ${nsi}
    RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    file(REMOVE ${SETUP})
    message(FATAL_ERROR "makensis failed (${rc})")
  endif()
  message(STATUS "Made ${SETUP}")
endif()

# The archive: one folder Scan2Mepla-<version> with the files and the text
# for administrators who install by hand (Windows line ends).
set(install_in ${SOURCE_DIR}/INSTALL.txt.in)
older_than_inputs(${ARCHIVE} stale ${inputs} ${install_in})
if(stale)
  set(name Scan2Mepla-${VERSION})
  set(stage ${OUT_DIR}/stage)
  file(REMOVE_RECURSE ${stage})
  file(MAKE_DIRECTORY ${stage}/${name})
  file(COPY ${inputs} DESTINATION ${stage}/${name})
  configure_file(${install_in} ${stage}/${name}/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
  file(REMOVE ${ARCHIVE})
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ARCHIVE} --format=zip ${name}
                  WORKING_DIRECTORY ${stage} RESULT_VARIABLE rc)
  file(REMOVE_RECURSE ${stage})
  if(NOT rc EQUAL 0)
    file(REMOVE ${ARCHIVE})
    message(FATAL_ERROR "archive failed (${rc})")
  endif()
  message(STATUS "Made ${ARCHIVE}")
endif()
