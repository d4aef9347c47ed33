#!/usr/bin/env bash
# Wake-ups per second of an idle process, summed over all its threads (voluntary and involuntary
# context switches from /proc/PID/task/*/status), for:
#   watcher  the music platform's bus watcher alone (tonvara_idle_watcher) on a private bus;
#   app      the real application under Xvfb with a tray (trayer) on a private bus, setup
#            completed, window closed.
# Usage: bench/idle-wakeups.sh [SECONDS]
#   BUILD (default build/default) is where the programs are; WATCHER and APP name other binaries.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD:-$root/build/default}"
seconds="${1:-20}"
scratch="$(mktemp -d /tmp/tonvara-idle-XXXXXX)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

watcher="${WATCHER:-$build/bench/tonvara_idle_watcher}"
app="${APP:-$build/app/tonvara}"
if [ -z "${WATCHER:-}" ]; then
  cmake --build "$build" --target tonvara_idle_watcher >/dev/null
fi

cat >"$scratch/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:path=$scratch/bus</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy>
</busconfig>
CONF
dbus-daemon --config-file="$scratch/bus.conf" --nofork --print-address=1 >"$scratch/address" 2>/dev/null &
pids+=($!)
while [ ! -s "$scratch/address" ]; do sleep 0.05; done
mkdir -p "$scratch"/{config,config-dirs,data/applications,data-dirs,runtime}
chmod 700 "$scratch/runtime"
printf '[Default Applications]\naudio/mpeg=mpv.desktop\n' >"$scratch/config/mimeapps.list"
printf '[Desktop Entry]\nType=Application\nName=mpv\nExec=mpv %%U\n' \
  >"$scratch/data/applications/mpv.desktop"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$scratch/bus"
export XDG_CONFIG_HOME="$scratch/config" XDG_CONFIG_DIRS="$scratch/config-dirs"
export XDG_DATA_HOME="$scratch/data" XDG_DATA_DIRS="$scratch/data-dirs"
export XDG_RUNTIME_DIR="$scratch/runtime"

switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ { s += $2 } END { print s + 0 }'
}
measure() {  # NAME PID
  sleep 5  # let start-up settle
  local before after
  before=$(switches "$2")
  sleep "$seconds"
  after=$(switches "$2")
  printf '%-8s %s threads, %s wake-ups/s over %s s\n' "$1" "$(ls /proc/"$2"/task | wc -l)" \
    "$(awk -v d=$((after - before)) -v s="$seconds" 'BEGIN { printf "%.2f", d / s }')" "$seconds"
}

"$watcher" >"$scratch/watcher.out" &
pids+=($!)
measure watcher $!

if [ -x "$app" ] && command -v Xvfb >/dev/null; then
  Xvfb -displayfd 3 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
  pids+=($!)
  while [ ! -s "$scratch/display" ]; do sleep 0.05; done
  # A tray for the icon, as on a usual desktop (without one the window stays open, refreshing).
  if command -v trayer >/dev/null; then
    DISPLAY=":$(cat "$scratch/display")" trayer --SetDockType false >/dev/null 2>&1 &
    pids+=($!)
    sleep 0.5
  fi
  mkdir -p "$scratch/config/tonvara"
  printf '{\n  "accessSetupCompleted": true,\n  "enabled": true,\n  "whenNotRunning": "launchMusic"\n}\n' \
    >"$scratch/config/tonvara/com.tonvara.app.json"
  DISPLAY=":$(cat "$scratch/display")" QT_QPA_PLATFORM=xcb "$app" >/dev/null 2>&1 &
  pids+=($!)
  measure app $!
else
  echo "app      skipped (build the tonvara target and install xvfb)"
fi
