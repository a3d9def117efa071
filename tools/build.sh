#!/usr/bin/env bash
# Configures and builds the project into ./build. Extra arguments go to cmake's configure step,
# except "--target NAME..." at the end, which builds only those targets.
set -euo pipefail
cd "$(dirname "$0")/.."
configure=()
targets=()
while [ $# -gt 0 ]; do
    if [ "$1" = "--target" ]; then
        shift
        targets=("$@")
        break
    fi
    configure+=("$1")
    shift
done
cmake -S . -B build "${configure[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
    cmake --build build -j"$(nproc)" --target "${targets[@]}"
else
    cmake --build build -j"$(nproc)"
fi
