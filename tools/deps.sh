#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the simulated device need, only when missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config ccache
    qtbase5-dev qttools5-dev qttools5-dev-tools
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev ffmpeg
    libx11-dev libxfixes-dev libqt5x11extras5-dev
    xvfb xauth libgl1-mesa-dri fonts-dejavu-core
    librsvg2-bin
    fonts-wqy-microhei xdotool imagemagick openbox
    dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
