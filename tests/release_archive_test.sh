#!/usr/bin/env bash
# The release archive as a user meets it: unpacked into a fresh folder, it holds one top folder
# named after the release with exactly the files of the build's dist folder, and the program
# started from there shows the sample picture.
#
# Sourced by kamolt.sh, which calls it with the Wine bench up (see tests/e2e/wine_bench.sh):
#   release_archive_test <tree> <dist folder>        e.g. build/win64 build/win64/dist
# Run on its own, it starts and stops a bench of its own:
#   bash tests/release_archive_test.sh <tree> <dist folder> [win64|win32]

_release_test_fault() {
  echo "release_archive_test: $*" >&2
  return 1
}

release_archive_test() {
  local tree=$1 dist=$2 version archive unpacked program viewer status=0
  version=$(cat "$tree/kamolt_version.txt" 2>/dev/null) || { _release_test_fault "$tree has no version"; return 1; }
  # Each tree makes one kind of archive: -win32 for the product, -win64-test for the tests' build.
  archive=$(echo "$tree/kamolt-$version-"*.zip)
  [ -f "$archive" ] || { _release_test_fault "no release archive of version $version in $tree: $archive"; return 1; }
  unpacked=$tree/release-test
  rm -rf "$unpacked" && mkdir -p "$unpacked" || return 1
  unzip -q "$archive" -d "$unpacked" || { _release_test_fault "$archive does not unpack"; return 1; }
  [ "$(ls -A "$unpacked")" = "kamolt-$version" ] ||
    { _release_test_fault "$archive does not hold the one folder kamolt-$version: $(ls -A "$unpacked" | tr '\n' ' ')"; return 1; }
  program=$unpacked/kamolt-$version
  diff -r "$dist" "$program" >&2 || { _release_test_fault "$archive does not hold what $dist holds"; return 1; }

  # Started from the unpacked folder with no settings of its own, as after a first unpacking.
  (cd "$program" && wine_bench_run ./Kamolt.exe sample.bmp) &
  viewer=$!
  if wine_bench_run "$tree/tools/wait_window.exe" "sample.bmp (480x320)" 20000; then
    wine_bench_run taskkill.exe /IM Kamolt.exe >/dev/null 2>&1
  else
    _release_test_fault "the unpacked Kamolt.exe did not show sample.bmp (480x320)"
    status=1
    # Whatever it shows instead (a message box) must not keep the suite waiting.
    wine_bench_run taskkill.exe /F /IM Kamolt.exe >/dev/null 2>&1
  fi
  wait "$viewer"
  return $status
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
  WINE_BENCH_ARCH=${3:-win64}
  # shellcheck source=tests/e2e/wine_bench.sh
  source tests/e2e/wine_bench.sh
  trap 'wine_bench_stop || :' EXIT
  wine_bench_start || exit 1
  release_archive_test "$1" "$2"
fi
