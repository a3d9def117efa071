#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under a virtual X display.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
tools/build.sh
xvfb-run -a -s "-screen 0 1920x1080x24" \
    ctest --test-dir build --output-on-failure -j"$(nproc)" "$@"
