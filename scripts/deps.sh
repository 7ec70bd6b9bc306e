#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail
pkgs=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format clang-tidy ccache pkg-config
      libgtest-dev libgmock-dev libbenchmark-dev libudev-dev
      libcli11-dev nlohmann-json3-dev
      libsoci-dev libsqlite3-dev libpq-dev libqrencode-dev
      sqlite3 postgresql zbar-tools librsvg2-bin poppler-utils fonts-dejavu-core fonts-nanum
      qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
      python3 dpkg-dev appstream desktop-file-utils lintian
      g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for p in "${pkgs[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing missing packages: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
