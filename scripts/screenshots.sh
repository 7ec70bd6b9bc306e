#!/usr/bin/env bash
# Usage: scripts/screenshots.sh [win64]
# Regenerates docs/screenshots/step1..9.png from a pairing run of the
# offscreen build against the simulated modules; with win64, the Windows
# wizard's docs/screenshots/win64/step1..9.png under Wine on an Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh plain >/dev/null
if [ "${1:-}" = win64 ]; then
    # Pictures only: a display and Windows-like faces, in a prefix of their own.
    missing=()
    for p in xvfb fonts-wine; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        sudo=""
        [ "$(id -u)" -ne 0 ] && sudo=sudo
        $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
    scripts/build.sh win64 >/dev/null
    export NORVA_WINEPREFIX="$PWD/build/win64/pictures-prefix"
    display=:87
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; scripts/wine-run.sh --stop' EXIT
    export DISPLAY=$display
    scripts/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
    fonts="$NORVA_WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/tahoma*.ttf "$fonts/" 2>/dev/null || true
    scripts/wine-run.sh reg add \
        'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
        /t REG_MULTI_SZ /d 'NanumGothic.ttf,NanumGothic' /f >/dev/null
    cp /usr/share/fonts/truetype/nanum/NanumGothic.ttf "$fonts/" 2>/dev/null || true
    scripts/wine-run.sh --stop
    python3 scripts/win64_screenshots.py --build build/win64 --sim build/plain/sim/norva-sim
    ls docs/screenshots/win64
    exit 0
fi
mkdir -p docs/screenshots
QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 NORVA_SCREENSHOT_DIR="$PWD/docs/screenshots" \
    build/plain/tests/e2e/e2e_tests --gtest_filter='*ANewUserPairsBothUnitsWithOneCable' >/dev/null
ls docs/screenshots
