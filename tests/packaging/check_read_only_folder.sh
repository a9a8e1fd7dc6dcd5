#!/usr/bin/env bash
# The console and the simulator started from a folder they may not write, as
# an installed program is: both take ~/.local/share/Orbalis as the program
# folder; the console creates its settings there and polls the simulator.
#   check_read_only_folder.sh BIN_DIR
set -euo pipefail
bin=$1
tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  chmod -R u+w "$tmp"
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$tmp"/*.out; do [ -e "$f" ] && { echo "--- $f"; cat "$f"; } >&2; done
  exit 1
}
# Waits up to 30 s for a condition given as a command.
waitFor() {
  for _ in $(seq 300); do "$@" && return 0; sleep 0.1; done
  return 1
}

chmod 755 "$tmp"
app=$tmp/app home=$tmp/home
mkdir "$app" "$home" "$home/run"
cp "$bin/orbalis" "$bin/orbalis-sim" "$app/"
chmod a-w "$app" "$app"/*
chmod 700 "$home/run"
run=()
if [ "$(id -u)" -eq 0 ]; then
  # Root may write any folder: the programs run as nobody, for whom it is read-only.
  chown -R nobody:nogroup "$home"
  run=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# A fresh user: a home of its own, no XDG_DATA_HOME, no display.
as_user=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY HOME="$home"
         XDG_RUNTIME_DIR="$home/run" QT_QPA_PLATFORM=offscreen "${run[@]}")
data=$home/.local/share/Orbalis
settings="$data/User Setting.ini"

# 1. The first start creates the settings (seven records of 128 bytes) there.
"${as_user[@]}" "$app/orbalis" >"$tmp/console-first.out" 2>&1 &
pids+=($!)
waitFor test -s "$settings" || fail "no settings file in $data"
waitFor test "$(stat -c %s "$settings")" -eq 896 || fail "settings file of $(stat -c %s "$settings") bytes"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true
[ "$(ls -A "$app" | tr '\n' ' ')" = "orbalis orbalis-sim " ] || fail "files appeared in $app: $(ls -A "$app")"

# 2. The simulator, without --program-dir, binds COM1 in the same folder; the
#    console finds it there and polls the two bound controllers.
rm "$settings"
"${as_user[@]}" "$app/orbalis-sim" --init-settings --ids 1-2 >"$tmp/sim-init.out" 2>&1 || fail "orbalis-sim --init-settings"
test -s "$settings" || fail "orbalis-sim --init-settings wrote no $settings"
"${as_user[@]}" "$app/orbalis-sim" --com 1 --ids 1-2 --log "$home/traffic.log" >"$tmp/sim.out" 2>&1 &
pids+=($!)
waitFor test -L "$data/ports/COM1" || fail "the simulator bound no $data/ports/COM1"
"${as_user[@]}" "$app/orbalis" >"$tmp/console.out" 2>&1 &
pids+=($!)
answered() {
  for id in 01 02; do
    grep -q "<- $id 04 10 00 00 1E" "$home/traffic.log" 2>/dev/null || return 1
    grep -q -- "-> $id 04 3C" "$home/traffic.log" || return 1
  done
}
waitFor answered || fail "controllers 1 and 2 were not polled and answered; traffic: $(tail -5 "$home/traffic.log" 2>&1)"
echo "program folder $data: settings created, controllers 1 and 2 polled over the simulator"
