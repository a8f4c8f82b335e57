#!/usr/bin/env bash
# Runs a command inside an isolated network namespace: only loopback, with the
# limited broadcast address and the multicast range routed to it, so camera
# searches and multicast streams never leave this machine.
#   scripts/netns.sh --check     exit 0 when such a namespace can be made
#   scripts/netns.sh CMD ARG...  run CMD inside one
set -euo pipefail

setup='ip link set lo up &&
       ip route add broadcast 255.255.255.255 dev lo table local &&
       ip route add 224.0.0.0/4 dev lo'

unshare_flags=""
if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
    unshare_flags="-n"
elif unshare -rn true 2>/dev/null; then
    unshare_flags="-rn"
fi

if [ "${1:-}" = "--check" ]; then
    [ -n "$unshare_flags" ] || exit 1
    unshare $unshare_flags bash -c "$setup" 2>/dev/null
    exit $?
fi

if [ -z "$unshare_flags" ]; then
    echo "netns: cannot make an isolated network namespace here" >&2
    exit 1
fi
exec unshare $unshare_flags bash -c "$setup && export KEST_IN_NETNS=1 && exec \"\$@\"" netns "$@"
