#!/bin/bash
# Long-session soak: the viewer steps with Space through a folder holding <pictures> pictures
# of every converted format, interleaved, and <runs> automatic clip runs (a window grabbed to
# TIFF) and <runs> automatic scans (to JPEG, on the virtual scanner) run one after the other.
# It prints, at the start and at the end, what a long session must keep flat: thread-local
# slots in use, handles, GDI objects and committed private memory. Figures only.
#   bash bench/soak.sh [pictures per format] [runs]      (after ./kamolt.sh build; 2000 200)
# SOAK_TREE picks another x86_64 build tree than build/win64.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
ROOT=$PWD
PICTURES=${1:-2000}
RUNS=${2:-200}
TREE=${SOAK_TREE:-build/win64}
WORK=$ROOT/build/bench/soak
FORMATS=(JPG TIF GIF PCX EPS PCD)
for needed in "$TREE/dist/Kamolt.exe" "$TREE/dist/CapTestApp.exe" "$TREE/dist/KamoltVirtualScanner.ds" \
  "$TREE/tools/module_tool.exe" "$TREE/tools/soak_figures.exe"; do
  [ -f "$needed" ] || { echo "no $needed: build first"; exit 1; }
done
for format in "${FORMATS[@]}"; do
  [ -f "$TREE/dist/CONV_$format.DLL" ] || { echo "no $TREE/dist/CONV_$format.DLL: build first"; exit 1; }
done

source tests/e2e/wine_bench.sh
trap wine_bench_stop EXIT
wine_bench_start || { echo "the Wine bench did not start"; exit 1; }
wine_bench_install_scanner "$TREE/dist/KamoltVirtualScanner.ds" || { echo "the scanner did not install"; exit 1; }
winpath() { wine_bench_winpath "$1"; }
FIGURES=$TREE/tools/soak_figures.exe

# One picture of each format, written by the modules themselves; the JPEG is large enough
# for its decoder to ready pages in a second thread, the Photo CD pack is a grey one.
rm -rf "$WORK"
mkdir -p "$WORK/one" "$WORK/folder" "$WORK/app" "$WORK/clips" "$WORK/scans"
convert -size 1456x1456 gradient:\#204080-\#f0c060 BMP3:"$WORK/one/large.bmp" &&
  convert -size 160x120 gradient:\#30a050-\#f0f0f0 BMP3:"$WORK/one/small.bmp" &&
  convert -size 160x120 gradient:\#c03030-\#3030c0 -colors 200 -type Palette -compress None BMP3:"$WORK/one/small8.bmp" ||
  { echo "ImageMagick did not make the pictures"; exit 1; }
write() {  # <format> <bmp>
  wine "$TREE/tools/module_tool.exe" write "$(winpath "$TREE/dist/CONV_$1.DLL")" "$(winpath "$WORK/one/$2")" \
    "$(winpath "$WORK/one/one.$1")" >/dev/null 2>&1 || { echo "CONV_$1.DLL did not write its picture"; exit 1; }
}
write JPG large.bmp; write TIF small.bmp; write GIF small8.bmp; write PCX small.bmp; write EPS small.bmp
python3 - "$WORK/one/one.PCD" <<'EOF'
import sys
base, pair = 0x30000, 2304
pack = bytearray(b"\x80" * (base + 256 * pair))
pack[0x800:0x807] = b"PCD_IPI"
pack[0x800 + 0x602] = 0
open(sys.argv[1], "wb").write(pack)
EOF
number=0
for ((i = 0; i < PICTURES; i++)); do
  for format in "${FORMATS[@]}"; do
    ln "$WORK/one/one.$format" "$WORK/folder/$(printf 'p%06d' "$number").$format"
    number=$((number + 1))
  done
done

# A copy of the program with its own settings: small, quick scans.
cp "$TREE/dist/Kamolt.exe" "$TREE/dist/"CONV_*.DLL "$WORK/app/"
printf '[Scan]\r\nDPI0=100\r\nDefDPI=100\r\nFormat0=210,297,DIN A4\r\nDefFormat=DIN A4\r\n' >"$WORK/app/Kamolt.INI"
printf '[Scanner]\r\nPages=1\r\n' >"$WINEPREFIX/drive_c/windows/twain_64/KamoltVirtualScanner.ini"
EXE=$(winpath "$WORK/app/Kamolt.exe")

echo "viewer: Space through $number pictures ($PICTURES each of ${FORMATS[*]}, interleaved; the JPEG 1456 x 1456)"
wine "$EXE" "$(winpath "$WORK/folder/p000000.JPG")" >/dev/null 2>&1 &
viewer=$!
wine "$FIGURES" step "p000000." $((number - 1)) 2>/dev/null | tr -d '\r' | sed 's/^/  /'
wait "$viewer" 2>/dev/null

echo "clip: $RUNS automatic runs, the capture test application grabbed to TIFF (Kamolt.exe -C /CTIF /X /V- /W...)"
wine "$TREE/dist/CapTestApp.exe" >/dev/null 2>&1 &
capture=$!
wine_bench_run "$TREE/tools/wait_window.exe" "Capture Test App" 20000 >/dev/null 2>&1
wine "$FIGURES" runs "$RUNS" "$EXE" -C /CTIF /X /V- "/WCapture Test App" "$(winpath "$WORK/clips")\\g01" 2>/dev/null |
  tr -d '\r' | sed 's/^/  /'
kill "$capture" 2>/dev/null
wait "$capture" 2>/dev/null

echo "scan: $RUNS automatic scans, 100 dpi A4 colour to JPEG (Kamolt.exe -S <folder>\\bild01 /CJPG /X)"
wine "$FIGURES" runs "$RUNS" "$EXE" -S "$(winpath "$WORK/scans")\\bild01" /CJPG /X 2>/dev/null | tr -d '\r' | sed 's/^/  /'
echo "(tls: slots in use; handles, gdi: objects open; committed_kb: private committed memory. Wine answers 0 for"
echo " every process's GDI objects, and the handles are counted by probing where its count answers 0.)"
