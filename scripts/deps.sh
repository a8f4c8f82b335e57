#!/usr/bin/env bash
# Installs the Debian packages that building and testing kest needs.
# Idempotent: apt-get runs only when a package is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libfreetype-dev libfontconfig-dev fonts-dejavu-core
    libturbojpeg0-dev libjpeg62-turbo-dev libjpeg-turbo-progs libstb-dev
    clang libclang-rt-14-dev
    qt6-base-dev qt6-qpa-plugins
    iproute2 util-linux python3
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "deps: installing ${missing[*]}" >&2
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
