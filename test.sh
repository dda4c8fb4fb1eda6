#!/usr/bin/env bash
# Builds VeltrinTest and runs the whole test suite: a normal build, then an address and
# undefined-behaviour sanitizer build, then a thread sanitizer build of the worker tests.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

build_and_test() { # dir, ctest filter, cmake options...
    local dir=$1 filter=$2
    shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIN_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 ${filter:+-R "$filter"}
}

echo "== Build and tests"
build_and_test build ""
echo "== Address and undefined-behaviour sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    build_and_test build-asan "" -DVELTRIN_SANITIZE=address,undefined
