#!/usr/bin/env bash
# Key press to the player's method call, measured in one run on this machine for: Tonvara's engine
# (router, X11 grab, MPRIS), a `dbus-send --print-reply` process per key, and an in-process sd-bus
# call on an open connection (the floor). Everything runs on a private Xvfb, a private session
# bus and an mpv with its MPRIS plugin playing a looped tone; all of it is stopped on exit.
# Extra arguments go to the program (e.g. --keys=400 --block=20).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TONVARA_KEY_TO_PLAYER_BUILD_DIR:-$root/build/bench-key-to-player}"

for program in Xvfb dbus-daemon dbus-send mpv sox; do
  if ! command -v "$program" >/dev/null 2>&1; then
    echo "key-to-player: $program is not installed (see scripts/setup.sh)" >&2
    exit 1
  fi
done
mpris_plugin=/etc/mpv/scripts/mpris.so
if [[ ! -r $mpris_plugin ]]; then
  echo "key-to-player: mpv's MPRIS plugin is missing (install mpv-mpris)" >&2
  exit 1
fi

source "$root/bench/build-release.sh"
build_release key-to-player "$build" linux tonvara_key_to_player

work="$(mktemp -d /tmp/tonvara-key-to-player-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill -KILL "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

wait_for_file() {
  for _ in $(seq 1 500); do
    [[ -s $1 ]] && return 0
    sleep 0.02
  done
  echo "key-to-player: $2 did not start" >&2
  exit 1
}

# A private X server on the first free display.
Xvfb -displayfd 3 -nolisten tcp -screen 0 640x480x24 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
disown
wait_for_file "$work/display" "Xvfb"
export DISPLAY=":$(head -n1 "$work/display")"

# A private session bus.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" 2>"$work/dbus.log" &
pids+=($!)
disown
wait_for_file "$work/bus" "dbus-daemon"
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/bus")"
export DBUS_SESSION_BUS_ADDRESS

# A desktop of its own where mpv is the default audio application.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_CONFIG_DIRS="$work/etc" XDG_DATA_DIRS="$work/share"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_DIRS" "$XDG_DATA_DIRS"
printf '[Default Applications]\naudio/mpeg=mpv.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"
printf '[Desktop Entry]\nType=Application\nName=mpv\nExec=mpv %%U\n' \
  >"$XDG_DATA_HOME/applications/mpv.desktop"

sox -n -r 44100 -c 2 "$work/tone.wav" synth 5 sine 440
env -u DISPLAY mpv --no-config --script="$mpris_plugin" --ao=null --vo=null --idle=yes \
  --force-window=no --no-terminal --loop-file=inf "$work/tone.wav" 2>"$work/mpv.log" &
pids+=($!)
disown

echo "Key press to the player's PlayPause: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo
"$build/bench/tonvara_key_to_player" "$@"
