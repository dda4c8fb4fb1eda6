#!/usr/bin/env bash
# Builds the Debian package from a finished build folder (default: build), lists its contents, checks
# that every part is in its place, starts the installed program from the unpacked tree with its bundled
# simulator, and runs lintian, which must report no errors.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -G DEB >/dev/null
debs=("$build"/package/veltrin-test_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "check-package: expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "$deb"
listing=$(dpkg-deb -c "$deb")
echo "$listing"

failures=0
fail() { echo "check-package: $*"; failures=$((failures + 1)); }
paths=$(awk '{print $6}' <<<"$listing")
expected=(./usr/bin/veltrin-test ./usr/lib/veltrin-test/drivers/libveltrin-sim.so ./usr/lib/veltrin-test/modules/libveltrin-records.so
          ./usr/share/applications/veltrin-test.desktop ./usr/share/man/man1/veltrin-test.1.gz
          ./usr/lib/udev/rules.d/70-veltrin-boards.rules ./usr/share/veltrin-test/udev/60-veltrin-boards.rules
          ./usr/share/doc/veltrin-test/copyright ./usr/share/doc/veltrin-test/changelog.Debian.gz)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/veltrin-test.png")
done
# The command-line front end belongs in the package whenever the build made it.
if [ -x "$build/bin/veltrin-cli" ]; then
    expected+=(./usr/bin/veltrin-cli ./usr/share/man/man1/veltrin-cli.1.gz)
fi
for path in "${expected[@]}"; do
    grep -qxF "$path" <<<"$paths" || fail "missing $path"
done
grep -v '^\./usr/' <<<"$paths" | grep -vx '\./' && fail "files outside /usr"
awk '$2 != "root/root" {print "check-package: not owned by root: " $6; bad=1} END {exit bad}' <<<"$listing" ||
    failures=$((failures + 1))

# The unpacked program must find its simulator where the package put it.
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
# The active udev rule tags every board device for the logged-in user and sorts before the seat rules
# that act on the tag; the group rule stays a template.
rule="$tree/usr/lib/udev/rules.d/70-veltrin-boards.rules"
for kernel in 'VELTRIN[0-9]!*' '433_[0-9]!*'; do
    grep -qxF "KERNEL==\"$kernel\", TAG+=\"uaccess\"" "$rule" || fail "the udev rule does not tag $kernel for uaccess"
done
[[ $(basename "$rule") < 73 ]] || fail "the udev rule sorts after 73-seat-late.rules"
grep -q '^KERNEL.*GROUP=' "$tree/usr/share/veltrin-test/udev/60-veltrin-boards.rules" ||
    fail "the group rule template lost its rules"
export QT_QPA_PLATFORM=offscreen
version=$("$tree/usr/bin/veltrin-test" --version)
[ "$version" = "veltrin-test $(dpkg-deb -f "$deb" Version | cut -d. -f1,2)" ] || fail "--version says '$version'"
HOME="$tree/home" XDG_CONFIG_HOME="$tree/home/config" XDG_RUNTIME_DIR="$tree" VELTRIN_DEVICE_ROOT="$tree/dev" \
    VELTRIN_SIM_BOARDS=0x310D:1:4 \
    "$tree/usr/bin/veltrin-test" --demo --screenshot "$tree/shots" >/dev/null 2>&1 || fail "the demo run failed"
ls "$tree"/shots/board0-*.png >/dev/null 2>&1 || fail "the installed program found no demo board"
[ -f "$tree/shots/records.png" ] || fail "the installed program did not load its records module"

lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"
[ "$failures" -eq 0 ] || exit 1
echo "check-package: package complete, lintian without errors"
