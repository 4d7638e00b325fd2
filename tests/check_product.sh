#!/usr/bin/env bash
# Checks what users unpack: dist/ holds 32-bit Windows programs and modules that need nothing
# beyond the DLLs every Windows has, and the modules export their entries by ordinal. The 64-bit
# test build is checked for its machine type and the same entries, so the tests run what ships.
#   bash tests/check_product.sh        (after both Windows trees are built)
set -uo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# DLLs of every Windows installation since XP; the runtime is linked statically.
SYSTEM_DLLS=" kernel32.dll user32.dll gdi32.dll comdlg32.dll comctl32.dll winspool.drv advapi32.dll
  shell32.dll msvcrt.dll winmm.dll ole32.dll oleaut32.dll version.dll shlwapi.dll "
SYSTEM_DLLS=${SYSTEM_DLLS//$'\n'/ }  # a name at a line's end is still found between blanks
FAULTS=0

fault() {
  echo "check_product: $*" >&2
  FAULTS=$((FAULTS + 1))
}

# check_version <file> <windres> <version>: the version resource names the product and the build's
# version, in its texts and in its numbers, and describes the file.
check_version() {
  local file=$1 windres=$2 version=$3 resources major minor patch tweak
  resources=$("$windres" -i "$file" -O rc 2>/dev/null) || { fault "$file carries no resources"; return; }
  IFS=. read -r major minor patch tweak <<<"$version"
  grep -Eq "^ *FILEVERSION $major, ${minor:-0}, ${patch:-0}, ${tweak:-0}\$" <<<"$resources" ||
    fault "$file does not carry the file version $version in numbers"
  grep -q "VALUE \"ProductName\", \"Kamolt\"" <<<"$resources" || fault "$file does not name the product Kamolt"
  grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$resources" || fault "$file does not carry the product version $version"
  grep -q "VALUE \"FileVersion\", \"$version\"" <<<"$resources" || fault "$file does not carry the file version $version"
  grep -Eq 'VALUE "FileDescription", L?"[^"]+"' <<<"$resources" || fault "$file has no description"
  if [ "$(basename "$file")" = Kamolt.exe ]; then
    grep -q 'RT_GROUP_ICON' <<<"$resources" || fault "$file has no icon"
  fi
}

# check_folder <folder> <objdump> <expected file format> <version>
check_folder() {
  local folder=$1 objdump=$2 format=$3 version=$4 file headers dll ordinals found=0
  for file in "$folder"/*.exe "$folder"/*.EXE "$folder"/*.DLL "$folder"/*.dll "$folder"/*.ds; do
    [ -e "$file" ] || continue
    found=1
    headers=$("$objdump" -p "$file" 2>/dev/null) || { fault "$file is no Windows program"; continue; }
    grep -q "file format $format\$" <<<"$headers" || fault "$file is not $format"
    while read -r dll; do
      [[ $SYSTEM_DLLS == *" ${dll,,} "* ]] || fault "$file needs $dll, which Windows does not have"
    done < <(awk '/DLL Name:/ {print $3}' <<<"$headers")
    # LAME's encoder ships as LAME built it.
    [ "$(basename "$file")" = lame.exe ] || check_version "$file" "${objdump%objdump}windres" "$version"
    case $(basename "$file") in
      CONV_*.DLL)
        # The program finds a module's reading and writing entries by ordinal only.
        ordinals=$(sed -n 's/^\s*\[ *[0-9]*\] +base\[ *\([0-9]*\)\].*/\1/p' <<<"$headers" | tr '\n' ' ')
        [[ " $ordinals" == *" 2 "* && " $ordinals" == *" 6 "* ]] ||
          fault "$file does not export entries 2 and 6 (it exports: $ordinals)"
        ;;
      *.ds)
        # A TWAIN source manager looks its source's entry up by its plain name.
        grep -Eq '^\s*\[ *[0-9]+\] DS_Entry$' <<<"$headers" || fault "$file does not export DS_Entry by name"
        ;;
    esac
  done
  (( found )) || fault "$folder holds no program"
}

# The version each tree was configured with; both must be the same release.
tree_version() {
  cat "$1/kamolt_version.txt" 2>/dev/null || fault "$1 has no kamolt_version.txt: configure it again"
}
VERSION32=$(tree_version build/win32)
VERSION64=$(tree_version build/win64)
[ "$VERSION32" = "$VERSION64" ] || fault "the builds carry different versions: $VERSION32 and $VERSION64"

check_folder dist i686-w64-mingw32-objdump pei-i386 "$VERSION32"
[ -f dist/Kamolt.exe ] || fault "dist/Kamolt.exe is missing"
check_folder build/win64/dist x86_64-w64-mingw32-objdump pei-x86-64 "$VERSION64"
# Both builds must hold the same files, or the tests would check something else than ships.
diff <(cd dist && ls | sort) <(cd build/win64/dist && ls | sort) >/dev/null ||
  fault "dist/ and build/win64/dist/ hold different files"

if (( FAULTS )); then
  echo "check_product: $FAULTS fault(s) in what ships" >&2
  exit 1
fi
