# 32-bit Windows: the program users unpack from dist/.
set(KAMOLT_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
