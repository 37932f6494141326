#!/usr/bin/env bash
# Sets up and builds (as scripts/setup.sh does), then runs the test suite on a private session
# bus and Qt's offscreen platform. Extra arguments go to CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
exec dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)" "$@"
