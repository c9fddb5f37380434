#!/bin/sh
# Installs the npm package har-validator under the build folder for the HAR
# interop test. Exits 77 (the test is skipped) when npm is missing or its
# registry cannot be reached; an install that fails is a failure.
set -u
prefix=$1
if [ -f "$prefix/node_modules/har-validator/package.json" ]; then
    echo "har-validator is already installed in $prefix"
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
exec npm install --prefix "$prefix" --no-audit --no-fund har-validator@5
