#!/usr/bin/env bash
# Builds VeltrinTest and runs the whole test suite: a normal build, then an address and
# undefined-behaviour sanitizer build, a thread sanitizer build of the worker-shared code and a fuzzing run.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

# A compiler cache keyed on paths relative to the checkout, so a second run (or another clone) compiles
# only what changed. Every build below goes through it; a cold cache costs a few percent.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
# The normal build carries no debug information (nothing here reads it); the sanitizer builds carry line
# tables only, which is what their reports print. Both compile and link markedly faster than with -g.
plain=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG")
lines=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")

# Each stage says how long it took, so the slow ones are easy to find.
started=$SECONDS
stage() {
    echo "== $1 (at $((SECONDS - started)) s)"
}

build_and_test() { # dir, ctest filter, cmake options...
    local dir=$1 filter=$2
    shift 2
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIN_WERROR=ON "${launcher[@]}" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 ${filter:+-R "$filter"}
}

# ---- Formatting: every source as .clang-format describes it.
stage "Formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

# The normal, thread sanitizer and address sanitizer builds compile their sources in batches (a unity
# build): a cold build takes about half the time, since Qt's and the test framework's headers are read
# once per batch. The fuzzing build compiles file by file, so the sources it builds are still checked
# each on its own.
stage "Build and tests"
build_and_test build "" -DCMAKE_UNITY_BUILD=ON "${plain[@]}"

# ---- The statistics report as a reader opens it: a seeded store's report rendered by headless Chromium,
# the picture and every chart's SVG checked.
stage "Statistics report in a browser"
bash tools/check-report.sh build

# ---- Test records against a real PostgreSQL server too: the same store tests in a throwaway cluster
# that pg_virtualenv makes and removes (it sets PGHOST, PGPORT, PGUSER, PGPASSWORD and PGDATABASE).
stage "Records on PostgreSQL"
pg_virtualenv sh -c 'export VELTRIN_TEST_PG_URL="postgresql://$PGUSER@$PGHOST:$PGPORT/$PGDATABASE" &&
    build/bin/records_core_tests --gtest_brief=1 && build/bin/stats_core_tests --gtest_brief=1'

# ---- The README's main command, run as a newcomer runs it (no display, no board driver).
stage "run.sh"
bash tools/check-run.sh

# ---- The Debian package from the same build: its contents, the installed program with its simulator,
# and lintian without errors (about ten seconds).
stage "Debian package"
bash tools/check-package.sh build

# ---- Thread sanitizer: the pieces that worker threads share with the user-interface thread (sound
# files closed while a worker appends, the simulator's devices used from several threads, the
# streaming pages and their workers, the records window's queries and the calibration's record writer).
# Qt itself is not built with the sanitizer; what its own threads do inside it is left out
# (tools/tsan-qt.supp).
stage "Thread sanitizer"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIN_WERROR=ON "${launcher[@]}" \
    -DCMAKE_UNITY_BUILD=ON "${lines[@]}" \
    -DVELTRIN_SANITIZE=thread >/dev/null
cmake --build build-tsan -j "$jobs" --target stream_core_tests sim_tests output_page_tests codec_tests \
    records_window_tests calibration_page_tests
# The engine's chaos scenarios run here by the thousand (about a minute and a half); the other builds
# run a few hundred. A failing scenario prints its seed: VELTRIN_CHAOS_SEED=n replays it alone.
VELTRIN_CHAOS_SCENARIOS=2000 TSAN_OPTIONS=halt_on_error=1 build-tsan/bin/stream_core_tests --gtest_brief=1
TSAN_OPTIONS=halt_on_error=1 build-tsan/bin/sim_tests --gtest_brief=1
for pages in output_page_tests codec_tests records_window_tests calibration_page_tests; do
    QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tools/tsan-qt.supp" \
        build-tsan/bin/$pages --gtest_brief=1
done

# ---- Windows stays buildable: device access and the simulator library cross-compiled with mingw-w64
# (no Qt), and the library must export the driver functions (the seven required and the optional Cancel)
# by their plain names.
stage "Windows cross-compile"
cmake -S tools/cross -B build-cross -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/tools/mingw-w64-x86_64.cmake" >/dev/null
cmake --build build-cross -j "$jobs"
exports=$(x86_64-w64-mingw32-objdump -p build-cross/sim/veltrin-sim.dll)
for name in Create Read Write DevIoControl Close GetDeviceCount GetDeviceName Cancel; do
    grep -Eq "^\s+\[ *[0-9]+\] $name\$" <<<"$exports" || { echo "veltrin-sim.dll does not export $name"; exit 1; }
done

# ---- Fuzzing: every request block decoder, the settings the streaming pages read and the sound-file
# reader under libFuzzer with the address and undefined-behaviour sanitizers, in their own clang build;
# only the fuzz targets are built, each runs for about 10 s from the seeds in tests/fuzz/corpus.
stage "Fuzzing"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELTRIN_WERROR=ON "${launcher[@]}" \
    -DVELTRIN_FUZZ=ON -DVELTRIN_SANITIZE=address,undefined "${lines[@]}" >/dev/null
cmake --build build-fuzz -j "$jobs" --target block_fuzz settings_fuzz sound_file_fuzz
ctest --test-dir build-fuzz --output-on-failure --timeout 120 -R _fuzz

# ---- The whole suite again under the address and undefined-behaviour sanitizers.
stage "Address and undefined-behaviour sanitizers"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    build_and_test build-asan "" -DVELTRIN_SANITIZE=address,undefined -DCMAKE_UNITY_BUILD=ON "${lines[@]}"
echo "== Every check passed in $((SECONDS - started)) s"
