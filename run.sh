#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
tools/build.sh

app=build/app/vadizede
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under a virtual X display."
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$app" "$@"
fi
exec "$app" "$@"
