#!/usr/bin/env bash
# Installs the build into a fresh prefix, builds the example host against it
# (with find_package and with pkg-config) and runs it against the installed
# kestsim on loopback; then the installed Python module and its example, which
# must find the installed library by themselves.
#   install_test.sh CMAKE BUILD_DIR SOURCE_DIR CXX LIBDIR PYTHONDIR [PYTHON [PRELOAD]]
# PYTHON empty skips the Python part; PRELOAD is the sanitizers' run time the
# interpreter needs for a sanitized library.
set -euo pipefail
cmake_cmd=$1 build=$2 src=$3 cxx=$4 libdir=$5 pydir=$6 python=${7:-} preload=${8:-}

tmp=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "install_test: $*" >&2; exit 1; }
# Nothing may come from the build tree: the installed files must do.
unset LD_LIBRARY_PATH PKG_CONFIG_PATH CMAKE_PREFIX_PATH KEST_LIBRARY PYTHONPATH

prefix=$tmp/prefix
"$cmake_cmd" --install "$build" --prefix "$prefix" >"$tmp/install.log" || {
    cat "$tmp/install.log" >&2; fail "cmake --install failed"; }
for f in "$libdir/libkest.so" "$libdir/libkest.so.1" "$libdir/picdec.spi" include/kest.h \
         bin/kestctl bin/kestsim "$libdir/pkgconfig/kest.pc" "$libdir/cmake/kest/kestConfig.cmake" \
         "$libdir/cmake/kest/kestConfigVersion.cmake" share/doc/kest/api.md; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
# The setup tool, where Qt was found: the program, its texts, its menu entry.
if [ -e "$build/bin/kestcfg" ]; then
    for f in bin/kestcfg share/kestcfg/localize/Kest.ini share/applications/kestcfg.desktop \
             share/icons/hicolor/scalable/apps/kestcfg.svg; do
        [ -e "$prefix/$f" ] || fail "not installed: $f"
    done
    [ ! -e "$prefix/bin/localize" ] || fail "the language file belongs in share/kestcfg"
    "$prefix/bin/kestcfg" --version | grep -q '^kestcfg ' || fail "installed kestcfg --version"
    # The installed program finds its texts in share/; its demo searches
    # only at a loopback address.
    XDG_CONFIG_HOME=$tmp/config QT_QPA_PLATFORM=offscreen \
        "$prefix/bin/kestcfg" --demo --walk "$tmp/pictures" >"$tmp/walk.log" 2>&1 || {
        cat "$tmp/walk.log" >&2; fail "the installed kestcfg's demo walk failed"; }
    grep -q "texts from $prefix/.*share/kestcfg/localize/Kest.ini  *ok" "$tmp/walk.log" ||
        { cat "$tmp/walk.log" >&2; fail "the installed kestcfg did not read its installed texts"; }
fi

# The example with find_package(kest).
"$cmake_cmd" -S "$src/examples/host" -B "$tmp/host" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_PREFIX_PATH="$prefix" >"$tmp/configure.log" 2>&1 || {
    cat "$tmp/configure.log" >&2; fail "the example does not configure"; }
"$cmake_cmd" --build "$tmp/host" >"$tmp/build.log" 2>&1 || {
    cat "$tmp/build.log" >&2; fail "the example does not build"; }

# The example with pkg-config and a plain compiler call.
export PKG_CONFIG_PATH=$prefix/$libdir/pkgconfig
[ "$(pkg-config --modversion kest)" != "" ] || fail "pkg-config does not know kest"
# shellcheck disable=SC2046 # the flags are words
"$cxx" -std=c++20 -o "$tmp/host_pc" "$src/examples/host/host.cpp" $(pkg-config --cflags --libs kest) \
    -Wl,-rpath,"$prefix/$libdir" || fail "the example does not build with pkg-config"

# The installed simulator on a free loopback port.
"$prefix/bin/kestsim" --port 0 --search-port 0 --no-rtsp --model 11 --program-version 31 2>"$tmp/sim.log" &
sim_pid=$!
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$tmp/sim.log")
    [ -n "$port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$tmp/sim.log" >&2; fail "kestsim did not start"; }
    sleep 0.05
done
[ -n "$port" ] || fail "kestsim did not say its port"

# The installed kestctl tells the frame size the hosts must print.
size=$("$prefix/bin/kestctl" --ip 127.0.0.1 --port "$port" call GetFrameSize) ||
    fail "installed kestctl failed: $size"
width=$(sed -n 's/.*"HSize":\([0-9]*\).*/\1/p' <<<"$size")
height=$(sed -n 's/.*"VSize":\([0-9]*\).*/\1/p' <<<"$size")
[ -n "$width" ] && [ -n "$height" ] || fail "no frame size from kestctl: $size"

for host in "$tmp/host/kest_host" "$tmp/host_pc"; do
    out=$("$host" 127.0.0.1 "$port" 2>"$tmp/host.err") || {
        cat "$tmp/host.err" >&2; fail "$host failed"; }
    echo "$out"
    expected="camera 127.0.0.1 type 11 program version 31 frame size ${width}x${height}"
    [[ $out == *"$expected"* ]] || fail "$host printed '$out', expected '$expected'"
    # The library found its decoder plug-in beside itself.
    if grep -q "Jpeg DLL" "$tmp/host.err"; then cat "$tmp/host.err" >&2; fail "picdec.spi not found"; fi
done
if [ -n "$python" ]; then
    export PYTHONPATH=$prefix/$pydir PYTHONDONTWRITEBYTECODE=1
    py_env=()
    [ -z "$preload" ] || py_env=(env LD_PRELOAD="$preload" ASAN_OPTIONS=detect_leaks=0)
    loaded=$("${py_env[@]}" "$python" -c 'import kest, kest._library as L; kest.library_version(); print(L.library()._name)') ||
        fail "the installed Python module does not load"
    [ "$(realpath "$loaded")" = "$(realpath "$prefix/$libdir/libkest.so.1")" ] ||
        fail "the Python module loaded $loaded, not the installed library"
    json=$("${py_env[@]}" "$python" "$prefix/share/kest/examples/camera_settings.py" --port "$port" 127.0.0.1) ||
        fail "camera_settings.py failed: $json"
    "$python" -c 'import json, sys; d = json.load(sys.stdin); w, h = int(sys.argv[1]), int(sys.argv[2])
assert d["version"] == {"type_number": 11, "program_version": 31}, d
assert d["frame_size"] == {"width": w, "height": h}, d' "$width" "$height" <<<"$json" ||
        fail "camera_settings.py printed $json"
fi
echo "install_test: ok"
