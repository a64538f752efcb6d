#!/bin/sh
# Installs the build and run dependencies with apt-get. Idempotent: packages
# already present are left alone, and the package lists are refreshed only when
# something has to be installed.
set -eu

PACKAGES="g++ cmake ninja-build pkg-config libboost-dev libboost-graph-dev libgtest-dev coinor-csdp coinor-cbc coinor-libcbc-dev perl libopenblas0-pthread klayout clang-format nlohmann-json3-dev openmpi-bin libopenmpi-dev zlib1g-dev"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

SUDO=""
if [ "$(id -u)" != 0 ]; then
    SUDO="sudo"
fi
echo "install-deps: installing$missing"
$SUDO apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
