#!/usr/bin/env bash
# Kamolt's one entry for building and checking it on Linux:
#   ./kamolt.sh run    scan a page on the virtual scanner under Wine, show it in the viewer and keep a screenshot
#   ./kamolt.sh test   run every test: unit tests natively, end-to-end tests under Wine
#   ./kamolt.sh build  set up what is missing and build the three trees and the release archive
# It installs what it needs (as root, on Debian 12) and is quiet when all is there.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"
ROOT=$PWD

DEBIAN_PACKAGES=(
  cmake ninja-build g++ pkg-config dpkg-dev binutils
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nasm
  wine wine64 fonts-wine xvfb xauth x11-utils imagemagick ghostscript
  cups cups-client cups-bsd printer-driver-cups-pdf libcups2 poppler-utils
  libgtest-dev libgmock-dev googletest libpng-dev libjpeg62-turbo-dev libgif-dev libtiff-dev zlib1g-dev
  clang-14 libclang-rt-14-dev
  unzip fp-utils libchm-bin
  pulseaudio pulseaudio-utils sox libsox-fmt-mp3
)
# Only on machines that run 32-bit Linux programs: 32-bit Wine for a second end-to-end run.
WINE32_PACKAGES=(wine32:i386 libcups2:i386)

say() { echo "kamolt: $*"; }

missing_packages() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || echo "$package"
  done
}

SOURCE_LIST=/etc/apt/sources.list.d/kamolt-src

# Debian's own source packages of the imaging libraries are built for Windows. Their entries
# are the machine's own Debian entries made source entries: the same mirrors and suites,
# whichever the machine is given. One-line entries and deb822 stanzas alike.
source_entries() {
  local codename file
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    awk -v codename="$codename" '$1 == "deb" && $0 ~ "[[:space:]]" codename "([-/][^[:space:]]*)?[[:space:]]" \
      { $1 = "deb-src"; print }' "$file"
  done >"$1.list.new"
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && [ "$file" != "$1.sources" ] || continue
    awk -v codename="$codename" '
      function flush() {
        if (types ~ /(^|[[:space:]])deb([[:space:]]|$)/ && suites ~ "(^|[[:space:]])" codename "([-/]|[[:space:]]|$)")
          printf "Types: deb-src\n%s\n", stanza
        stanza = ""; types = ""; suites = ""
      }
      /^[[:space:]]*$/ { flush(); next }
      /^#/ { next }
      /^Types:/ { types = $0; sub(/^Types:/, "", types); next }
      /^Suites:/ { suites = $0 }
      { stanza = stanza $0 "\n" }
      END { flush() }' "$file"
  done >"$1.sources.new"
}

# True when the entries changed (or were first written), so that apt must read them.
update_source_entries() {
  local kind changed=1
  source_entries "$SOURCE_LIST"
  for kind in list sources; do
    if [ -s "$SOURCE_LIST.$kind.new" ]; then
      cmp -s "$SOURCE_LIST.$kind.new" "$SOURCE_LIST.$kind" && { rm -f "$SOURCE_LIST.$kind.new"; continue; }
      mv "$SOURCE_LIST.$kind.new" "$SOURCE_LIST.$kind"
    else
      rm -f "$SOURCE_LIST.$kind.new"
      [ -e "$SOURCE_LIST.$kind" ] || continue
      rm -f "$SOURCE_LIST.$kind"
    fi
    changed=0
  done
  return $changed
}

# Most machines' kernels refuse 32-bit programs ("Exec format error"), and then 32-bit Wine
# cannot start. A program of a few bytes tells, before anything 32-bit is installed.
RUNS_32BIT=""
probe_32bit() {
  local dir=build/probe32
  mkdir -p "$dir"
  printf 'global _start\nsection .text\n_start:\n  mov eax, 1\n  xor ebx, ebx\n  int 0x80\n' >"$dir/exit0.asm"
  nasm -f elf32 -o "$dir/exit0.o" "$dir/exit0.asm" && ld -m elf_i386 -o "$dir/exit0" "$dir/exit0.o" ||
    { say "could not build the 32-bit probe"; exit 1; }
  if "$dir/exit0" 2>/dev/null; then
    RUNS_32BIT=1
  else
    say "this machine runs no 32-bit programs: the end-to-end suite runs on the 64-bit build only"
  fi
}

setup() {
  local changed="" missing wanted=("${DEBIAN_PACKAGES[@]}")
  command -v nasm >/dev/null && command -v ld >/dev/null ||
    { apt-get update -qq >/dev/null; DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nasm binutils >/dev/null; }
  probe_32bit
  if [ -n "$RUNS_32BIT" ]; then
    dpkg --print-foreign-architectures | grep -qx i386 || { dpkg --add-architecture i386; changed=1; }
    wanted+=("${WINE32_PACKAGES[@]}")
  fi
  update_source_entries && changed=1
  missing=$(missing_packages "${wanted[@]}")
  if [ -n "$missing" ] || [ -n "$changed" ]; then
    say "installing Debian packages: ${missing//$'\n'/ }"
    apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/tmp/kamolt-apt.log 2>&1 ||
      { tail -n 30 /tmp/kamolt-apt.log; exit 1; }
  fi
  bash cmake/build-deps.sh i686
  bash cmake/build-deps.sh x86_64
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
  configure win64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-mingw.cmake"
  ninja -C build/native --quiet
  ninja -C build/win32 --quiet
  ninja -C build/win64 --quiet
  bash tests/check_product.sh
  # The release archives of both trees: the product's to ship, the 64-bit one for the tests.
  ninja -C build/win32 --quiet release_archive
  ninja -C build/win64 --quiet release_archive
}

# Starts the Wine bench for one architecture (win64 or win32); see tests/e2e/wine_bench.sh.
start_bench() {
  WINE_BENCH_ARCH=$1
  # shellcheck source=tests/e2e/wine_bench.sh
  source tests/e2e/wine_bench.sh
  trap 'wine_bench_stop || :' EXIT
  # The bench reports through return codes and must not run under errexit.
  wine_bench_start || { say "the Wine test bench ($1) did not start"; exit 1; }
}

run_main_job() {
  start_bench win64
  local dist=build/win64/dist job=$ROOT/build/mainjob
  wine_bench_install_scanner "$dist/KamoltVirtualScanner.ds" || { say "the virtual scanner did not install"; exit 1; }
  printf '[Scanner]\r\nPages=1\r\n' >"$WINEPREFIX/drive_c/windows/twain_64/KamoltVirtualScanner.ini"
  # A copy of the program set to scan A4 in colour, at 100 DPI so that the viewer shows much of the page.
  rm -rf "$job"
  mkdir -p "$job/app" "$job/pics"
  cp "$dist/Kamolt.exe" "$dist"/CONV_*.DLL "$job/app/"
  printf '[Scan]\r\nDPI0=100\r\nDefDPI=100\r\nFormat0=210,297,DIN A4\r\nDefFormat=DIN A4\r\n' >"$job/app/Kamolt.INI"
  wine_bench_run "$job/app/Kamolt.exe" -S "$(wine_bench_winpath "$job/pics")\\bild01" /CJPG /X ||
    { say "the scan failed"; exit 1; }
  local jpeg=$job/pics/bild01.JPG shot=$ROOT/build/screenshots/scan-viewer.png
  [ -f "$jpeg" ] || { say "the scan wrote no picture"; exit 1; }
  mkdir -p "$(dirname "$shot")"
  (cd "$job/pics" && wine_bench_run "$job/app/Kamolt.exe" bild01.JPG) &
  wine_bench_run build/win64/tools/wait_window.exe "bild01.JPG (" 20000 || { say "the viewer did not show up"; exit 1; }
  wine_bench_screenshot "$shot" || exit 1
  say "scanned on the virtual scanner (64-bit test build under 64-bit Wine): $jpeg"
  say "hand-off file: $job/app/SendToZelvo.TXT"
  say "the viewer with the picture: $shot"
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

# The end-to-end suite on one Windows build, on the bench that is up.
run_e2e() {
  local tree=$1 dist=$2
  KAMOLT_DIST=$(wine_bench_winpath "$dist") KAMOLT_TOOLS=$(wine_bench_winpath "$ROOT/build/$tree/tools") \
    KAMOLT_SCREENSHOTS=$(wine_bench_winpath "$SHOTS") \
    wine_bench_run "build/$tree/e2e/kamolt_e2e.exe"
}

SHOTS=$ROOT/build/screenshots/failures

run_tests() {
  ctest --test-dir build/native --output-on-failure
  bash tests/help_file_test.sh dist/Kamolt.chm
  start_printer
  rm -rf "$SHOTS"
  mkdir -p "$SHOTS"
  local status=0 dist64=$ROOT/build/win64/dist
  # Real sound for the recorder: the tests' own PulseAudio server, reached by Wine's driver.
  # shellcheck source=tests/e2e/sound_bench.sh
  source tests/e2e/sound_bench.sh
  sound_bench_start || { say "the sound bench did not start"; exit 1; }
  start_bench win64
  wine_bench_install_scanner "$dist64/KamoltVirtualScanner.ds" || { say "the virtual scanner could not be installed"; exit 1; }
  # The release archive unpacked and started, before any test leaves a file in dist.
  # shellcheck source=tests/release_archive_test.sh
  source tests/release_archive_test.sh
  release_archive_test build/win64 "$dist64" || status=$?
  run_e2e win64 "$dist64" || status=$?
  # The converter modules' round trips against ImageMagick, on the same bench.
  KAMOLT_MODULE_TOOL=$ROOT/build/win64/tools/module_tool.exe KAMOLT_MODULE_DIR=$dist64 \
    build/native/roundtrip/kamolt_roundtrip || status=$?
  # The writer's in-process tests, with their stand-in modules and converter.
  KAMOLT_DIST=$(wine_bench_winpath "$dist64") \
    wine_bench_run build/win64/tests-win32/kamolt_win32_tests.exe || status=$?
  # Like every bench call, not under errexit: stopping a server that already left is no fault.
  wine_bench_stop || :
  if [ -n "$RUNS_32BIT" ]; then
    say "this machine runs 32-bit programs: the end-to-end suite once more on the 32-bit product"
    start_bench win32
    wine_bench_install_scanner "$ROOT/dist/KamoltVirtualScanner.ds" || { say "the virtual scanner could not be installed"; exit 1; }
    release_archive_test build/win32 "$ROOT/dist" || status=$?
    run_e2e win32 "$ROOT/dist" || status=$?
    wine_bench_stop || :
  fi
  sound_bench_stop
  local bmp
  for bmp in "$SHOTS"/*.bmp; do
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
