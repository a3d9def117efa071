#!/usr/bin/env bash
# Renders the SVG sources under res/images to the PNG files the program loads.
# With --sheet it also writes docs/screenshots/images.png, every PNG labelled on the panel colour (needs ImageMagick's montage).
# Icons with a hover look get a second file "<name>_h.png": the same drawing in the accent colour.
# Backgrounds and icons that widgets scale are rendered at twice their shown size for sharp edges.
set -euo pipefail
cd "$(dirname "$0")/../res/images"
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: run tools/deps.sh" >&2; exit 1; }

ACCENT="#428AFF"
hover_css=$(mktemp --suffix=.css)
trap 'rm -f "$hover_css"' EXIT
echo "svg { color: $ACCENT; }" > "$hover_css"

# render SOURCE WIDTH HEIGHT [OUTPUT]
render() {
    local out="${4:-${1%.svg}.png}"
    rsvg-convert -w "$2" -h "$3" "$1" -o "$out"
}

# render_with_hover SOURCE WIDTH HEIGHT
render_with_hover() {
    render "$@"
    rsvg-convert -w "$2" -h "$3" -s "$hover_css" "$1" -o "${1%.svg}_h.png"
}

# Tool bar: icons drawn at 32 x 32.
for icon in home back setting snapshot uninstall recent logcat adb more; do
    render_with_hover "toolbar/$icon.svg" 64 64
done
render toolbar/split.svg 164 1
render toolbar/bg_more_menu.svg 218 226
render toolbar/bg_install_tip.svg 372 194

# Quick bar over the video: 43 x 43 buttons and the 206 x 85 wireless button, all border images.
render_with_hover quickbar/fullscreen.svg 86 86
render_with_hover quickbar/normalscreen.svg 86 86
render quickbar/bg_button.svg 412 170

# Dialogs and placeholders.
render other/close.svg 70 70
render other/success.svg 104 104
render other/radio_n.svg 18 18
render other/radio_s.svg 18 18
render other/logo_bg.svg 984 96

# The tool bar's name plate and the application icon.
render logo/logo.svg 328 30
for size in 16 32 48 64 128 256; do
    render logo/vadizede.svg "$size" "$size" "logo/vadizede-$size.png"
done

[ "${1:-}" = "--sheet" ] || exit 0
# Large images are shrunk to the tile, small ones stay at their size; no time stamps, so reruns match.
mapfile -t pngs < <(find . -name '*.png' | sed 's|^\./||' | sort)
montage -background '#1B2845' -fill white -font DejaVu-Sans -pointsize 12 -label '%d/%f\n%wx%h' \
    "${pngs[@]}" -tile 6x -geometry '200x110>+14+10' -define png:exclude-chunks=date,time \
    ../../docs/screenshots/images.png
