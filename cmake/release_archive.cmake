# Packs a dist folder into a zip whose one top folder is the release's name, so that unpacking
# it never scatters files into the user's folder.
#   cmake -DDIST=<folder> -DTOP=<top folder> -DARCHIVE=<file.zip> -P release_archive.cmake
foreach(variable DIST TOP ARCHIVE)
  if(NOT ${variable})
    message(FATAL_ERROR "release_archive.cmake needs -D${variable}=...")
  endif()
endforeach()
if(NOT EXISTS ${DIST}/Kamolt.exe)
  message(FATAL_ERROR "${DIST} holds no Kamolt.exe: build the tree first")
endif()

set(stage ${ARCHIVE}.stage)
file(REMOVE_RECURSE ${stage})
file(COPY ${DIST}/ DESTINATION ${stage}/${TOP})
# Written beside and renamed, so that a failed run never leaves a cut-short archive behind.
file(REMOVE ${ARCHIVE}.part)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ARCHIVE}.part --format=zip ${TOP}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE packed)
file(REMOVE_RECURSE ${stage})
if(NOT packed EQUAL 0)
  file(REMOVE ${ARCHIVE}.part)
  message(FATAL_ERROR "packing ${ARCHIVE} failed: ${packed}")
endif()
file(RENAME ${ARCHIVE}.part ${ARCHIVE})
