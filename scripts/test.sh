#!/usr/bin/env bash
# The test command: installs what the build needs, builds the test
# configuration with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test inside an isolated network namespace. Then the threaded parts and
# the namespace tests (push mode, searches) run again under ThreadSanitizer.
#   KEST_TSAN=0 skips the ThreadSanitizer pass.
#   KEST_FUZZ_REPLAY=1 also builds the clang fuzz preset and replays every
#   fuzz corpus (scripts/fuzz.sh; a few minutes more).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
jobs=$(nproc)
# Compiler results are shared between clones of the tree in other folders.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

run_ctest() {
    local preset=$1
    shift
    if bash scripts/netns.sh --check; then
        bash scripts/netns.sh ctest --preset "$preset" "$@"
    else
        echo "test: no isolated network namespace can be made; these tests are skipped" \
             "(they broadcast or multicast):" >&2
        ctest --preset "$preset" -N -L netns | grep 'Test *#' >&2 || true
        ctest --preset "$preset" -LE netns "$@"
    fi
}

cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
run_ctest asan

if [ "${KEST_TSAN:-1}" != 0 ]; then
    cmake --preset tsan >/dev/null
    cmake --build --preset tsan -j"$jobs" --target threads_tests
    run_ctest tsan -L 'threads|netns'
fi

if [ "${KEST_FUZZ_REPLAY:-0}" != 0 ]; then
    bash scripts/fuzz.sh
fi
