#!/usr/bin/env bash
# Installs the Debian packages this project needs that are not installed yet.
# Usage: tools/deps.sh build|test
set -euo pipefail

build=(cmake make g++ pkg-config libsdl2-dev)
test=("${build[@]}" libgtest-dev libbenchmark-dev python3 xvfb xauth xdotool imagemagick
      x11-utils libgl1-mesa-dri clang libclang-rt-14-dev valgrind)

case "${1:-}" in
build) wanted=("${build[@]}") ;;
test) wanted=("${test[@]}") ;;
*) echo "usage: $0 build|test" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
