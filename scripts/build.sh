#!/usr/bin/env bash
# Usage: scripts/build.sh plain|asan|tsan — configures and builds build/<config>.
set -euo pipefail
cd "$(dirname "$0")/.."
cfg=${1:-plain}
case "$cfg" in
    plain) cxx=g++;     san=none; fuzz=OFF; bench=ON ;;
    asan)  cxx=clang++; san=asan; fuzz=ON;  bench=OFF ;;
    tsan)  cxx=clang++; san=tsan; fuzz=OFF; bench=OFF ;;
    *) echo "unknown configuration: $cfg" >&2; exit 2 ;;
esac
# CI builds in a fresh clone elsewhere: path-independent cache keys keep
# ccache hits across checkouts.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true CCACHE_SLOPPINESS=time_macros,include_file_mtime
cmake -S . -B "build/$cfg" -G Ninja -Wno-dev \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DNORVA_SANITIZE="$san" -DNORVA_BUILD_FUZZ="$fuzz" -DNORVA_BUILD_BENCH="$bench" >/dev/null
cmake --build "build/$cfg" -j "$(nproc)" -- -k 0
