#!/usr/bin/env bash
# Makes the benchmark pictures of docs/picdec.md: generated street scenes (picdec_bench
# --scene) encoded by libjpeg-turbo's cjpeg, and the manifest that picdec_bench reads.
#   bench/picdec/make_pictures.sh PICDEC_BENCH OUTDIR
set -euo pipefail
bench=$1 out=$2
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# name              scene  width height seed cjpeg options
pictures=(
  "640x480_420_q50    camera 640  480  1 -sample 2x2 -quality 50"
  "640x480_420_q75    camera 640  480  1 -sample 2x2 -quality 75"
  "640x480_420_q90    camera 640  480  1 -sample 2x2 -quality 90"
  "640x480_422_q50    camera 640  480  1 -sample 2x1 -quality 50"
  "640x480_422_q75    camera 640  480  1 -sample 2x1 -quality 75"
  "640x480_422_q90    camera 640  480  1 -sample 2x1 -quality 90"
  "704x480_420_q50    camera 704  480  2 -sample 2x2 -quality 50"
  "704x480_420_q75    camera 704  480  2 -sample 2x2 -quality 75"
  "704x480_420_q90    camera 704  480  2 -sample 2x2 -quality 90"
  "704x480_422_q50    camera 704  480  2 -sample 2x1 -quality 50"
  "704x480_422_q75    camera 704  480  2 -sample 2x1 -quality 75"
  "704x480_422_q90    camera 704  480  2 -sample 2x1 -quality 90"
  "4000x3000_420_q75  camera 4000 3000 3 -sample 2x2 -quality 75"
  "4000x3000_busy_q90 busy   4000 3000 4 -sample 2x2 -quality 90"
  "4000x3000_prog_q75 camera 4000 3000 3 -sample 2x2 -quality 75 -progressive"
  "4000x3000_prog_busy_q90 busy 4000 3000 4 -sample 2x2 -quality 90 -progressive"
)

: > "$out/manifest.txt"
for line in "${pictures[@]}"; do
  read -r name scene w h seed opts <<< "$line"
  ppm="$tmp/$scene-$w-$h-$seed.ppm"
  [ -f "$ppm" ] || "$bench" --scene "$scene" "$w" "$h" "$seed" > "$ppm"
  # shellcheck disable=SC2086
  cjpeg $opts -outfile "$out/$name.jpg" "$ppm"
  echo "$name $name.jpg" >> "$out/manifest.txt"
done
echo "make_pictures: ${#pictures[@]} pictures in $out" >&2
