#!/usr/bin/env bash
# Builds the third-party imaging libraries as static mingw-w64 libraries from Debian's source
# packages (with Debian's patches, so their security fixes are in) into build/deps/<arch>:
#   bash cmake/build-deps.sh [i686|x86_64]     (i686 when no architecture is given)
# i686 is what ships; x86_64 is the build the tests run under 64-bit Wine. The unpacked sources
# are shared by both. Silent and quick when everything is already built; a build log per library
# is kept in build/deps/logs and its tail is shown only when that build fails.
set -euo pipefail

ARCH=${1:-i686}
case $ARCH in
    i686 | x86_64) ;;
    *) echo "build-deps: unknown architecture '$ARCH' (i686 or x86_64)" >&2; exit 2 ;;
esac
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
DEPS="$ROOT/build/deps"
SRC="$DEPS/src"
WORK="$DEPS/work/$ARCH"
PREFIX="$DEPS/$ARCH"
LOGS="$DEPS/logs/$ARCH"
STAMPS="$DEPS/stamps/$ARCH"
TOOLCHAIN="$ROOT/cmake/toolchain-$ARCH-mingw.cmake"
TRIPLET=$ARCH-w64-mingw32
CC="$TRIPLET-gcc-posix"
AR="$TRIPLET-ar"
NM="$TRIPLET-nm"
MINGW_PACKAGE_ARCH=${ARCH//_/-}
JOBS=2
CFLAGS_OPT="-O2"

# Build order matters: later libraries link against earlier ones.
PACKAGES=(zlib libjpeg-turbo libpng1.6 giflib xz-utils libwebp tiff lame)
declare -A DEPENDS=([libpng1.6]="zlib" [tiff]="zlib libjpeg-turbo xz-utils libwebp")
# Bump a recipe number when the way a library is built changes, so its stamp goes stale.
declare -A RECIPE=([zlib]=1 [libjpeg-turbo]=1 [libpng1.6]=1 [giflib]=1 [xz-utils]=1 [libwebp]=1 [tiff]=2
                   [lame]=1)
# What each build leaves under the prefix; its absence makes the build run again.
declare -A OUTPUT=([zlib]=lib/libz.a [libjpeg-turbo]=lib/libjpeg.a [libpng1.6]=lib/libpng16.a
                   [giflib]=lib/libgif.a [xz-utils]=lib/liblzma.a [libwebp]=lib/libwebp.a
                   [tiff]=lib/libtiff.a [lame]=bin/lame.exe)

stamp_of() { echo "$STAMPS/$1.done"; }

stamp_current() {
    local pkg=$1 f
    f=$(stamp_of "$pkg")
    [[ -f $f && -f $PREFIX/${OUTPUT[$pkg]} ]] && grep -qx "recipe=${RECIPE[$pkg]}" "$f"
}

all_current() {
    local pkg
    for pkg in "${PACKAGES[@]}"; do stamp_current "$pkg" || return 1; done
}

# The common case: nothing to do, say nothing.
if all_current; then exit 0; fi

mkdir -p "$SRC" "$WORK" "$PREFIX/include" "$PREFIX/lib" "$PREFIX/bin" "$LOGS" "$STAMPS"

CURRENT_LOG=/dev/null

fail() {
    echo "build-deps: $*" >&2
    if [[ -s $CURRENT_LOG ]]; then
        echo "---- last lines of $CURRENT_LOG ----" >&2
        tail -n 40 "$CURRENT_LOG" >&2
    fi
    exit 1
}

# Runs a command with its output going to the current log.
run() {
    echo "+ $*" >>"$CURRENT_LOG"
    "$@" >>"$CURRENT_LOG" 2>&1 || fail "command failed: $*"
}

APT_UPDATED=0
apt_update_once() {
    if (( APT_UPDATED == 0 )); then
        APT_UPDATED=1
        apt-get update -qq >>"$CURRENT_LOG" 2>&1 || fail "apt-get update failed"
    fi
}

ensure_tools() {
    # command -> Debian package that provides it
    local -A provider=(
        [cmake]=cmake [ninja]=ninja-build [nasm]=nasm [make]=make [awk]=mawk
        [dpkg-source]=dpkg-dev [$CC]=gcc-mingw-w64-$MINGW_PACKAGE_ARCH-posix
        [$AR]=binutils-mingw-w64-$MINGW_PACKAGE_ARCH
    )
    local cmd missing=()
    for cmd in "${!provider[@]}"; do
        command -v "$cmd" >/dev/null 2>&1 || missing+=("${provider[$cmd]}")
    done
    (( ${#missing[@]} == 0 )) && return 0
    CURRENT_LOG="$LOGS/tools.log"
    : >"$CURRENT_LOG"
    if ! DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >>"$CURRENT_LOG" 2>&1; then
        apt_update_once
        DEBIAN_FRONTEND=noninteractive run apt-get install -y -qq --no-install-recommends \
            "${missing[@]}"
    fi
}

# Source versions apt knows for a package, newest first (dpkg ordering, not lexical).
source_versions() {
    local pkg=$1 v out=() i j
    while read -r v; do
        [[ -n $v ]] || continue
        i=${#out[@]}
        out+=("$v")
        # insertion sort, descending
        while (( i > 0 )) && dpkg --compare-versions "${out[i-1]}" lt "${out[i]}"; do
            j=${out[i-1]}; out[i-1]=${out[i]}; out[i]=$j
            (( i-- ))
        done
    done < <(apt-cache showsrc --only-source "$pkg" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -u)
    printf '%s\n' "${out[@]}"
}

# Fetches and unpacks the newest downloadable version; sets SRCDIR and VERSION.
# A security upload can be listed while its files are not yet (or no longer) on the mirror,
# hence the walk down the list.
fetch_source() {
    local pkg=$1 marker="$SRC/$1.source" versions v tmp dir
    if [[ -f $marker ]]; then
        VERSION=$(sed -n 's/^version=//p' "$marker")
        SRCDIR=$(sed -n 's/^dir=//p' "$marker")
        [[ -d $SRCDIR ]] && return 0
    fi
    versions=$(source_versions "$pkg")
    if [[ -z $versions ]]; then
        apt_update_once
        versions=$(source_versions "$pkg")
    fi
    [[ -n $versions ]] || fail "no source package '$pkg' known to apt (is a deb-src entry configured?)"
    for v in $versions; do
        tmp="$SRC/$pkg-${v#*:}"
        rm -rf "$tmp"
        mkdir -p "$tmp"
        echo "+ apt-get source $pkg=$v" >>"$CURRENT_LOG"
        if (cd "$tmp" && apt-get source -q --only-source "$pkg=$v") >>"$CURRENT_LOG" 2>&1; then
            dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)
            [[ -n $dir ]] || fail "apt-get source $pkg=$v unpacked nothing"
            VERSION=$v
            SRCDIR=$dir
            printf 'version=%s\ndir=%s\n' "$VERSION" "$SRCDIR" >"$marker"
            return 0
        fi
        rm -rf "$tmp"
    done
    fail "could not download any version of $pkg (${versions//$'\n'/ })"
}

cmake_build() {
    # cmake_build <name> <source dir> [cmake args...]
    local name=$1 srcdir=$2; shift 2
    local bdir="$WORK/$name"
    rm -rf "$bdir"
    run cmake -G Ninja -S "$srcdir" -B "$bdir" \
        -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
        -DKAMOLT_DEPS_PREFIX="$PREFIX" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS_RELEASE="$CFLAGS_OPT -DNDEBUG" \
        -DCMAKE_CXX_FLAGS_RELEASE="$CFLAGS_OPT -DNDEBUG" \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" \
        -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib" \
        -DCMAKE_INSTALL_INCLUDEDIR="$PREFIX/include" \
        -DBUILD_SHARED_LIBS=OFF \
        "$@"
    run cmake --build "$bdir" --parallel "$JOBS"
    run cmake --install "$bdir"
}

build_zlib() {
    # Debian's repacked zlib has no win32 makefile, and its CMake build renames zconf.h inside
    # the source tree; the library is a fixed list of C files, so compile them directly.
    local bdir="$WORK/zlib" f
    local sources=(adler32.c compress.c crc32.c deflate.c gzclose.c gzlib.c gzread.c gzwrite.c
                   infback.c inffast.c inflate.c inftrees.c trees.c uncompr.c zutil.c)
    rm -rf "$bdir"
    mkdir -p "$bdir"
    for f in "${sources[@]}"; do
        run "$CC" $CFLAGS_OPT -Wall -c "$SRCDIR/$f" -o "$bdir/${f%.c}.o"
    done
    run "$AR" rcs "$bdir/libz.a" "$bdir"/*.o
    run install -m 644 "$bdir/libz.a" "$PREFIX/lib/libz.a"
    run install -m 644 "$SRCDIR/zlib.h" "$SRCDIR/zconf.h" "$PREFIX/include/"
}

build_libjpeg_turbo() {
    cmake_build libjpeg-turbo "$SRCDIR" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF \
        -DCMAKE_ASM_NASM_COMPILER="$(command -v nasm)"
    # REQUIRE_SIMD already stops a build without it; the symbol check guards against a
    # silently different configuration.
    grep -q '^WITH_SIMD:.*=\(ON\|1\|TRUE\)$' "$WORK/libjpeg-turbo/CMakeCache.txt" \
        || fail "libjpeg-turbo configured without SIMD"
    local syms
    syms=$("$NM" "$PREFIX/lib/libjpeg.a" 2>/dev/null) || fail "cannot list symbols of libjpeg.a"
    grep -Eq ' T _?jsimd_[a-z0-9_]+_(sse2|avx2)$' <<<"$syms" || fail "libjpeg.a has no SIMD routines"
}

build_libpng() {
    cmake_build libpng "$SRCDIR" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
        -DPNG_BUILD_ZLIB=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON \
        -DZLIB_INCLUDE_DIR="$PREFIX/include" -DZLIB_LIBRARY="$PREFIX/lib/libz.a"
}

build_giflib() {
    # giflib ships only a Unix makefile (shared library, Unix install); the library itself is
    # the makefile's SOURCES list, compiled with its flags.
    local bdir="$WORK/giflib" f
    local sources=(dgif_lib.c egif_lib.c gifalloc.c gif_err.c gif_font.c gif_hash.c
                   openbsd-reallocarray.c quantize.c)
    rm -rf "$bdir"
    mkdir -p "$bdir"
    for f in "${sources[@]}"; do
        [[ -f $SRCDIR/$f ]] || fail "giflib source $f missing from $SRCDIR"
        run "$CC" $CFLAGS_OPT -std=gnu99 -Wall -Wno-format-truncation \
            -c "$SRCDIR/$f" -o "$bdir/${f%.c}.o"
    done
    run "$AR" rcs "$bdir/libgif.a" "$bdir"/*.o
    run install -m 644 "$bdir/libgif.a" "$PREFIX/lib/libgif.a"
    run install -m 644 "$SRCDIR/gif_lib.h" "$PREFIX/include/"
}

build_xz_utils() {
    # Only liblzma, for libtiff's LZMA codec.
    cmake_build xz-utils "$SRCDIR" -DBUILD_TESTING=OFF -DENABLE_NLS=OFF
}

build_libwebp() {
    # Only the library, for libtiff's WebP codec.
    cmake_build libwebp "$SRCDIR" \
        -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
        -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
        -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
        -DWEBP_BUILD_LIBWEBPMUX=OFF -DWEBP_ENABLE_SWAP_16BIT_CSP=OFF
}

build_tiff() {
    # liblzma's header marks its functions as DLL imports unless told the library is static.
    cmake_build tiff "$SRCDIR" \
        -DCMAKE_C_FLAGS=-DLZMA_API_STATIC \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
        -Dcxx=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Dpixarlog=ON -Dpackbits=ON \
        -Djpeg12=OFF -Dlzma=ON -Dzstd=OFF -Dwebp=ON -Djbig=OFF -Dlerc=OFF -Dlibdeflate=OFF \
        -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_ZSTD=ON -DCMAKE_DISABLE_FIND_PACKAGE_JBIG=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_Deflate=ON -DCMAKE_DISABLE_FIND_PACKAGE_LERC=ON \
        -DZLIB_INCLUDE_DIR="$PREFIX/include" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" \
        -DJPEG_INCLUDE_DIR="$PREFIX/include" -DJPEG_LIBRARY="$PREFIX/lib/libjpeg.a" \
        -DLIBLZMA_INCLUDE_DIR="$PREFIX/include" -DLIBLZMA_LIBRARY="$PREFIX/lib/liblzma.a" \
        -DWebP_INCLUDE_DIR="$PREFIX/include" -DWebP_LIBRARY="$PREFIX/lib/libwebp.a"
    local cfg="$WORK/tiff/libtiff/tiffconf.h" private="$WORK/tiff/libtiff/tif_config.h" define
    grep -q '^#define ZIP_SUPPORT 1' "$cfg" || fail "libtiff configured without zlib"
    grep -q '^#define JPEG_SUPPORT 1' "$cfg" || fail "libtiff configured without JPEG"
    grep -q '^#define PACKBITS_SUPPORT 1' "$cfg" || fail "libtiff configured without PackBits"
    for define in LZMA_SUPPORT WEBP_SUPPORT; do
        grep -q "^#define $define 1" "$cfg" "$private" || fail "libtiff configured without $define"
    done
}

build_lame() {
    # Only the encoder program ships, as one static executable that needs nothing beyond the
    # system DLLs; the library stays inside it. Debian's configure script is used as it stands.
    local bdir="$WORK/lame"
    rm -rf "$bdir"
    mkdir -p "$bdir"
    (
        cd "$bdir"
        run "$SRCDIR/configure" --host="$TRIPLET" --disable-shared --enable-static \
            --disable-gtktest --disable-mp3x --disable-nasm --enable-frontend \
            --with-fileio=lame CC="$CC" CFLAGS="$CFLAGS_OPT" LDFLAGS="-static -static-libgcc"
        run make -j"$JOBS"
    ) || exit 1
    [[ -f $bdir/frontend/lame.exe ]] || fail "the LAME build made no lame.exe"
    run "$TRIPLET-strip" -o "$PREFIX/bin/lame.exe" "$bdir/frontend/lame.exe"
}

ensure_tools

for pkg in "${PACKAGES[@]}"; do
    stamp_current "$pkg" && continue
    CURRENT_LOG="$LOGS/$pkg.log"
    : >"$CURRENT_LOG"
    fetch_source "$pkg"
    echo "build-deps: building $pkg $VERSION for $ARCH" >&2
    case $pkg in
        zlib) build_zlib ;;
        libjpeg-turbo) build_libjpeg_turbo ;;
        libpng1.6) build_libpng ;;
        giflib) build_giflib ;;
        xz-utils) build_xz_utils ;;
        libwebp) build_libwebp ;;
        tiff) build_tiff ;;
        lame) build_lame ;;
    esac
    printf 'version=%s\nrecipe=%s\n' "$VERSION" "${RECIPE[$pkg]}" >"$(stamp_of "$pkg")"
    # Whatever linked against the old build must be rebuilt against this one.
    for other in "${PACKAGES[@]}"; do
        [[ " ${DEPENDS[$other]:-} " == *" $pkg "* ]] && rm -f "$(stamp_of "$other")"
    done
done
exit 0
