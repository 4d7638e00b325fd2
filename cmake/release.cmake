# What makes a Windows tree a release: version resources, the program's icon and the archive a
# user unpacks. Only for the Windows trees; windres is the toolchain's RC compiler.
enable_language(RC)

# Scripts that check or unpack the build read its version here rather than parse CMake files.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/kamolt_version.txt CONTENT "${PROJECT_VERSION}\n")

# The release archive of the tree's dist folder, made on demand once everything is built:
#   ninja release_archive
# The product (i686) gives kamolt-<version>-win32.zip; the x86_64 tree's archive exists only for
# the tests, which unpack and start it as a user would.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(_kamolt_archive_kind win32)
else()
  set(_kamolt_archive_kind win64-test)
endif()
add_custom_target(release_archive
  COMMAND ${CMAKE_COMMAND} -DDIST=${KAMOLT_DIST} -DTOP=kamolt-${PROJECT_VERSION}
          -DARCHIVE=${CMAKE_BINARY_DIR}/kamolt-${PROJECT_VERSION}-${_kamolt_archive_kind}.zip
          -P ${CMAKE_CURRENT_LIST_DIR}/release_archive.cmake
  VERBATIM)

# The help file every dialog opens with "hh.exe Kamolt.chm", compiled from the German pages in
# help/. The compiler writes beside its project, so it works on a copy in the tree.
find_program(KAMOLT_CHMCMD chmcmd PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
file(GLOB _kamolt_help_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*)
set(_kamolt_help_work ${CMAKE_BINARY_DIR}/help)
add_custom_command(OUTPUT ${KAMOLT_DIST}/Kamolt.chm
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${_kamolt_help_work}
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/help ${_kamolt_help_work}
  COMMAND ${CMAKE_COMMAND} -E chdir ${_kamolt_help_work} ${KAMOLT_CHMCMD} --verbosity 0 Kamolt.hhp
  COMMAND ${CMAKE_COMMAND} -E copy ${_kamolt_help_work}/Kamolt.chm ${KAMOLT_DIST}/Kamolt.chm
  DEPENDS ${_kamolt_help_sources}
  VERBATIM)
add_custom_target(help_file ALL DEPENDS ${KAMOLT_DIST}/Kamolt.chm)

# Version resources: every shipped program and module names the product and the one version of
# the project() line, with a German description of its own.
#   kamolt_version_resource(<target> "<Beschreibung>" [ICON <file.ico>])

# The .rc template is UTF-8 like every source; windres is told so by its code_page pragma.
set(_kamolt_version_template ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

# The program's icon, drawn here rather than taken from anywhere: a framed picture of a
# landscape, at the sizes Windows asks for in title bars, task bars and Explorer.
set(KAMOLT_ICON ${CMAKE_BINARY_DIR}/kamolt.ico)
find_program(KAMOLT_MAGICK convert PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_custom_command(OUTPUT ${KAMOLT_ICON}
  COMMAND ${KAMOLT_MAGICK} -size 256x256 xc:none
          -fill \#203040 -draw "roundrectangle 8,24 248,232 24,24"
          -fill \#9fd0f0 -draw "rectangle 28,44 228,212"
          -fill \#f0c030 -draw "circle 176,88 176,64"
          -fill \#3a8a40 -draw "polygon 28,212 100,110 160,180 190,150 228,196 228,212"
          -define icon:auto-resize=48,32,16 ${KAMOLT_ICON}
  VERBATIM)
add_custom_target(kamolt_icon DEPENDS ${KAMOLT_ICON})

function(kamolt_version_resource target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "ICON" "")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(KAMOLT_RC_FILETYPE VFT_APP)
  else()
    set(KAMOLT_RC_FILETYPE VFT_DLL)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  get_target_property(prefix ${target} PREFIX)
  get_target_property(suffix ${target} SUFFIX)
  if(NOT suffix)
    set(suffix ${CMAKE_EXECUTABLE_SUFFIX})
  endif()
  if(NOT prefix)
    set(prefix "")
  endif()
  set(KAMOLT_RC_DESCRIPTION "${description}")
  set(KAMOLT_RC_INTERNAL_NAME ${name})
  set(KAMOLT_RC_FILE_NAME ${prefix}${name}${suffix})
  set(parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION_TWEAK} 0 0 0 0)
  list(SUBLIST parts 0 4 parts)
  list(JOIN parts "," KAMOLT_RC_VERSION_COMMAS)
  set(KAMOLT_RC_ICON "")
  if(arg_ICON)
    # The first icon of a file is the one Explorer shows; the program loads it by the same number.
    set(KAMOLT_RC_ICON "1 ICON \"${arg_ICON}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${_kamolt_version_template} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  if(arg_ICON)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${arg_ICON})
    add_dependencies(${target} kamolt_icon)
  endif()
endfunction()
