#!/usr/bin/env bash
# Regenerates docs/screenshots/step1..9.png from a pairing run of the
# offscreen build against the simulated modules.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh plain >/dev/null
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 NORVA_SCREENSHOT_DIR="$PWD/docs/screenshots" \
    build/plain/tests/e2e/e2e_tests --gtest_filter='*ANewUserPairsBothUnitsWithOneCable' >/dev/null
ls docs/screenshots
