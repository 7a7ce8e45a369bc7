#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target figure -j"$(nproc)"
exec ./build/figure
