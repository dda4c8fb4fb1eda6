#!/usr/bin/env bash
# Installs the Debian packages needed to build, run and test VeltrinTest (only what is missing).
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev libgl-dev libgtest-dev libgmock-dev
          libbenchmark-dev libfftw3-dev sox g++-mingw-w64-x86-64-posix clang-format dpkg-dev file lintian ccache
          libqt6sql6-sqlite libqt6sql6-psql postgresql qt6-svg-dev libsndfile1-dev chromium)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
