#!/bin/sh
# The payment interop test's npm package, installed as the others are.
exec "$(dirname "$0")/install_npm.sh" "$1" wechatpay-node-v3@2
