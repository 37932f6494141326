#!/usr/bin/env bash
# Sets Beatwick up (packages and build) and runs it beside the stand-in player and its
# sample library. Without a session bus it starts a private one and says how to reach it;
# without a display it runs on Qt's offscreen platform. What it started stops when Beatwick exits.
#
#   scripts/run.sh [--no-setup] [BEATWICK ARGS...]   runs Beatwick
#   scripts/run.sh --ctl COMMAND [ARG]                drives the stand-in of the running one
set -euo pipefail
cd "$(dirname "$0")/.."

# Where a run on a private bus leaves that bus's address, so --ctl from another terminal finds it.
address_file=build/run-bus.address

bus_answers() {
  DBUS_SESSION_BUS_ADDRESS=$1 dbus-send --session --print-reply --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId >/dev/null 2>&1
}

if [ "${1:-}" = "--ctl" ]; then
  # A run on a private bus wins over this terminal's bus: that is where its stand-in is.
  if [ -s "$address_file" ] && bus_answers "$(cat "$address_file")"; then
    DBUS_SESSION_BUS_ADDRESS=$(cat "$address_file")
    export DBUS_SESSION_BUS_ADDRESS
  elif [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
    echo "run.sh: no session bus here, and no run.sh on a private bus is running" >&2
    exit 1
  fi
  exec build/player-standin "$@"
fi

if [ "${1:-}" = "--no-setup" ]; then
  shift
else
  bash scripts/setup.sh
fi

bus_pid=""
bus_address=""
player_pid=""
app_pid=""

player_running() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:com.apple.iTunes 2>/dev/null | grep -q 'boolean true'
}

player_owner_pid() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:com.apple.iTunes 2>/dev/null |
    awk '/uint32/ { print $2 }'
}

stop() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  # A stand-in saves its library on the way out; give it a moment before forcing it.
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}

# Beatwick asked to quit over the bus ends as a quit from its menu does, so it writes its
# preferences (the window's frame among them); a signal would end it before that.
quit_beatwick() {
  local pid=$1
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  if dbus-send --session --print-reply --dest=com.orvo.Beatwick /com/orvo/Application \
    com.orvo.Application.Quit >/dev/null 2>&1; then
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || return 0
      sleep 0.1
    done
  fi
  stop "$pid"
}

cleanup() {
  trap - EXIT INT TERM HUP
  quit_beatwick "$app_pid"
  # On our own bus every player is ours, also one Beatwick launched itself.
  if [ -n "$bus_pid" ]; then
    local owner
    owner=$(player_owner_pid || true)
    [ -n "$owner" ] && [ "$owner" != "$player_pid" ] && stop "$owner"
  fi
  stop "$player_pid"
  if [ -n "$bus_pid" ]; then
    kill -TERM "$bus_pid" 2>/dev/null || true
    [ "$(cat "$address_file" 2>/dev/null)" = "$bus_address" ] && rm -f "$address_file"
  fi
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  { read -r bus_address; read -r bus_pid; } < <(dbus-daemon --session --fork --print-address=1 --print-pid=1)
  export DBUS_SESSION_BUS_ADDRESS=$bus_address
  mkdir -p "$(dirname "$address_file")"
  printf '%s\n' "$bus_address" >"$address_file"
  echo "Beatwick runs on a private session bus. To reach its stand-in from another terminal:" >&2
  echo "  bash scripts/run.sh --ctl state        (also: play, pause, next, previous, quit, delay MS)" >&2
  echo "or export DBUS_SESSION_BUS_ADDRESS='$bus_address'" >&2
fi

if ! player_running; then
  build/player-standin &
  player_pid=$!
  for _ in $(seq 50); do
    player_running && break
    sleep 0.1
  done
  # A stand-in started here plays its library, as the player launched with a play event does.
  build/player-standin --ctl play >/dev/null || true
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running Beatwick offscreen." >&2
  export QT_QPA_PLATFORM=offscreen
fi

build/Beatwick "$@" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""
exit "$status"
