#!/bin/sh
# Installs with apt-get whatever of the build's needs is missing, then
# configures and builds the project into build/ (the program: build/veltrane).
set -eu
cd "$(dirname "$0")/.."

scripts/install-packages.sh cmake g++ make pkg-config qt6-base-dev libgl-dev libssl-dev \
    libcpp-httplib-dev libcurl4-openssl-dev curl iproute2 desktop-file-utils appstream dpkg-dev \
    fonts-noto-cjk fonts-dejavu-core xvfb xauth

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
