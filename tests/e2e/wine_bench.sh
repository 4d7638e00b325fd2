# Wine test bench: a throwaway 32-bit Wine prefix, a private Xvfb screen and a
# wine server that stays up for the whole suite. Source this file, then call
#
#   wine_bench_start                 # once; safe to call again
#   wine_bench_run <exe> [args...]   # returns the program's exit code
#   wine_bench_screenshot <png>      # what a person would see on the screen
#   wine_bench_winpath <unix path>   # prints the Windows form of a path
#   wine_bench_stop                  # safe to call twice; meant for a trap
#
# The functions leave the caller's shell options alone (no set -e here) and
# report failure through their return code.

# Everything runs inside one Wine virtual desktop of this size, which fills
# the Xvfb screen. Without a window manager, Wine's own desktop is what makes
# focus and activation deterministic: Wine decides them, not the X server.
WINE_BENCH_SCREEN="${WINE_BENCH_SCREEN:-1024x768}"

# Bump when the prefix set-up below changes, so old prefixes are rebuilt.
WINE_BENCH_PREFIX_VERSION=1

_wine_bench_log() {
  echo "wine_bench: $*" >&2
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
  _wine_bench_log "creating Wine prefix $prefix (takes about half a minute)"
  local started=$SECONDS
  # No network for the Mono and Gecko add-ons: a download prompt would hang.
  if ! WINEPREFIX="$prefix" WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml=" \
       WINEDEBUG=-all wineboot -i >/dev/null 2>&1; then
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
    "\"Default\"=\"${w}x${h}\"" '' >"$reg"
  if ! WINEPREFIX="$prefix" WINEDEBUG=-all wine regedit /S "$reg" >/dev/null 2>&1; then
    _wine_bench_log "importing the bench registry settings failed"
    return 1
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
  local prefix="${WINE_BENCH_PREFIX:-$PWD/build/wineprefix}"
  case "$prefix" in /*) ;; *) prefix="$PWD/$prefix" ;; esac
  export WINEPREFIX="$prefix"
  export WINEARCH=win32
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
  winepath -w "$1" 2>/dev/null
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
