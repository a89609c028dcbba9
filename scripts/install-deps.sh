#!/bin/sh
# Installs every Debian package the build, the tests and the examples need.
# Idempotent: packages already present are skipped without touching the network.
set -eu

PACKAGES="cmake ninja-build g++ make binutils pkg-config googletest libgtest-dev \
libbenchmark-dev zlib1g-dev libdeflate-dev libpugixml-dev libcairo2-dev \
libpango1.0-dev fonts-dejavu-core libcli11-dev nlohmann-json3-dev libeigen3-dev \
clang libssl-dev libfuzzer-14-dev libclang-rt-14-dev locales openms-doc python3 poppler-utils \
libgtk-3-dev xvfb xauth xdotool"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
