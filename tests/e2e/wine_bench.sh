# Wine test bench: a throwaway Wine prefix, a private Xvfb screen and a wine
# server that stays up for the whole suite. Source this file, then call
#
#   wine_bench_start                 # once; safe to call again
#   wine_bench_run <exe> [args...]   # returns the program's exit code
#   wine_bench_screenshot <png>      # what a person would see on the screen
#   wine_bench_winpath <unix path>   # prints the Windows form of a path
#   wine_bench_install_scanner <ds>  # makes a TWAIN source the manager's scanner
#   wine_bench_stop                  # safe to call twice; meant for a trap
#
# The functions leave the caller's shell options alone (no set -e here) and
# report failure through their return code.
#
# WINE_BENCH_ARCH picks the Wine: win64 (the default; 64-bit Wine runs on every
# machine, and the tests run the x86_64 build in it) or win32 (32-bit Wine, only
# on machines that run 32-bit Linux programs). The loader is called directly:
# /usr/bin/wine prefers the 32-bit one whenever it is installed.
WINE_BENCH_ARCH="${WINE_BENCH_ARCH:-win64}"
case "$WINE_BENCH_ARCH" in
  win64) WINE_BENCH_LOADER=/usr/lib/wine/wine64 ;;
  win32) WINE_BENCH_LOADER=/usr/lib/wine/wine ;;
  *) echo "wine_bench: WINE_BENCH_ARCH must be win64 or win32" >&2; return 2 ;;
esac
export WINELOADER="$WINE_BENCH_LOADER"
if [ -x /usr/lib/wine/wineserver64 ]; then
  export WINESERVER=/usr/lib/wine/wineserver64
else
  export WINESERVER=/usr/lib/wine/wineserver32
fi

# Everything runs inside one Wine virtual desktop of this size, which fills
# the Xvfb screen. Without a window manager, Wine's own desktop is what makes
# focus and activation deterministic: Wine decides them, not the X server.
WINE_BENCH_SCREEN="${WINE_BENCH_SCREEN:-1024x768}"

# Bump when the prefix set-up below changes, so old prefixes are rebuilt.
WINE_BENCH_PREFIX_VERSION=4

_wine_bench_log() {
  echo "wine_bench: $*" >&2
}

wine() {
  "$WINE_BENCH_LOADER" "$@"
}

wineserver() {
  "$WINESERVER" "$@"
}

_wine_bench_xvfb_alive() {
  [ -n "${WINE_BENCH_XVFB_PID:-}" ] && kill -0 "$WINE_BENCH_XVFB_PID" 2>/dev/null
}

_wine_bench_make_prefix() {
  local prefix="$1"
  local marker="$prefix/.wine-bench-ready"
  if [ -f "$marker" ] && [ "$(cat "$marker" 2>/dev/null)" = "$WINE_BENCH_PREFIX_VERSION" ]; then
    return 0
  fi
  # A prefix without the marker is a half-made one (interrupted run, or an
  # older set-up): start over rather than guess what is missing.
  if [ -e "$prefix" ]; then
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null
    rm -rf "$prefix"
  fi
  mkdir -p "$(dirname "$prefix")" || return 1
  _wine_bench_log "creating Wine prefix $prefix (takes about ten seconds)"
  local started=$SECONDS
  # No network for the Mono and Gecko add-ons: a download prompt would hang.
  if ! WINEPREFIX="$prefix" WINEARCH="$WINE_BENCH_ARCH" WINEDLLOVERRIDES="mscoree,mshtml=" \
       WINEDEBUG=-all wine wineboot.exe -i >/dev/null 2>&1; then
    _wine_bench_log "wineboot -i failed"
    return 1
  fi

  local reg="$prefix/wine-bench.reg"
  local w=${WINE_BENCH_SCREEN%x*} h=${WINE_BENCH_SCREEN#*x}
  # A crash must end the program, not open a dialog nobody can answer.
  printf '%s\r\n' \
    'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' \
    '"ShowCrashDialog"=dword:00000000' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer]' \
    '"Desktop"="Default"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]' \
    "\"Default\"=\"${w}x${h}\"" '' \
    '[HKEY_LOCAL_MACHINE\Software\Wine\Ports]' >"$reg"
  # Wine opens a COM port it has no mapping for as /dev/ttyS<n-1>, and ttyS0 is
  # the machine's console: no test may ever reach a real line. COM1 to COM10,
  # all the program offers, are mapped to an empty folder, which cannot be
  # opened as a port; Wine gives the real lines the numbers after them.
  local no_line="$prefix/no-serial-line" port
  mkdir -p "$no_line" || return 1
  for port in 1 2 3 4 5 6 7 8 9 10; do
    printf '"COM%s"="%s"\r\n' "$port" "$no_line" >>"$reg"
  done
  printf '\r\n' >>"$reg"
  if ! WINEPREFIX="$prefix" WINEDEBUG=-all wine regedit.exe /S "$reg" >/dev/null 2>&1; then
    _wine_bench_log "importing the bench registry settings failed"
    return 1
  fi
  # This Wine looks for its own fonts beside a 32-bit installation only; without
  # Marlett the caption buttons show letters.
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" || return 1
  # The 64-bit TWAIN manager lives only in system32; the program looks for it
  # in the Windows folder, where 32-bit Windows keeps TWAIN_32.DLL.
  if [ -f "$prefix/drive_c/windows/system32/twain_32.dll" ]; then
    cp "$prefix/drive_c/windows/system32/twain_32.dll" "$prefix/drive_c/windows/twain_32.dll" || return 1
  fi
  # Let the server write the registry to disk before the prefix counts as made.
  WINEPREFIX="$prefix" wineserver -w
  echo "$WINE_BENCH_PREFIX_VERSION" >"$marker"
  _wine_bench_log "prefix ready after $((SECONDS - started)) s"
}

_wine_bench_start_xvfb() {
  if _wine_bench_xvfb_alive; then
    export DISPLAY="$WINE_BENCH_DISPLAY"
    return 0
  fi
  local fdfile number="" candidate
  fdfile=$(mktemp) || return 1
  # Away from the numbers people pick by hand (0, 1, 99), and -displayfd so
  # Xvfb tells us when it accepts connections.
  for candidate in $(seq 140 199); do
    if [ -e "/tmp/.X${candidate}-lock" ] || [ -e "/tmp/.X11-unix/X${candidate}" ]; then
      continue
    fi
    : >"$fdfile"
    Xvfb ":$candidate" -displayfd 3 -screen 0 "${WINE_BENCH_SCREEN}x24" -nolisten tcp -noreset \
      3>"$fdfile" >"$(dirname "$WINEPREFIX")/xvfb.log" 2>&1 &
    WINE_BENCH_XVFB_PID=$!
    local i
    for i in $(seq 1 200); do
      if [ -s "$fdfile" ] || ! kill -0 "$WINE_BENCH_XVFB_PID" 2>/dev/null; then break; fi
      sleep 0.05
    done
    number=$(tr -dc '0-9' <"$fdfile")
    if [ -n "$number" ] && kill -0 "$WINE_BENCH_XVFB_PID" 2>/dev/null; then break; fi
    number=""
    kill "$WINE_BENCH_XVFB_PID" 2>/dev/null
    wait "$WINE_BENCH_XVFB_PID" 2>/dev/null
    unset WINE_BENCH_XVFB_PID
  done
  rm -f "$fdfile"
  if [ -z "$number" ]; then
    _wine_bench_log "Xvfb did not start (see $(dirname "$WINEPREFIX")/xvfb.log)"
    return 1
  fi
  WINE_BENCH_DISPLAY=":$number"
  export DISPLAY="$WINE_BENCH_DISPLAY"
}

wine_bench_start() {
  local prefix="${WINE_BENCH_PREFIX:-$PWD/build/wineprefix-$WINE_BENCH_ARCH}"
  # Typed umlauts and file names must not depend on the caller's locale: a bare root shell
  # has none, and Wine then turns every non-ASCII character into "?".
  export LANG=C.UTF-8 LC_ALL=C.UTF-8
  case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
  export WINEPREFIX="$prefix"
  export WINEARCH="$WINE_BENCH_ARCH"
  export WINEDEBUG=-all
  _wine_bench_make_prefix "$WINEPREFIX" || return 1
  if ! _wine_bench_xvfb_alive; then
    # A server left over from an earlier run belongs to a screen that is gone.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  _wine_bench_start_xvfb || return 1
  # One server for the whole suite: each program start then costs a fraction
  # of a second instead of a server start-up. Status 2 means this prefix's
  # server is already up, which is what a second start wants anyway.
  wineserver -p >/dev/null 2>&1
  local status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 2 ] || {
    _wine_bench_log "wineserver -p failed ($status)"
    return 1
  }
}

wine_bench_run() {
  if [ $# -lt 1 ]; then
    _wine_bench_log "usage: wine_bench_run <exe> [args...]"
    return 2
  fi
  wine "$@"
}

wine_bench_screenshot() {
  if [ $# -ne 1 ]; then
    _wine_bench_log "usage: wine_bench_screenshot <png path>"
    return 2
  fi
  if [ -z "${WINE_BENCH_DISPLAY:-}" ]; then
    _wine_bench_log "no bench screen; call wine_bench_start first"
    return 1
  fi
  mkdir -p "$(dirname "$1")" || return 1
  /usr/bin/import -display "$WINE_BENCH_DISPLAY" -window root "$1"
}

wine_bench_winpath() {
  if [ $# -ne 1 ]; then
    _wine_bench_log "usage: wine_bench_winpath <unix path>"
    return 2
  fi
  wine winepath.exe -w "$1" 2>/dev/null
}

# The source managers load exactly the sources named sane.ds and gphoto2.ds, from
# twain_64 (64-bit Wine) or twain_32 beside the Windows folder; the test scripts the
# source through the file it reads beside itself.
wine_bench_install_scanner() {
  if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    _wine_bench_log "usage: wine_bench_install_scanner <path of the .ds>"
    return 2
  fi
  if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX/drive_c/windows" ]; then
    _wine_bench_log "no bench prefix; call wine_bench_start first"
    return 1
  fi
  local folder=twain_32
  [ "$WINE_BENCH_ARCH" = win64 ] && folder=twain_64
  mkdir -p "$WINEPREFIX/drive_c/windows/$folder" || return 1
  cp "$1" "$WINEPREFIX/drive_c/windows/$folder/sane.ds"
}

wine_bench_stop() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  if _wine_bench_xvfb_alive; then
    kill "$WINE_BENCH_XVFB_PID" 2>/dev/null
    wait "$WINE_BENCH_XVFB_PID" 2>/dev/null
  fi
  unset WINE_BENCH_XVFB_PID WINE_BENCH_DISPLAY
  return 0
}
