#!/bin/bash
# Scan benchmark: a 2550 x 3300 RGB page through the program's memory transfer natively
# beside two memcpys of it, the most memory that path holds, and an automatic 300 DPI A4
# colour scan to JPEG on the virtual scanner under 64-bit Wine. Figures only.
#   bash bench/scan_bench.sh [repetitions]      (after ./kamolt.sh build; 10 by default)
# SCAN_BENCH_TREE picks another x86_64 build tree than build/win64.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT=$PWD
REPS=${1:-10}
TREE=${SCAN_BENCH_TREE:-build/win64}
WORK=$ROOT/build/bench/scan
mkdir -p "$WORK"
for needed in "$TREE/dist/Kamolt.exe" "$TREE/dist/CONV_JPG.DLL" "$TREE/dist/KamoltVirtualScanner.ds" \
  "$TREE/tools/start_timer.exe"; do
  [ -f "$needed" ] || { echo "no $needed: build first"; exit 1; }
done

# The page path is the program's own code, built natively and optimised like the product.
NATIVE=$WORK/scan_bench_native
SOURCES=(bench/scan_bench_native.cpp scan/twain_transfer.cpp scan/memory_image.cpp scan/twain_session.cpp
  scan/twain_diagnostics.cpp scan/capability_dump.cpp scan/capability_negotiation.cpp base/dib.cpp)
stale=
for source in "${SOURCES[@]}"; do [ "$source" -nt "$NATIVE" ] && stale=1; done
if [ ! -x "$NATIVE" ] || [ -n "$stale" ]; then
  g++ -std=c++20 -O2 -I. "${SOURCES[@]}" -o "$NATIVE" || { echo "native build failed"; exit 1; }
fi

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f x", a / b; else print "-" }'; }

echo "page path, native x86_64 ($REPS repetitions), a 2550 x 3300 RGB page by memory transfer in 64 KiB strips:"
read -r BEST MEDIAN COPY_BEST COPY_MEDIAN FRESH_BEST FRESH_MEDIAN PEAK PAGE < <("$NATIVE" "$REPS") || { echo "the page path failed"; exit 1; }
printf '  %-44s best %8.2f ms   median %8.2f ms\n' "strips placed, rows flipped, red/blue swapped" "$BEST" "$MEDIAN"
printf '  %-44s best %8.2f ms   median %8.2f ms\n' "two memcpys of the page" "$COPY_BEST" "$COPY_MEDIAN"
printf '  %-44s best %8.2f ms   median %8.2f ms\n' "the same, the first into a fresh block" "$FRESH_BEST" "$FRESH_MEDIAN"
printf '  %-44s %s (target: within 1.5 x)\n' "page path / two memcpys (best)" "$(ratio "$BEST" "$COPY_BEST")"
printf '  %-44s %d bytes for a page of %d bytes: %s (target: within 2.2 x)\n' "peak memory of the page path" \
  "$PEAK" "$PAGE" "$(ratio "$PEAK" "$PAGE")"

# The whole scan as a user starts it, on a copy of the program with its own settings.
source tests/e2e/wine_bench.sh
trap wine_bench_stop EXIT
wine_bench_start || { echo "the Wine bench did not start"; exit 1; }
wine_bench_install_scanner "$TREE/dist/KamoltVirtualScanner.ds" || { echo "the scanner did not install"; exit 1; }
SCANNER_INI=$WINEPREFIX/drive_c/windows/twain_64/KamoltVirtualScanner.ini
printf '[Scanner]\r\nPages=1\r\n' >"$SCANNER_INI"
APP=$WORK/app
rm -rf "$APP" "$WORK/pics"
mkdir -p "$APP" "$WORK/pics"
cp "$TREE/dist/Kamolt.exe" "$TREE/dist/CONV_JPG.DLL" "$APP/"
printf '[Scan]\r\nDPI0=300\r\nDefDPI=300\r\nFormat0=210,297,DIN A4\r\nDefFormat=DIN A4\r\n' >"$APP/Kamolt.INI"
PICS=$(wine_bench_winpath "$WORK/pics")
EXE=$(wine_bench_winpath "$APP/Kamolt.exe")
TIMER=$TREE/tools/start_timer.exe
BARE=$(wine "$TIMER" - "$(wine_bench_winpath "$ROOT/$TIMER")" noop 2>/dev/null | tr -d '\r')
SCANS=()
for ((i = 0; i < 3; i++)); do
  rm -f "$WORK/pics/"* "$APP/SendToZelvo.TXT"
  # The program ends right after it has written SendToZelvo.TXT.
  ms=$(wine "$TIMER" - "$EXE" -S "$PICS\\bild01" /CJPG /X 2>/dev/null | tr -d '\r')
  if [ ! -f "$APP/SendToZelvo.TXT" ] || [ ! -f "$WORK/pics/bild01.JPG" ]; then echo "the scan wrote no picture"; exit 1; fi
  SCANS+=("$ms")
done
rm -f "$SCANNER_INI"
read -r W H < <(identify -format '%w %h\n' "$WORK/pics/bild01.JPG")
echo "automatic scan under 64-bit Wine $(wine --version 2>/dev/null), x86_64 test build ($TREE), 3 runs:"
printf '  %-44s %s ms (best %s ms)\n' "Kamolt.exe -S ...\\bild01 /CJPG /X to SendToZelvo.TXT" "${SCANS[*]}" \
  "$(printf '%s\n' "${SCANS[@]}" | sort -n | head -1)"
printf '  %-44s %s ms\n' "bare start of a trivial program" "$BARE"
printf '  %-44s %s x %s pixels, %s bytes\n' "picture written" "$W" "$H" "$(stat -c %s "$WORK/pics/bild01.JPG")"
