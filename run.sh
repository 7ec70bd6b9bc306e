#!/usr/bin/env bash
# Builds and starts NorvaWizard. Without NORVAWIZARD_COM<n> set (and without
# --real) the two modules are simulated by norva-sim on pseudo-terminals.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
# The tests are not needed to run the wizard (./test.sh builds them).
NORVA_BUILD_TESTS=OFF scripts/build.sh plain >/dev/null
bin=build/plain
if [ ! -x "$bin/wizard/norvawizard" ]; then
    exec "$bin/tools/norvactl" ports
fi
real=0
[ "${1:-}" = "--real" ] && real=1
env | grep -q '^NORVAWIZARD_COM[0-9]*=' && real=1
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: start ./run.sh from a desktop session (or under xvfb-run)." >&2
    exit 1
fi
if [ "$real" = 1 ]; then
    exec "$bin/wizard/norvawizard"
fi
echo "The two modules are simulated (norva-sim, one port as COM1); for real modules run ./run.sh --real and pick the port in Wizard Setting."
exec "$bin/sim/norva-sim" --follow -- "$bin/wizard/norvawizard"
