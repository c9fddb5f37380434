#!/bin/sh
# Installs npm packages under the build folder for the interop tests:
#   install_npm.sh PREFIX NAME@VERSION...
# Exits 77 (the tests are skipped) when npm is missing or its registry
# cannot be reached; a registry that answers but an install that fails is a
# failure.
set -u
prefix=$1
shift
missing=""
for package in "$@"; do
    [ -f "$prefix/node_modules/${package%@*}/package.json" ] || missing="$missing $package"
done
if [ -z "$missing" ]; then
    echo "$* already installed in $prefix"
    exit 0
fi
for program in node npm; do
    if ! command -v "$program" >/dev/null 2>&1; then
        echo "SKIP: $program is not installed (scripts/setup.sh installs nodejs and npm)"
        exit 77
    fi
done
if ! npm ping >/dev/null 2>&1; then
    echo "SKIP: the npm registry cannot be reached ($(npm config get registry))"
    exit 77
fi
mkdir -p "$prefix"
# shellcheck disable=SC2086 # the list splits into NAME@VERSION words
exec npm install --prefix "$prefix" --no-audit --no-fund $missing
