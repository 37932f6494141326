#!/usr/bin/env bash
# Installs what Beatwick needs, then configures and builds it into build/. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-packages.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
