# Windows trees: the program and its modules, laid out as a user unpacks them. The i686 build is
# the product and goes to dist/; the x86_64 build, which the tests run under 64-bit Wine, keeps its
# copy inside its own tree.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(_kamolt_default_dist ${CMAKE_SOURCE_DIR}/dist)
else()
  set(_kamolt_default_dist ${CMAKE_BINARY_DIR}/dist)
endif()
set(KAMOLT_DIST ${_kamolt_default_dist} CACHE PATH "Folder the program and its modules are built into")
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${KAMOLT_DIST})
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${KAMOLT_DIST})

target_sources(kamolt_core PRIVATE base/file_io_win.cpp base/pending_file_win.cpp base/page_readier_win.cpp)

include(cmake/deps.cmake)
include(cmake/release.cmake)
include(cmake/delay_load.cmake)
target_link_libraries(kamolt_png PUBLIC deps::png)
target_link_libraries(kamolt_jpeg PUBLIC deps::jpeg)

add_subdirectory(app)
add_subdirectory(tools)
add_subdirectory(convert)
add_subdirectory(clip)
add_subdirectory(scan)
add_subdirectory(media)
add_subdirectory(modules)

# A picture to show right after unpacking.
find_program(KAMOLT_MAGICK convert PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
add_custom_command(OUTPUT ${KAMOLT_DIST}/sample.bmp
  COMMAND ${KAMOLT_MAGICK} -size 480x320 gradient:\#2f5f9f-\#f0b040
          -fill \#ffffff -stroke \#203040 -strokewidth 4 -draw "circle 240,160 240,70"
          -fill \#c03030 -stroke none -draw "rectangle 30,30 130,110"
          -fill \#30a050 -draw "polygon 380,270 450,270 415,200"
          BMP3:${KAMOLT_DIST}/sample.bmp
  VERBATIM)
add_custom_target(sample ALL DEPENDS ${KAMOLT_DIST}/sample.bmp)
add_subdirectory(tests/e2e)
add_subdirectory(tests/win32)
