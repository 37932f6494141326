#!/usr/bin/env bash
# Starts the stand-in player and Beatwick from a build folder, offscreen on a session bus of
# their own and in an empty home, asks Beatwick to quit over the bus once it runs, then the
# player; fails unless each ends by itself with status 0 within the bound.
#   .ci/start-and-quit.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)

if [ -z "${BEATWICK_START_AND_QUIT_BUS:-}" ]; then
  exec env BEATWICK_START_AND_QUIT_BUS=1 dbus-run-session -- "$0" "$@"
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

owned() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" 2>/dev/null | grep -q 'boolean true'
}
# Up to 60 s, for the slowest sanitizer builds.
wait_until() {
  for _ in $(seq 600); do
    "$@" && return 0
    sleep 0.1
  done
  echo "start-and-quit: timed out waiting for: $*" >&2
  return 1
}
# Waits for the process to end by itself; its exit status, or 124 after the bound.
ended() {
  local pid=$1
  for _ in $(seq 600); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && return 0 || return $?
    fi
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  return 124
}

"$build/player-standin" &
player=$!
wait_until owned com.apple.iTunes
"$build/player-standin" --ctl play >/dev/null

"$build/Beatwick" &
beatwick=$!
wait_until owned com.orvo.Beatwick
# Answered on Beatwick's main thread: by then it has launched and runs its event loop.
dbus-send --session --print-reply=literal --reply-timeout=60000 --dest=com.orvo.Beatwick \
  /com/orvo/Application com.orvo.Application.Quit >/dev/null
status=0
ended "$beatwick" || status=$?
echo "start-and-quit: Beatwick ended with status $status"

"$build/player-standin" --ctl quit >/dev/null || true
player_status=0
ended "$player" || player_status=$?
echo "start-and-quit: the stand-in ended with status $player_status"
[ "$status" -eq 0 ] && [ "$player_status" -eq 0 ]
