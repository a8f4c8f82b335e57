#!/usr/bin/env bash
# The main job on the built-in simulated camera: builds kest, starts kestsim on
# loopback, and drives a control through kestctl as a host would: version
# query, properties, a scripted session, alarms, the live picture stream and
# the MPEG-4 stream; then the setup tool's demo walks through its dialogs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)"
bin=build/release/bin

log=$(mktemp)
work=$(mktemp -d)
"$bin/kestsim" --bind 127.0.0.1 --port 0 --model 11 --rtsp-port 0 --alarm-period 500 2>"$log" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$log"; rm -rf "$work"' EXIT
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || { cat "$log" >&2; echo "run: kestsim did not start" >&2; exit 1; }
echo "== simulated camera on 127.0.0.1:$port"

echo "== kestctl call GetVersion"
"$bin/kestctl" --ip 127.0.0.1 --port "$port" call GetVersion

echo "== kestctl session"
"$bin/kestctl" --ip 127.0.0.1 --port "$port" session <<'END'
get CameraPort
set Timeout 800
call GetVersion
wait 100
END

echo "== alarms for 2 s: the simulated camera raises its alarm input every 500 ms"
"$bin/kestctl" --ip 127.0.0.1 --port "$port" alarms --seconds 2

echo "== live picture stream: 30 pictures, saved as JPEG files"
shots=$(mktemp -d)
"$bin/kestctl" --ip 127.0.0.1 --port "$port" stream --frames 30 --save "$shots"
echo "saved $(ls "$shots" | wc -l) pictures in $shots"
rtsp=$(sed -n 's/.*RTSP on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
if [ -n "$rtsp" ]; then
    echo "== MPEG-4 stream over RTSP (port $rtsp) and RTP for 2 s, payloads into unko.b"
    kestctl="$PWD/$bin/kestctl"
    (cd "$work" && "$kestctl" --ip 127.0.0.1 --port "$port" \
        --set RtspPort="$rtsp" session <<'END'
call StartStreaming
wait 2000
call StopStreaming
END
    )
    echo "unko.b: $(stat -c %s "$work/unko.b" 2>/dev/null || echo 0) bytes"
fi
# The setup tool's demo: three simulated cameras in the tool itself, searched
# for at a loopback address; the walk needs no display (Qt's offscreen
# platform) and runs in the isolated network namespace where one can be made.
pictures=$PWD/build/release/kestcfg-demo-pictures
echo "== setup tool: kestcfg --demo walks the connect, login and search dialogs;"
echo "   a picture of each form goes to $pictures"
rm -rf "$pictures"
if bash scripts/netns.sh --check; then
    QT_QPA_PLATFORM=offscreen bash scripts/netns.sh "$bin/kestcfg" --demo --walk "$pictures"
else
    echo "(no network namespace here: the demo searches only at a loopback address)"
    QT_QPA_PLATFORM=offscreen "$bin/kestcfg" --demo --walk "$pictures"
fi
echo "== done"
