#!/bin/sh
# Installs with apt-get whatever of the build's needs is missing, then
# configures and builds the project into build/ (the program: build/veltrane).
set -eu
cd "$(dirname "$0")/.."

packages="cmake g++ make pkg-config qt6-base-dev libgl-dev libssl-dev
  libcpp-httplib-dev libcurl4-openssl-dev iproute2 desktop-file-utils appstream dpkg-dev
  fonts-noto-cjk fonts-dejavu-core xvfb xauth"

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing="$missing $package"
done
if [ -n "$missing" ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    echo "setup: installing$missing"
    $sudo apt-get update
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
