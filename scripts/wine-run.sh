#!/usr/bin/env bash
# Usage: scripts/wine-run.sh [--com N=DEVICE]... PROGRAM [ARGS...]
#        scripts/wine-run.sh --stop
# Runs a Windows program of the build under a private Wine prefix of the build
# tree (build/win64/wine-prefix, or $NORVA_WINEPREFIX) with COM<N> mapped to
# DEVICE (a pseudo-terminal of norva-sim, a link that follows one, or a real
# /dev/ttyUSB0), and exits with the program's status. Only the ports named
# exist for the program: Wine's own mappings (a fresh prefix maps COM1 to the
# machine's /dev/ttyS0) are removed before the program runs. A persistent
# wineserver keeps later runs fast; --stop ends it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${NORVA_WINEPREFIX:-$root/build/win64/wine-prefix}"
export WINEDEBUG=${NORVA_WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

usage() {
    sed -n '2,3s/^# //p' "$0" >&2
    exit 2
}

if [ "${1:-}" = --stop ]; then
    [ -d "$WINEPREFIX" ] && wineserver -k 2>/dev/null || true
    exit 0
fi

declare -A want=()
while [ $# -gt 0 ]; do
    case "$1" in
        --com) [ $# -ge 2 ] || usage; map="$2"; shift 2 ;;
        --com=*) map="${1#--com=}"; shift ;;
        --) shift; break ;;
        -*) usage ;;
        *) break ;;
    esac
    n="${map%%=*}"
    device="${map#*=}"
    if ! [[ "$n" =~ ^[0-9]+$ ]] || [ "$n" -lt 1 ] || [ "$n" -gt 255 ] || [ -z "$device" ] ||
        [ "$device" = "$map" ]; then
        echo "wine-run.sh: --com takes N=DEVICE with N from 1 to 255, not '$map'" >&2
        exit 2
    fi
    # Wine resolves the link from its own directory: the path must be absolute.
    case "$device" in
        /*) ;;
        *) device="$PWD/$device" ;;
    esac
    case "$device" in
        /dev/ttyS*) echo "wine-run.sh: $device is the machine's own port: not mapped" >&2; exit 2 ;;
    esac
    want[$n]="$device"
done
[ $# -ge 1 ] || usage

mapping=""
for n in $(printf '%s\n' "${!want[@]}" | sort -n); do
    mapping+="COM$n=${want[$n]}"$'\n'
done

mkdir -p "$(dirname "$WINEPREFIX")"
# Wine's server and services outlive this script: they must not inherit the
# lock's descriptor.
unlocked() { "$@" 9>&-; }
(
    # One set-up at a time: runs in parallel share the prefix and its server.
    flock 9
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
        unlocked wineboot -i </dev/null >/dev/null 2>&1
    fi
    state="$WINEPREFIX/norva-ports"
    if [ "$(printf "%s" "$mapping")" != "$(cat "$state" 2>/dev/null)" ]; then
        # The mount manager reads the ports at the server's start: write
        # them, then restart it.
        unlocked wine reg delete 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1 || true
        unlocked wine reg add 'HKLM\Software\Wine\Ports' /f >/dev/null 2>&1
        for n in "${!want[@]}"; do
            unlocked wine reg add 'HKLM\Software\Wine\Ports' /v "COM$n" /t REG_SZ /d "${want[$n]}" /f \
                >/dev/null 2>&1
        done
        unlocked wineserver -k </dev/null >/dev/null 2>&1 || true
        unlocked wineserver -w </dev/null >/dev/null 2>&1 || true
        printf '%s' "$mapping" >"$state"
    fi
    if unlocked wineserver -p </dev/null >/dev/null 2>&1; then
        # A server we just started: the mount manager has mapped whatever
        # serial devices it found. Take away every port we did not ask for.
        serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
        # To a file, not a pipe: the services this first call starts keep
        # its descriptors open.
        listed="$WINEPREFIX/norva-serialcomm"
        unlocked wine reg query "$serialcomm" </dev/null >"$listed" 2>/dev/null || true
        tr -d '\r' <"$listed" |
            while read -r name type value; do
                [ "$type" = REG_SZ ] || continue
                n="${value#COM}"
                if [ -z "${want[$n]+set}" ]; then
                    unlocked wine reg delete "$serialcomm" /v "$name" /f >/dev/null 2>&1 || true
                fi
            done
    fi
    for link in "$WINEPREFIX"/dosdevices/com*; do
        [ -L "$link" ] || continue
        n="${link##*/com}"
        if [ -z "${want[$n]+set}" ] || [ "$(readlink "$link")" != "${want[$n]}" ]; then
            rm -f "$link"
        fi
    done
) 9>"$WINEPREFIX.lock"

# exec: a signal sent to this script's process reaches the program itself.
exec wine "$@"
