#!/usr/bin/env bash
# The fuzz build: clang with AddressSanitizer and UndefinedBehaviorSanitizer
# and the libFuzzer targets, among them the client and the decoder plug-in
# together (live_frame_fuzzer loads picdec.spi through libkest.so).
#   scripts/fuzz.sh                  builds, then runs every target once over
#                                    its seed corpus
#   scripts/fuzz.sh TARGET SECONDS   builds, then fuzzes TARGET for SECONDS on
#                                    a copy of its seed corpus
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

declare -A corpus=([picdec_fuzzer]=picdec [frame_comment_fuzzer]=frame_comment
                   [live_frame_fuzzer]=live_frame)
bin=build/fuzz/bin
# A frame may cost the camera object's picture blocks, never a bitmap that a
# header merely claims.
limits=(-rss_limit_mb=512 -timeout=10)

if [ $# -eq 0 ]; then
    for target in picdec_fuzzer frame_comment_fuzzer live_frame_fuzzer; do
        "$bin/$target" "${limits[@]}" -runs=0 "fuzz/corpus/${corpus[$target]}"
    done
    echo "fuzz: every seed of every target ran cleanly"
    exit 0
fi

target=$1 seconds=$2
[ -n "${corpus[$target]:-}" ] || { echo "fuzz: no target $target" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "fuzz/corpus/${corpus[$target]}"/* "$work/"
"$bin/$target" "${limits[@]}" -max_len=8192 -max_total_time="$seconds" "$work"
