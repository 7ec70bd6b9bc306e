#!/usr/bin/env bash
# Usage: scripts/build.sh plain|asan|tsan|win64 — configures and builds build/<config>.
# win64 cross-builds the Qt-free core, norvactl.exe and the Qt-free test
# programs for Windows x86-64 with MinGW-w64. NORVA_BUILD_TESTS=OFF leaves
# the tests out of a Linux build (the programs and benchmarks only).
set -euo pipefail
cd "$(dirname "$0")/.."
cfg=${1:-plain}
# The sanitizers' own advice: -O1 keeps their reports exact, and line tables
# are all their stack traces read; both take a fifth off the build.
san_opt="-O1 -gline-tables-only"
case "$cfg" in
    plain) cxx=g++;     san=none; fuzz=OFF; bench=ON;  opt="-O2 -g" ;;
    asan)  cxx=clang++; san=asan; fuzz=ON;  bench=OFF; opt="$san_opt" ;;
    tsan)  cxx=clang++; san=tsan; fuzz=OFF; bench=OFF; opt="$san_opt" ;;
    win64) ;;
    *) echo "unknown configuration: $cfg" >&2; exit 2 ;;
esac
# CI builds in a fresh clone elsewhere: path-independent cache keys keep
# ccache hits across checkouts.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true CCACHE_SLOPPINESS=time_macros,include_file_mtime
if [ "$cfg" = win64 ]; then
    cmake -S . -B build/win64 -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DNORVA_BUILD_GUI=OFF -DNORVA_BUILD_SIM=OFF -DNORVA_BUILD_BENCH=OFF >/dev/null
    exec cmake --build build/win64 -j "$(nproc)" -- -k 0
fi
cmake -S . -B "build/$cfg" -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$opt -DNDEBUG" -DNORVA_BUILD_TESTS="${NORVA_BUILD_TESTS:-ON}" \
    -DNORVA_SANITIZE="$san" -DNORVA_BUILD_FUZZ="$fuzz" -DNORVA_BUILD_BENCH="$bench" >/dev/null
cmake --build "build/$cfg" -j "$(nproc)" -- -k 0
