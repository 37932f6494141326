#!/usr/bin/env bash
# Sets Beatwick up (packages and build) and runs it beside the stand-in player and its
# sample library. Without a session bus it starts a private one.
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
exec build/Beatwick "$@"
