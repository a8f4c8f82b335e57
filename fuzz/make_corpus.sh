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
# Successive approximation from bit 3 down, bands split at 5: the refinement scans.
printf '%s\n' "0,1,2: 0-0, 0, 2;" "0: 1-5, 0, 3;" "1: 1-63, 0, 2;" "2: 1-63, 0, 2;" \
    "0: 6-63, 0, 3;" "0: 1-63, 3, 2;" "0,1,2: 0-0, 2, 1;" "0: 1-63, 2, 1;" "1: 1-63, 2, 1;" \
    "2: 1-63, 2, 1;" "0,1,2: 0-0, 1, 0;" "0: 1-63, 1, 0;" "1: 1-63, 1, 0;" "2: 1-63, 1, 0;" \
    > "$tmp/deep.txt"
cjpeg -sample 2x2 -quality 95 -scans "$tmp/deep.txt" -outfile "$out/progressive_deep.jpg" "$c"
cjpeg -sample 2x2 -outfile "$out/odd9x7.jpg" "$tmp/c9.ppm"
cjpeg -grayscale -outfile "$out/grey.jpg" "$tmp/g17.pgm"
cjpeg -grayscale -progressive -outfile "$out/grey_progressive.jpg" "$tmp/g17.pgm"
cjpeg -rgb -sample 1x1 -outfile "$out/rgb.jpg" "$c"
head -c 400 "$out/baseline420.jpg" > "$out/truncated_sequential.jpg"
head -c 500 "$out/progressive420.jpg" > "$out/truncated_progressive.jpg"

# The live-frame seeds: the baseline picture's scan under a header the client
# builds (model 0), and its own header sent ahead (models 11, 13 and 20);
# "huge" seeds claim 16383 x 16383 pixels for the same few bytes of scan.
python3 - "$out/baseline420.jpg" "$(dirname "$0")/corpus/live_frame" <<'PY'
import os, struct, sys
jpeg = open(sys.argv[1], "rb").read()
out = sys.argv[2]
os.makedirs(out, exist_ok=True)
# Walk to the end of the start-of-scan segment; the scan runs to FF D9.
pos, sof = 2, None
while True:
    marker, length = jpeg[pos + 1], struct.unpack(">H", jpeg[pos + 2:pos + 4])[0]
    if marker == 0xC0:
        sof = pos
    pos += 2 + length
    if marker == 0xDA:
        break
header, scan = jpeg[:pos], jpeg[pos:-2]
height, width = struct.unpack(">HH", jpeg[sof + 5:sof + 9])

def seed(name, selector, w, h, camera_header, data):
    with open(os.path.join(out, name), "wb") as f:
        f.write(bytes([selector]) + struct.pack("<HHH", w, h, len(camera_header)) +
                camera_header + data)

huge = bytearray(header)
huge[sof + 5:sof + 9] = struct.pack(">HH", 16383, 16383)
seed("model0", 0x40, width, height, b"", scan)
seed("model0_huge", 0x40, 16383, 16383, b"", scan)
seed("model11", 0x41, width, height, header, scan + b"\xff\xd9")
seed("model13", 0x42, width, height, header, scan + b"\xff\xd9")
seed("model20", 0x43, width, height, header, scan + b"\xff\xd9")
seed("model20_huge", 0x43, width, height, bytes(huge), scan + b"\xff\xd9")
PY
