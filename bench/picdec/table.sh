#!/usr/bin/env bash
# The benchmark table of docs/picdec.md, in one command: builds picdec_bench (release
# preset), makes the pictures when they are missing, and prints the markdown table.
#   bench/picdec/table.sh [picdec_bench options, e.g. --rounds 9 --only 640x480]
set -euo pipefail
cd "$(dirname "$0")/../.."
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
cmake --preset release >/dev/null
cmake --build --preset release -j2 --target picdec_bench >/dev/null
bench=build/release/bin/picdec_bench
pics=build/release/bench-pictures
[ -f "$pics/manifest.txt" ] || bash bench/picdec/make_pictures.sh "$bench" "$pics"
"$bench" --pictures "$pics" "$@"
