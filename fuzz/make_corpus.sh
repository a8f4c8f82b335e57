#!/usr/bin/env bash
# Regenerates the picdec seed corpus with libjpeg-turbo's cjpeg: small pictures covering the
# sampling arrangements, progressive scans, restart intervals, and a few damaged streams.
set -euo pipefail
out="$(dirname "$0")/corpus/picdec"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
python3 - "$tmp" <<'PY'
import math, sys
d = sys.argv[1]
for name, w, h, ch in [("c24", 24, 20, 3), ("c9", 9, 7, 3), ("g17", 17, 11, 1)]:
    px = bytearray()
    for y in range(h):
        for x in range(w):
            for c in range(ch):
                px.append(int(128 + 90 * math.sin(x * 0.4 + c) * math.cos(y * 0.3)) & 255)
    with open(f"{d}/{name}.p{'p' if ch == 3 else 'g'}m", "wb") as f:
        f.write(b"P%d\n%d %d\n255\n" % (6 if ch == 3 else 5, w, h) + bytes(px))
PY
c="$tmp/c24.ppm"
cjpeg -sample 2x2 -quality 75 -outfile "$out/baseline420.jpg" "$c"
cjpeg -sample 2x1 -outfile "$out/baseline422.jpg" "$c"
cjpeg -sample 1x1 -quality 95 -outfile "$out/baseline444.jpg" "$c"
cjpeg -sample 1x2 -outfile "$out/baseline440.jpg" "$c"
cjpeg -sample 4x1 -outfile "$out/baseline411.jpg" "$c"
cjpeg -sample 3x1,1x1,1x1 -outfile "$out/luma3x1.jpg" "$c"
cjpeg -sample 2x2 -optimize -outfile "$out/optimised.jpg" "$c"
cjpeg -sample 2x2 -restart 1B -outfile "$out/restart.jpg" "$c"
cjpeg -sample 2x2 -progressive -outfile "$out/progressive420.jpg" "$c"
cjpeg -sample 2x2 -progressive -restart 2B -outfile "$out/progressive_restart.jpg" "$c"
cjpeg -sample 2x2 -outfile "$out/odd9x7.jpg" "$tmp/c9.ppm"
cjpeg -grayscale -outfile "$out/grey.jpg" "$tmp/g17.pgm"
cjpeg -grayscale -progressive -outfile "$out/grey_progressive.jpg" "$tmp/g17.pgm"
cjpeg -rgb -sample 1x1 -outfile "$out/rgb.jpg" "$c"
head -c 400 "$out/baseline420.jpg" > "$out/truncated_sequential.jpg"
head -c 500 "$out/progressive420.jpg" > "$out/truncated_progressive.jpg"
