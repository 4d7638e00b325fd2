#!/usr/bin/env bash
# Kamolt's one entry for building and checking it on Linux:
#   ./kamolt.sh run    show the viewer with the sample picture under Wine and keep a screenshot
#   ./kamolt.sh test   run every test: unit tests natively, end-to-end tests under Wine
#   ./kamolt.sh build  set up what is missing and build both trees
# It installs what it needs (as root, on Debian 12) and is quiet when all is there.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
ROOT=$PWD

DEBIAN_PACKAGES=(
  cmake ninja-build g++ pkg-config dpkg-dev
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686 nasm
  wine wine32:i386 fonts-wine xvfb xauth x11-utils imagemagick ghostscript
  cups cups-client cups-bsd printer-driver-cups-pdf libcups2:i386 poppler-utils
  libgtest-dev libgmock-dev googletest libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev zlib1g-dev
)

say() { echo "kamolt: $*"; }

missing_packages() {
  local package
  for package in "${DEBIAN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || echo "$package"
  done
}

SOURCE_LIST=/etc/apt/sources.list.d/kamolt-src.sources

write_source_entries() {
  # Debian's own source packages of the imaging libraries are built for Windows.
  cat >"$SOURCE_LIST" <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
}

setup() {
  local changed="" missing
  dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386; changed=1; }
  [ -f "$SOURCE_LIST" ] || { write_source_entries; changed=1; }
  missing=$(missing_packages)
  if [ -n "$missing" ] || [ -n "$changed" ]; then
    say "installing Debian packages: ${missing//$'\n'/ }"
    apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/tmp/kamolt-apt.log 2>&1 ||
      { tail -n 30 /tmp/kamolt-apt.log; exit 1; }
  fi
  bash cmake/build-deps.sh
}

configure() {
  local tree=$1
  shift
  [ -f "build/$tree/build.ninja" ] && return 0
  cmake -G Ninja -S . -B "build/$tree" -DCMAKE_BUILD_TYPE="${KAMOLT_BUILD_TYPE:-Release}" "$@" >"build/$tree.configure.log" 2>&1 ||
    { cat "build/$tree.configure.log"; exit 1; }
}

build() {
  mkdir -p build
  configure native -DCMAKE_BUILD_TYPE=Debug
  configure win32 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-i686-mingw.cmake"
  ninja -C build/native --quiet
  ninja -C build/win32 --quiet
}

run_main_job() {
  # shellcheck source=tests/e2e/wine_bench.sh
  source tests/e2e/wine_bench.sh
  trap wine_bench_stop EXIT
  # The bench reports through return codes and must not run under errexit.
  wine_bench_start || { say "the Wine test bench did not start"; exit 1; }
  local shot=$ROOT/build/screenshots/viewer.png
  mkdir -p "$(dirname "$shot")"
  (cd dist && wine_bench_run Kamolt.exe sample.bmp) &
  wine_bench_run build/win32/tools/wait_window.exe "sample.bmp (" 20000 || { say "the viewer did not show up"; exit 1; }
  wine_bench_screenshot "$shot" || exit 1
  say "the viewer shows dist/sample.bmp; screenshot: $shot"
}

# Printing is tested for real: a CUPS PDF printer as the default one, which Wine prints to.
start_printer() {
  local tries=0
  lpstat -r 2>/dev/null | grep -q 'is running' || cupsd || { say "cupsd did not start"; exit 1; }
  until lpstat -r 2>/dev/null | grep -q 'is running'; do
    (( ++tries < 100 )) || { say "cupsd does not answer"; exit 1; }
    sleep 0.1
  done
  if ! lpstat -p KamoltPDF >/dev/null 2>&1; then
    lpadmin -p KamoltPDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null ||
      { say "the PDF printer could not be set up"; exit 1; }
  fi
  lpadmin -d KamoltPDF
  # cups-pdf writes each job's PDF into the PDF folder of the user who printed.
  KAMOLT_PDF_FOLDER=$(getent passwd "$(id -un)" | cut -d: -f6)/PDF
  mkdir -p "$KAMOLT_PDF_FOLDER"
  export KAMOLT_PDF_FOLDER
}

run_tests() {
  ctest --test-dir build/native --output-on-failure
  start_printer
  # shellcheck source=tests/e2e/wine_bench.sh
  source tests/e2e/wine_bench.sh
  trap wine_bench_stop EXIT
  # The bench reports through return codes and must not run under errexit.
  wine_bench_start || { say "the Wine test bench did not start"; exit 1; }
  local shots=$ROOT/build/screenshots/failures
  rm -rf "$shots"
  mkdir -p "$shots"
  local status=0
  KAMOLT_DIST=$(wine_bench_winpath "$ROOT/dist") KAMOLT_TOOLS=$(wine_bench_winpath "$ROOT/build/win32/tools") \
    KAMOLT_SCREENSHOTS=$(wine_bench_winpath "$shots") \
    wine_bench_run build/win32/e2e/kamolt_e2e.exe || status=$?
  # The converter modules' round trips against ImageMagick, on the same bench.
  build/native/roundtrip/kamolt_roundtrip || status=$?
  # The writer's in-process tests, with their stand-in modules and converter.
  KAMOLT_DIST=$(wine_bench_winpath "$ROOT/dist") \
    wine_bench_run build/win32/tests-win32/kamolt_win32_tests.exe || status=$?
  local bmp
  for bmp in "$shots"/*.bmp; do
    [ -e "$bmp" ] || continue
    /usr/bin/convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    say "screenshot of a failure: ${bmp%.bmp}.png"
  done
  return $status
}

case "${1:-}" in
  setup) setup ;;
  build) setup; build ;;
  run) setup; build; run_main_job ;;
  test) setup; build; run_tests ;;
  *) echo "usage: $0 run|test|build|setup" >&2; exit 2 ;;
esac
