#!/usr/bin/env bash
# Sets Beatwick up (packages and build) and runs it beside the stand-in player and its
# sample library. Without a session bus it starts a private one; without a display it runs on
# Qt's offscreen platform.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--no-setup" ]; then
  shift
else
  bash scripts/setup.sh
fi

if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  exec dbus-run-session -- "$0" --no-setup "$@"
fi

player_running() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:com.apple.iTunes 2>/dev/null | grep -q 'boolean true'
}

if ! player_running; then
  build/player-standin &
  for _ in $(seq 50); do
    player_running && break
    sleep 0.1
  done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running Beatwick offscreen." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/Beatwick "$@"
