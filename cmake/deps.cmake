# The cross-built third-party libraries (cmake/build-deps.sh puts them in KAMOLT_DEPS_PREFIX),
# as imported static targets: deps::jpeg deps::zlib deps::png deps::gif deps::lzma deps::webp
# deps::tiff.

if(NOT KAMOLT_DEPS_PREFIX)
  set(KAMOLT_DEPS_PREFIX "${CMAKE_SOURCE_DIR}/build/deps/${CMAKE_SYSTEM_PROCESSOR}"
      CACHE PATH "Prefix holding the cross-built third-party libraries")
endif()

set(_kamolt_deps_inc "${KAMOLT_DEPS_PREFIX}/include")
set(_kamolt_deps_lib "${KAMOLT_DEPS_PREFIX}/lib")

# name | library file | a header that must be there [| link dependencies, comma-separated]
set(_kamolt_deps
  "jpeg|libjpeg.a|jpeglib.h"
  "zlib|libz.a|zlib.h"
  "png|libpng16.a|png.h|deps::zlib"
  "gif|libgif.a|gif_lib.h"
  "lzma|liblzma.a|lzma.h"
  "webp|libwebp.a|webp/decode.h"
  "tiff|libtiff.a|tiffio.h|deps::jpeg,deps::zlib,deps::lzma,deps::webp"
)

set(_kamolt_missing "")
foreach(_entry IN LISTS _kamolt_deps)
  string(REPLACE "|" ";" _fields "${_entry}")
  list(GET _fields 1 _file)
  list(GET _fields 2 _header)
  foreach(_path "${_kamolt_deps_lib}/${_file}" "${_kamolt_deps_inc}/${_header}")
    if(NOT EXISTS "${_path}")
      list(APPEND _kamolt_missing "${_path}")
    endif()
  endforeach()
endforeach()

if(_kamolt_missing)
  list(JOIN _kamolt_missing "\n  " _kamolt_missing_text)
  message(FATAL_ERROR
    "The Windows builds of the imaging libraries are missing:\n  ${_kamolt_missing_text}\n"
    "Build them once from the repository root with:\n  bash cmake/build-deps.sh\n"
    "(or point KAMOLT_DEPS_PREFIX at a folder that holds them).")
endif()

foreach(_entry IN LISTS _kamolt_deps)
  string(REPLACE "|" ";" _fields "${_entry}")
  list(GET _fields 0 _name)
  list(GET _fields 1 _file)
  list(LENGTH _fields _count)
  set(_links "")
  if(_count GREATER 3)
    list(GET _fields 3 _links)
    string(REPLACE "," ";" _links "${_links}")
  endif()
  if(NOT TARGET deps::${_name})
    add_library(deps::${_name} STATIC IMPORTED GLOBAL)
    set_target_properties(deps::${_name} PROPERTIES
      IMPORTED_LOCATION "${_kamolt_deps_lib}/${_file}"
      INTERFACE_INCLUDE_DIRECTORIES "${_kamolt_deps_inc}"
      INTERFACE_LINK_LIBRARIES "${_links}")
  endif()
endforeach()

unset(_kamolt_deps)
unset(_kamolt_missing)
