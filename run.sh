#!/usr/bin/env bash
# Builds VeltrinTest and starts it. With no board driver present it uses the bundled board simulator
# (--demo); with no display it renders every page to PNG files in screenshots/ instead (--screenshot).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target veltrin-test veltrin-sim

args=("$@")
has() { local a; for a in "${args[@]}"; do [ "$a" = "$1" ] && return 0; done; return 1; }

if ! has --demo && ! has --driver-library; then
    root=${VELTRIN_DEVICE_ROOT:-/dev}
    # A glob that matches nothing must count as no board, not end the script.
    shopt -s nullglob
    boards=("$root"/VELTRIN[0-9]/VELTRIN_CFG "$root"/433_[0-9]/VELTRIN_CFG)
    shopt -u nullglob
    install_conf=${VELTRIN_INSTALL_CONF:-/etc/xdg/Orvane/Kestrabox.conf}
    if [ ${#boards[@]} -eq 0 ] && ! grep -qs '^InstallPath=' "$install_conf"; then
        echo "No board driver found: starting with the bundled board simulator (--demo)."
        args+=(--demo)
    fi
fi
if ! has --screenshot && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display: rendering every page to PNG files in screenshots/ instead (--screenshot)."
    export QT_QPA_PLATFORM=offscreen
    args+=(--screenshot screenshots)
    shots=1
fi
if [ -n "${VELTRIN_RUN_DRY:-}" ]; then # prints the choices instead of starting the program (tests)
    echo "veltrin-test ${args[*]}"
    exit 0
fi
if [ -n "${shots:-}" ]; then
    build/bin/veltrin-test "${args[@]}"
    echo "The page pictures are in $(pwd)/screenshots/."
    exit 0
fi
exec build/bin/veltrin-test "${args[@]}"
