#!/bin/sh
# The HAR interop test's npm package, installed as the others are.
exec "$(dirname "$0")/install_npm.sh" "$1" har-validator@5
