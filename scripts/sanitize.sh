#!/bin/sh
# Builds the project a second time with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-sanitize/ and runs the whole test
# suite there; any report fails the run. Run after scripts/setup.sh.
set -eu
cd "$(dirname "$0")/.."

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build build-sanitize --parallel "$(nproc)"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
LSAN_OPTIONS=suppressions="$PWD/scripts/lsan-suppressions.txt" \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure
