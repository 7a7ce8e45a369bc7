#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the plain build first, then
# the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh test

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j2

# clang links its ASan runtime statically into each executable, so it comes first in the library
# order even when the soak run preloads its shim (gcc's shared libasan refuses to start then).
CC=clang CXX=clang++ cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSANITIZE=ON \
    >/dev/null
cmake --build build-asan -j"$(nproc)"
# Every finding ends the process with a failure. The program never shuts SDL down, so what the
# libraries keep at exit is reachable; the suppressions name only library frames.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# valgrind does not run beside ASan, and the heap samples mean nothing when ASan owns malloc.
ctest --test-dir build-asan --output-on-failure -j2 -LE 'valgrind|heap'
