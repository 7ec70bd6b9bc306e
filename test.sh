#!/usr/bin/env bash
# Checks the formatting of every C++ file, then builds and runs every test
# three times: plain (with clang-tidy over what Linux builds after its build),
# ASan+UBSan, TSan; then cross-builds for Windows (win64), runs clang-tidy over
# the Windows-only files, and runs the Windows programs under Wine against
# norva-sim of the plain build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
source scripts/env.sh
jobs=${NORVA_CTEST_JOBS:-8}
configs=${NORVA_CONFIGS:-"plain asan tsan win64"}
echo "=== format"
scripts/check-format.sh
lint_failed=
for cfg in $configs; do
    echo "=== $cfg: build"
    scripts/build.sh "$cfg"
    if [ "$cfg" = plain ] || [ "$cfg" = win64 ]; then
        # The tests still run on a lint finding, so that one run shows both;
        # the Windows build's lint reads the files only Windows builds.
        echo "=== $cfg: lint"
        scripts/check-lint.sh "build/$cfg" || lint_failed=1
    fi
    echo "=== $cfg: test"
    (cd "build/$cfg" && ctest -j "$jobs" --output-on-failure --timeout 300)
done
if [ -n "$lint_failed" ]; then
    echo "=== lint: clang-tidy found problems (listed after '=== plain: lint' or '=== win64: lint')" >&2
    exit 1
fi
