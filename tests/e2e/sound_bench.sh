# Sound for the tests: a PulseAudio server of their own (no system service, no session bus)
# whose default output is a null sink and whose default input is a 440 Hz tone. Wine's
# PulseAudio driver reaches it through PULSE_SERVER. Source this file, then call
#
#   sound_bench_start    # once; safe to call again
#   sound_bench_stop     # safe to call twice
#
# The tone comes from module-sine into a null sink, and the input is that sink's monitor.
# module-sine-source would be simpler but has a fixed latency of two seconds: it delivers
# its tone in two-second blocks, and Wine's capture, which buffers only about 100 ms, keeps
# the first few milliseconds of each block and drops the rest, so a recording holds a
# fraction of the time recorded. A null sink adapts its latency to its listeners, and a
# loopback that listens at 10 ms keeps it low from the start, so a capture that joins later
# gets the tone in real time from its first buffer.

SOUND_BENCH_DIR="${SOUND_BENCH_DIR:-$PWD/build/sound-bench}"

_sound_bench_log() {
  echo "sound_bench: $*" >&2
}

_sound_bench_alive() {
  [ -f "$SOUND_BENCH_DIR/pulseaudio.pid" ] && kill -0 "$(cat "$SOUND_BENCH_DIR/pulseaudio.pid")" 2>/dev/null
}

sound_bench_start() {
  export PULSE_SERVER="unix:$SOUND_BENCH_DIR/native"
  if _sound_bench_alive && pactl info >/dev/null 2>&1; then return 0; fi
  sound_bench_stop
  if ! command -v pulseaudio >/dev/null || ! command -v pactl >/dev/null; then
    _sound_bench_log "pulseaudio and pactl are needed (Debian packages pulseaudio, pulseaudio-utils)"
    return 1
  fi
  mkdir -p "$SOUND_BENCH_DIR/runtime" || return 1
  chmod 700 "$SOUND_BENCH_DIR/runtime"
  cat >"$SOUND_BENCH_DIR/bench.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$SOUND_BENCH_DIR/native
load-module module-null-sink sink_name=kamolt_out sink_properties=device.description=KamoltOut
load-module module-null-sink sink_name=kamolt_tone sink_properties=device.description=KamoltTone
load-module module-sine sink=kamolt_tone frequency=440
load-module module-null-sink sink_name=kamolt_drain sink_properties=device.description=KamoltDrain
load-module module-loopback source=kamolt_tone.monitor sink=kamolt_drain latency_msec=10 source_dont_move=true sink_dont_move=true
set-default-sink kamolt_out
set-default-source kamolt_tone.monitor
PA
  # As root PulseAudio only warns that it is meant for users; its own home and runtime
  # folder keep it away from any session's.
  HOME="$SOUND_BENCH_DIR" XDG_RUNTIME_DIR="$SOUND_BENCH_DIR/runtime" \
    pulseaudio --daemonize=no --system=false -n -F "$SOUND_BENCH_DIR/bench.pa" --exit-idle-time=-1 \
      --use-pid-file=false --log-target="file:$SOUND_BENCH_DIR/pulseaudio.log" </dev/null >/dev/null 2>&1 &
  echo $! >"$SOUND_BENCH_DIR/pulseaudio.pid"
  local i
  for i in $(seq 1 100); do
    pactl info >/dev/null 2>&1 && return 0
    _sound_bench_alive || break
    sleep 0.05
  done
  _sound_bench_log "PulseAudio did not start (see $SOUND_BENCH_DIR/pulseaudio.log)"
  return 1
}

sound_bench_stop() {
  if _sound_bench_alive; then
    local pid
    pid=$(cat "$SOUND_BENCH_DIR/pulseaudio.pid")
    kill "$pid" 2>/dev/null
    local i
    for i in $(seq 1 40); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.05
    done
  fi
  rm -f "$SOUND_BENCH_DIR/pulseaudio.pid"
  return 0
}
