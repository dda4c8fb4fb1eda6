#!/usr/bin/env bash
# Checks the README's main command: the choices run.sh makes (simulator or board driver, window or
# pictures) against a fake device folder and driver setting, then a run as a newcomer makes it, with no
# display and no driver, which must exit 0 and leave the page pictures in screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
failures=0
expect() { # description, expected command line, environment assignments...
    local what=$1 want=$2
    shift 2
    local got
    got=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM VELTRIN_RUN_DRY=1 \
        VELTRIN_DEVICE_ROOT="$fake/dev" VELTRIN_INSTALL_CONF="$fake/Kestrabox.conf" "$@" ./run.sh | tail -n 1)
    if [ "$got" != "$want" ]; then
        echo "run.sh, $what: expected '$want', got '$got'"
        failures=$((failures + 1))
    fi
}

mkdir -p "$fake/dev"
expect "no driver, no display" "veltrin-test --demo --screenshot screenshots"
expect "no driver, a display" "veltrin-test --demo" DISPLAY=:0
mkdir -p "$fake/dev/VELTRIN0" && touch "$fake/dev/VELTRIN0/VELTRIN_CFG"
expect "a kernel board, a display" "veltrin-test " DISPLAY=:0
rm -r "$fake/dev/VELTRIN0"
mkdir -p "$fake/dev/433_3" && touch "$fake/dev/433_3/VELTRIN_CFG"
expect "a kernel board of the other prefix" "veltrin-test --screenshot screenshots"
rm -r "$fake/dev/433_3"
echo "InstallPath=/opt/driver" >"$fake/Kestrabox.conf"
expect "a driver library installed" "veltrin-test " WAYLAND_DISPLAY=wayland-0
rm "$fake/Kestrabox.conf"

# The newcomer's run: no display, no driver, pictures in the checkout.
rm -rf screenshots
if ! env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM VELTRIN_DEVICE_ROOT="$fake/dev" ./run.sh >"$fake/run.log" 2>&1; then
    echo "run.sh failed:"; cat "$fake/run.log"; failures=$((failures + 1))
fi
pictures=$(find screenshots -name 'board*.png' 2>/dev/null | wc -l)
if [ "$pictures" -lt 4 ] || ! grep -q "The page pictures are in" "$fake/run.log"; then
    echo "run.sh wrote $pictures page pictures:"; cat "$fake/run.log"; failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "run.sh: every choice as expected, $pictures page pictures written"
exit "$failures"
