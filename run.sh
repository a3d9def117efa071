#!/usr/bin/env bash
# Installs what is missing, builds the application and the simulated device (the tests, fuzz
# programs and benchmarks are left to ./test.sh), and starts the application.
set -euo pipefail
cd "$(dirname "$0")"
tools/deps.sh
tools/build.sh --target vadizede devicesim

app=build/app/vadizede

# No phone attached: start the application against a simulated device.
attached="$(adb devices 2>/dev/null || true)"
if ! grep -q $'\tdevice$' <<<"$attached"; then
    export VADIZEDE_SIM_HOME="${VADIZEDE_SIM_HOME:-$PWD/build/devicesim-home}"
    export PATH="$PWD/build/tools/devicesim:$PATH"
    echo "No device attached: using simulated device $(adb sim default) (home $VADIZEDE_SIM_HOME)."
    # The application looks for adb and its server file beside itself.
    ln -sf ../tools/devicesim/adb build/app/adb
    ln -sf ../tools/devicesim/dravik-server build/app/dravik-server
elif [ -L build/app/adb ]; then
    rm -f build/app/adb build/app/dravik-server
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting under a virtual X display."
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$app" "$@"
fi
exec "$app" "$@"
