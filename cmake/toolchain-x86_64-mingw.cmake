# 64-bit Windows: the same sources as the product, built for the tests under 64-bit Wine.
set(KAMOLT_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
