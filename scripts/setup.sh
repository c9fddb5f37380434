#!/bin/sh
# Installs with apt-get whatever of the build's needs is missing, then
# configures and builds the project into build/ (the program: build/veltrane).
set -eu
cd "$(dirname "$0")/.."

# node and npm for the interop test's endpoint. Only where npm is missing: a
# node from elsewhere (nodesource) brings its own npm and conflicts with
# Debian's npm package.
node_packages=""
command -v npm >/dev/null 2>&1 || node_packages="nodejs npm"

# shellcheck disable=SC2086 # node_packages is a list of words
scripts/install-packages.sh $node_packages cmake g++ make pkg-config qt6-base-dev libgl-dev libssl-dev \
    libcpp-httplib-dev libcurl4-openssl-dev zlib1g-dev libbrotli-dev libzstd-dev curl iproute2 \
    desktop-file-utils appstream dpkg-dev \
    fonts-noto-cjk fonts-dejavu-core xvfb xauth

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
