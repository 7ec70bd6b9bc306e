#!/usr/bin/env bash
# Usage: scripts/soak.sh N [SEED] — pairs and verifies N times with norvactl against norva-sim
# units whose behaviour is drawn at random (norva-sim --random-profile), seeds SEED to
# SEED+N-1 (default: from the clock; printed). Every third run is on one port, where the
# person's power cycle of unit 2 at Verify is played through the simulator's control socket.
# A failure prints its seed, the profile and the end of the run's output, and keeps the
# transcript; the exit status is the number of failed runs (at most 100).
# NORVA_BUILD names the build tree (default build/plain).
set -uo pipefail
cd "$(dirname "$0")/.."
n=${1:?usage: scripts/soak.sh N [SEED]}
seed=${2:-$(($(date +%s) % 100000))}
build=${NORVA_BUILD:-build/plain}
sim=$build/sim/norva-sim
ctl=$build/tools/norvactl
for tool in "$sim" "$ctl"; do
    [ -x "$tool" ] || { echo "soak: $tool is not built (scripts/build.sh plain)" >&2; exit 2; }
done
keep=$(mktemp -d "${TMPDIR:-/tmp}/norva-soak.XXXXXX")
echo "soak: $n runs, seeds $seed..$((seed + n - 1)), transcripts of failures in $keep"
failed=0
start=$(date +%s)
for ((i = 0; i < n; i++)); do
    s=$((seed + i))
    run=$keep/$s
    mkdir -p "$run"
    sock=$run/control.sock
    if ((s % 3 == 0)); then
        where="one port"
        args=(pair --port COM1 --wait-unit --wait-time 120 --verify --json --log "$run/pair.log")
        follow=(--follow)
    else
        where="two ports"
        args=(pair --unit1 COM1 --unit2 COM2 --verify --json --log "$run/pair.log")
        follow=()
    fi
    "$sim" --random-profile "$s" --inquiry-ms 600 --control "$sock" "${follow[@]}" \
        -- "$ctl" "${args[@]}" >"$run/out.json" 2>"$run/err.txt" &
    pid=$!
    cycled=
    # One port: unit 2 is off the cable; the run asks for its power cycle at Verify.
    while kill -0 "$pid" 2>/dev/null; do
        if [ -z "$cycled" ] && grep -q "switch Norva-BX02 off and on" "$run/err.txt"; then
            "$sim" power 2 off --control "$sock" >/dev/null &&
                "$sim" power 2 on --control "$sock" >/dev/null
            cycled=1
        fi
        sleep 0.2
    done
    wait "$pid"
    rc=$?
    if [ "$rc" -eq 0 ] && grep -q '"verified": *true' "$run/out.json"; then
        echo "run $((i + 1)) seed $s ($where): paired and verified"
        rm -rf "$run"
        continue
    fi
    failed=$((failed + 1))
    echo "run $((i + 1)) seed $s ($where): FAILED (exit $rc); kept in $run"
    grep '^# profile' "$run/err.txt" | sed 's/^/    /'
    tail -n 8 "$run/err.txt" | sed 's/^/    /'
done
echo "soak: $((n - failed)) of $n paired and verified in $(($(date +%s) - start)) s (seeds $seed..$((seed + n - 1)))"
[ "$failed" -eq 0 ] && rmdir "$keep" 2>/dev/null
exit $((failed > 100 ? 100 : failed))
