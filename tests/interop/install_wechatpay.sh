#!/bin/sh
# Installs the npm package wechatpay-node-v3 under the build folder for the
# payment interop test. Exits 77 (the test is skipped) when npm is missing or
# its registry cannot be reached; a registry that answers but an install that
# fails is a failure.
set -u
prefix=$1
if [ -f "$prefix/node_modules/wechatpay-node-v3/package.json" ]; then
    echo "wechatpay-node-v3 is already installed in $prefix"
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
exec npm install --prefix "$prefix" --no-audit --no-fund wechatpay-node-v3@2
