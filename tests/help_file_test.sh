#!/usr/bin/env bash
# The help file as a reader other than its compiler sees it: unpacked with chmlib, it holds every
# page of help/ unchanged, its table of contents names each page by its title and lists no page
# that is missing, every link between pages leads to a page inside, and it opens at the start page.
#   bash tests/help_file_test.sh <Kamolt.chm>
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

CHM=$1
FAULTS=0
fault() {
  echo "help_file_test: $*" >&2
  FAULTS=$((FAULTS + 1))
}

UNPACKED=$(mktemp -d)
trap 'rm -rf "$UNPACKED"' EXIT
extract_chmLib "$CHM" "$UNPACKED" >/dev/null 2>&1 || { echo "help_file_test: $CHM does not unpack" >&2; exit 1; }
TOC=$UNPACKED/Inhalt.hhc
[ -f "$TOC" ] || fault "$CHM has no table of contents"

title_of() { sed -n 's:.*<title>\(.*\)</title>.*:\1:p' "$1"; }

for source in help/*.htm; do
  page=$(basename "$source")
  cmp -s "$source" "$UNPACKED/$page" || fault "$page is missing or differs from help/$page"
  grep -Fq "<param name=\"Name\" value=\"$(title_of "$source")\"><param name=\"Local\" value=\"$page\">" "$TOC" ||
    fault "the table of contents does not list $page under its title \"$(title_of "$source")\""
done

while read -r listed; do
  [ -f "$UNPACKED/$listed" ] || fault "the table of contents lists $listed, which the file does not hold"
done < <(sed -n 's/.*name="Local" value="\([^"]*\)".*/\1/p' "$TOC")

for page in "$UNPACKED"/*.htm; do
  while read -r target; do
    [ -f "$UNPACKED/${target%%#*}" ] || fault "$(basename "$page") links to $target, which the file does not hold"
  done < <(grep -o 'href="[^":]*"' "$page" | sed 's/href="\(.*\)"/\1/')
done

# The system record names the start page and the window title hh.exe shows.
grep -aq 'index.htm' "$UNPACKED/#SYSTEM" || fault "$CHM does not open at index.htm"
grep -aq 'Kamolt-Hilfe' "$UNPACKED/#SYSTEM" || fault "$CHM does not carry the title Kamolt-Hilfe"

if (( FAULTS )); then
  echo "help_file_test: $FAULTS fault(s) in $CHM" >&2
  exit 1
fi
