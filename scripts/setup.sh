#!/bin/sh
# Installs with apt-get whatever of the project's needs is missing, then
# configures and builds the project into build/ (the program: build/veltrane).
set -eu
cd "$(dirname "$0")/.."

# Every package the project needs, in this one list, by what needs it. A
# minimal Debian has none of them, ca-certificates and file included.
build="cmake g++ make pkg-config qt6-base-dev libgl-dev libssl-dev libcpp-httplib-dev libcurl4-openssl-dev
       zlib1g-dev libbrotli-dev libzstd-dev"          # the content codings the exchange undoes
# The token and key in the desktop's keyring: QtKeychain loads libsecret as it runs.
keyring="qtkeychain-qt6-dev libsecret-1-0"
# The exchange history: Qt SQL (its headers come with qt6-base-dev) and its SQLite driver.
history="libqt6sql6 libqt6sql6-sqlite"
charts="qt6-charts-dev libqt6opengl6-dev"       # the 压力测试 window's chart (Debian's Qt Charts needs Qt OpenGL's CMake files, not pulled in)
fonts="fonts-noto-cjk fonts-dejavu-core"      # the captions are Chinese; tests measure them
translations="qt6-translations-l10n"           # Qt's own words (context menus, 确定) in Chinese
# The keyring tests run a keyring of their own, on a bus of their own.
tests="curl iproute2 desktop-file-utils appstream gnome-keyring dbus-daemon
       libxml2-utils"                          # xmllint: the conformance run's JUnit report validated
https="ca-certificates"                        # the system's authorities, for every https post
packaging="dpkg-dev file"                      # cpack -G DEB
screenshot="xvfb xauth"
bench="apache2-utils"                          # ab: the bench's load phase prints its rate beside ours
# node and npm for the interop test's endpoint. Only where npm is missing: a
# node from elsewhere (nodesource) brings its own npm and conflicts with
# Debian's npm package.
interop=""
command -v npm >/dev/null 2>&1 || interop="nodejs npm"

# shellcheck disable=SC2086 # the lists split into package names
scripts/install-packages.sh $build $keyring $history $charts $fonts $translations $tests $https $packaging $screenshot $bench $interop

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
