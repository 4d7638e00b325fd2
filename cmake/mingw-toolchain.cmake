# Cross toolchain for Windows with mingw-w64, posix thread model (std::thread needs it).
# Included by the two architecture files, which set KAMOLT_MINGW_ARCH first. Used by the Windows
# trees and by cmake/build-deps.sh for the third-party libraries.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KAMOLT_MINGW_ARCH})

set(KAMOLT_MINGW_TRIPLET ${KAMOLT_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER   ${KAMOLT_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAMOLT_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${KAMOLT_MINGW_TRIPLET}-windres)
# The "-posix" suffix hides the triplet prefix from CMake's binutils guess, which would
# otherwise fall back to the host's ar/ranlib.
set(CMAKE_AR      ${KAMOLT_MINGW_TRIPLET}-ar      CACHE FILEPATH "")
set(CMAKE_RANLIB  ${KAMOLT_MINGW_TRIPLET}-ranlib  CACHE FILEPATH "")
set(CMAKE_NM      ${KAMOLT_MINGW_TRIPLET}-nm      CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${KAMOLT_MINGW_TRIPLET}-objdump CACHE FILEPATH "")
set(CMAKE_STRIP   ${KAMOLT_MINGW_TRIPLET}-strip   CACHE FILEPATH "")

# The prebuilt libraries live in the repository's build/ folder, one prefix per architecture.
# The repository root is derived from this file's place rather than from CMAKE_SOURCE_DIR so that
# side projects (the dependency builds, cmake/deps-check) find the same folder; for the project's
# own tree both are the same.
get_filename_component(_kamolt_repo_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(KAMOLT_DEPS_PREFIX "${_kamolt_repo_root}/build/deps/${KAMOLT_MINGW_ARCH}"
    CACHE PATH "Prefix holding the cross-built third-party libraries")
# try_compile() projects re-read the toolchain without the cache; hand the values on.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KAMOLT_DEPS_PREFIX KAMOLT_MINGW_ARCH)

set(CMAKE_FIND_ROOT_PATH /usr/${KAMOLT_MINGW_TRIPLET} "${KAMOLT_DEPS_PREFIX}")
# Host programs (nasm, awk) are fine; libraries and headers must never come from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Keep pkg-config (if a project asks it) away from the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${KAMOLT_DEPS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
