#!/bin/bash
# Grab benchmark: the program's grab of a 640 x 480 client area to a BMP file beside a bare
# BitBlt and BMP write of the same size, in the same run, under 64-bit Wine. Figures only.
#   bash bench/grab_bench.sh [repetitions]      (after ./kamolt.sh build; 10 by default)
# GRAB_BENCH_TREE picks another x86_64 build tree than build/win64.
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
ROOT=$PWD
REPS=${1:-10}
TREE=${GRAB_BENCH_TREE:-build/win64}
WORK=$ROOT/build/bench/grab
mkdir -p "$WORK"
[ -f "$TREE/tools/grab_bench.exe" ] || { echo "no $TREE/tools/grab_bench.exe: build first"; exit 1; }

source tests/e2e/wine_bench.sh
trap wine_bench_stop EXIT
wine_bench_start || { echo "the Wine bench did not start"; exit 1; }
echo "64-bit Wine $(wine --version 2>/dev/null), x86_64 test build ($TREE)"
wine "$TREE/tools/grab_bench.exe" "$(wine_bench_winpath "$ROOT/$TREE/dist/CapTestApp.exe")" \
  "$(wine_bench_winpath "$WORK")" "$REPS" 2>/dev/null | tr -d '\r'
