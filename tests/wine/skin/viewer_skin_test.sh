#!/usr/bin/env bash
# The toolkit in the viewer's main window: the sliders take their channel
# sizes and places, a real click on the position slider posts WM_SLIDER_MOVING to the
# main window, and no magenta key colour of the shaped buttons (channel view,
# mirror, flip, the type filters and the map buttons) reaches the screen.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
spyout=$(mktemp -u "${TMPDIR:-/tmp}/spy.XXXXXX")
shot=$(mktemp -u "${TMPDIR:-/tmp}/viewer.XXXXXX").png
trap 'touch "$spyout.stop"; viewer_end; rm -f "$spyout"* "$shot"' EXIT
viewer_fresh
ui_server_start
viewer_start
# The clock line is set at the end of the main window's initialisation.
ui wait-text "${MAIN[@]}" --id "$IDC_CLOCK" --match '^Time' --timeout 10000 >/dev/null || ui_fail "viewer not initialised"

ui_assert_eq "28 459 571 9" "$(control_place "$IDC_POSITION_SLIDER" "${MAIN[@]}")" "position slider"
ui_assert_eq "322 500 100 14" "$(control_place "$IDC_VOLUME_SLIDER" "${MAIN[@]}")" "volume slider"
ui_ok "sliders at their places"

sleep 1
ui_shot "$shot" || ui_fail "no screenshot"
read -r cl ct _ _ cw ch < <(ui client-rect "${MAIN[@]}")
magenta=$(convert "$shot" -crop "${cw}x${ch}+${cl}+${ct}" +repage -fill black +opaque '#FF00FF' \
  -fill white -opaque '#FF00FF' -format '%[fx:round(mean*w*h)]' info:)
ui_assert_eq 0 "$magenta" "magenta pixels in the main window"
ui_ok "no key colour on screen"

wine "$MSGSPY" "$VIEWER_HWND" "Z:$spyout" > "$spyout.log" 2>&1 {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&- &
ui_wait_for 10000 grep -q ready "$spyout.log" || ui_fail "message spy did not start: $(cat "$spyout.log")"
# How often the spy saw message $1 (a number; the spy writes it as 0xHHHH).
count() { awk -v m="$(printf '0x%04X' "$1")" '$1 == m {print $2; f=1} END {if (!f) print 0}' "$spyout" 2>/dev/null || echo 0; }
at_least() { [ "$(count "$1")" -ge "$2" ]; }
# A press on the position track far right of the thumb makes the thumb jump
# there: WM_SLIDER_MOVING reaches the main window. (The message spy counts WM_SLIDER_MOVING only;
# the WM_SLIDER_MOVED of the release is checked in the toolkit's own tests. The volume
# slider stays disabled until the volume control exists.)
ui_click_at $((cl + 28 + 300)) $((ct + 459 + 4))
ui_wait_for 3000 at_least "$WM_SLIDER_MOVING" 1 || ui_fail "no WM_SLIDER_MOVING after the click: $(cat "$spyout")"
ui_ok "position slider click posted WM_SLIDER_MOVING"
