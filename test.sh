#!/usr/bin/env bash
# Builds and runs every test three times: plain, ASan+UBSan, TSan; then
# cross-builds for Windows (win64) and runs the Windows programs under Wine
# against norva-sim of the plain build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
source scripts/env.sh
jobs=${NORVA_CTEST_JOBS:-8}
configs=${NORVA_CONFIGS:-"plain asan tsan win64"}
for cfg in $configs; do
    echo "=== $cfg: build"
    scripts/build.sh "$cfg"
    echo "=== $cfg: test"
    (cd "build/$cfg" && ctest -j "$jobs" --output-on-failure --timeout 300)
done
