#!/usr/bin/env bash
# A media key's cost on the desktop-delivery path (a Wayland session's keybinding): from starting
# the key client to the running instance's engine tap, for tonvara-key, for `tonvara --media-key`
# and for starting /bin/true. Optimised build; extra arguments: the number of keys (default 200).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TONVARA_KEY_COST_BUILD_DIR:-$root/build/bench-key-cost}"

source "$root/bench/build-release.sh"
for target in tonvara-key tonvara tonvara_key_cost; do
  build_release media-key-cost "$build" linux "$target"
done

echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
# No desktop session is needed: the client finds the instance through XDG_RUNTIME_DIR, which the
# bench sets to a folder of its own.
env -u DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM=offscreen \
  "$build/bench/tonvara_key_cost" "$build/app" "$@"
