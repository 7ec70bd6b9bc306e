#!/usr/bin/env bash
# Checks the formatting of every C++ file, then builds and tests four ways:
# plain (g++: the programs and benchmarks, clang-tidy over every folder of
# product code, the checks of the manual pages, completion and packages),
# ASan+UBSan and TSan (clang: every test), and win64 (MinGW-w64: clang-tidy
# over the Windows-only files, then the Windows programs under Wine against
# norva-sim of the plain build).
#
# The builds and the test runs follow one another. The lint runs beside the
# builds at the lowest priority and is paused while tests run. Each phase
# prints its whole output once it has ended; a failure of any fails the run
# at the end.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
source scripts/env.sh
jobs=${NORVA_CTEST_JOBS:-8}
configs=${NORVA_CONFIGS:-"plain asan tsan win64"}
# Each phase says when it starts, so a slow run's log shows where time went.
phase() { echo "=== $* (at $((SECONDS / 60)) min $((SECONDS % 60)) s)"; }
wants() { [[ " $configs " == *" $1 "* ]]; }

declare -A job_pid job_log
failed=()
# A run that stops early ends what it started, the lint's clang-tidy runs too.
trap 'signal_lint CONT; signal_lint TERM; kill ${job_pid[@]+"${job_pid[@]}"} 2>/dev/null || true' EXIT

build() {
    phase "$1: build"
    nice -n 10 scripts/build.sh "$1"
}
# NAME LOG COMMAND...: runs beside what follows; `finish NAME` prints its log.
background() {
    local name=$1 log=$2
    shift 2
    phase "$name starts"
    "$@" >"$log" 2>&1 &
    job_pid[$name]=$!
    job_log[$name]=$log
}
finish() {
    local name=$1 rc=0
    [ -n "${job_pid[$name]:-}" ] || return 0
    wait "${job_pid[$name]}" || rc=$?
    unset "job_pid[$name]"
    phase "$name ended"
    cat "${job_log[$name]}"
    [ "$rc" -eq 0 ] || failed+=("$name")
}
start_tests() {
    background "$1: tests" "build/$1/ctest.log" \
        sh -c "cd build/$1 && exec ctest -j $jobs --output-on-failure --timeout 300"
}
# The lint takes what the builds leave of the processor. It has a process
# group of its own, so that a test run can pause it.
start_lint() {
    set -m
    background "$1: lint" "build/$1/lint.log" nice -n 19 scripts/check-lint.sh "build/$1"
    set +m
}
signal_lint() {
    local name
    for name in "plain: lint" "win64: lint"; do
        if [ -n "${job_pid[$name]:-}" ]; then
            kill "-$1" -- "-${job_pid[$name]}" 2>/dev/null || true
        fi
    done
}
# Tests run alone: beside a build, or even beside the lint at the lowest
# priority, the GUI and pairing tests missed their time limits.
run_tests() {
    signal_lint STOP
    start_tests "$1"
    finish "$1: tests"
    signal_lint CONT
}

phase format
scripts/check-format.sh
if wants plain; then
    # Every test program runs under both sanitizers; the plain build is the
    # programs as ./run.sh builds them, the benchmarks, the lint, and the
    # checks of what a user installs (the packages among them).
    NORVA_BUILD_TESTS=OFF build plain
    # These build packages and read texts: nothing in them is timed.
    start_tests plain
    start_lint plain
fi
if wants asan; then
    build asan
    finish "plain: tests"
    run_tests asan
fi
if wants win64; then
    build win64
    start_lint win64
    run_tests win64
fi
if wants tsan; then
    build tsan
    run_tests tsan
fi
for cfg in plain asan win64 tsan; do
    finish "$cfg: lint"
    finish "$cfg: tests"
done
phase done
if [ ${#failed[@]} -ne 0 ]; then
    echo "=== failed: ${failed[*]} (see their phases above)" >&2
    exit 1
fi
