#!/usr/bin/env bash
# Shows the gallery of skinned controls and screenshots it to $GALLERY_PNG;
# checks that the shot holds the gallery and that no key colour reached the screen.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
trap 'ui_stop_started; wineserver -k 2>/dev/null || true' EXIT
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
ui_start "$GALLERY" 20
ui wait --title "Skin gallery" --visible --timeout 30000 >/dev/null || ui_fail "gallery did not appear"
ui wait --title "Close" --visible --timeout 5000 >/dev/null 2>&1 || true
sleep 1.5
mkdir -p "$(dirname "$GALLERY_PNG")"
ui_shot "$GALLERY_PNG" || ui_fail "no screenshot"
[ -s "$GALLERY_PNG" ] || ui_fail "empty screenshot"
magenta=$(convert "$GALLERY_PNG" -fill black +opaque '#FF00FF' -fill white -opaque '#FF00FF' -format '%[fx:round(mean*w*h)]' info:)
ui_assert_eq 0 "$magenta" "magenta pixels on screen"
ui_ok "gallery at $GALLERY_PNG"
