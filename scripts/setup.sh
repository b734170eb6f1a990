#!/usr/bin/env bash
# Installs the Debian packages the build, the product and the tests need; only what is missing,
# so a second run is quick and needs no network. scripts/setup.sh fuzz adds clang.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache pkg-config git
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql libgl-dev
    libsqlite3-dev libpq-dev
    libsodium-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
    fonts-liberation xvfb xauth
    postgresql openssl libssl3
)
# The fuzz targets need clang and its libFuzzer runtime (scripts/setup.sh fuzz).
if [ "${1:-}" = "fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg -s "$p" >/dev/null 2>&1 || ! dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing missing packages: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
