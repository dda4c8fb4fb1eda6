#!/usr/bin/env bash
# Builds VeltrinTest and starts it. With no board driver present it uses the bundled board simulator.
# With no display it renders every page to PNG files instead (see the README).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec build/bin/veltrin-test "$@"
