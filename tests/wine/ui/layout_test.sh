#!/usr/bin/env bash
# The main window's skin, layout and display modes, on screens of four sizes
# (each part in a bench of its own size):
#   1920x1080, with a card: every control's place and visibility in normal and
#     maximised mode, the lists' heights, the tool-tips, the 23 background
#     pieces on screen against their bitmaps in both modes, no magenta, the
#     maximise and restore images, dragging in normal mode only, the map
#     states (Hide, Show, Expand with its refusals), full screen showing only
#     the picture, Escape bringing every control back, also from maximised,
#     and the card's removal returning to normal mode;
#   1280x1024: the maximised places (position slider at x 28) and pieces;
#   1024x768: Maximize refused, full screen and back;
#   1024x600: full screen keeps the screen's size (no height guard).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
part=${1:-}

if [ -z "$part" ]; then
  card=$(mktemp -d "${TMPDIR:-/tmp}/layout-card.XXXXXX")
  "$top/scripts/card" build --plan "$here/layout_card.plan" --out "$card" >/dev/null || exit 1
  rc=0
  "$top/scripts/bench" run -s 1920x1080 -- "$top/scripts/card" run --letter E --card "$card" -- bash "$0" wide || rc=1
  for p in 1280x1024:narrow 1024x768:small 1024x600:low; do
    "$top/scripts/bench" run -s "${p%%:*}" -- bash "$0" "${p#*:}" || rc=1
  done
  rm -rf "$card"
  exit $rc
fi

. "$here/../lib/ui.sh"
. "$here/viewer.sh"
. "$here/../playback/playback.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/layout.XXXXXX")
trap 'viewer_end; rm -rf "$work"' EXIT
art=$(dirname "$(ls -t "$top"/build/*/resources/art/197.bmp | head -n1)")
read -r SW SH < <(xdotool getdisplaygeometry)
ui_ok "part $part on a ${SW}x${SH} screen"

# --- Expected places (x y w h), normal and maximised -------------------------
# Maximised columns are arithmetic in SW, SH (the screen) and H2 (SW / 2).
PLACES="
IDC_CLOSE           1067 2 17 17     SW-23 2 17 17
IDC_FULL_SCREEN     995 2 17 17      SW-95 2 17 17
IDC_MINIMIZE        1019 2 17 17     SW-71 2 17 17
IDC_MAXIMIZE        1043 2 17 17     SW-47 2 17 17
IDC_FILTER_NORMAL   784 41 16 16     SW-306 41 16 16
IDC_LABEL_NORMAL    803 41 44 30     SW-287 41 44 30
IDC_FILTER_EVENT    854 41 16 16     SW-236 41 16 16
IDC_LABEL_EVENT     873 41 44 30     SW-217 41 44 30
IDC_FILTER_PARK     924 41 16 16     SW-166 41 16 16
IDC_LABEL_PARK      943 41 44 30     SW-147 41 44 30
IDC_FILTER_PHOTO    994 41 16 16     SW-96 41 16 16
IDC_LABEL_PHOTO     1013 41 44 30    SW-77 41 44 30
IDC_TIME_RANGE      790 38 270 27    SW-300 38 270 27
IDC_GPS_TIME        790 68 240 27    SW-300 70 240 27
IDC_GPS_LATITUDE    790 98 240 27    SW-300 100 240 27
IDC_GPS_LONGITUDE   790 128 240 27   SW-300 130 240 27
IDC_POSITION_SLIDER 28 459 571 9     SLX SH-261 571 9
IDC_ELAPSED         690 459 45 15    SW-400 SH-261 45 15
IDC_DURATION        735 459 35 15    SW-355 SH-261 45 15
IDC_VOLUME_SLIDER   322 500 100 14   H2-223 SH-220 100 14
IDC_CHANNEL_VIEW    493 503 51 15    H2-52 SH-217 51 15
IDC_MIRROR          593 503 51 15    H2+48 SH-217 51 15
IDC_FLIP            693 503 51 15    H2+148 SH-217 51 15
IDC_GSENSOR_GRAPH   140 528 630 108  GX SH-192 630 108
IDC_GSENSOR_X       37 573 90 18     H2-508 SH-147 90 18
IDC_GSENSOR_Y       37 592 90 18     H2-508 SH-128 90 18
IDC_GSENSOR_Z       37 610 90 18     H2-508 SH-110 90 18
IDC_MAP_HIDE        987 598 19 18    SW-103 SH-122 19 18
IDC_MAP_SHOW        1017 598 19 18   SW-73 SH-122 19 18
IDC_MAP_EXPAND      1047 598 19 18   SW-43 SH-122 19 18
IDC_CLOCK           785 600 190 15   SW-305 SH-120 190 15
IDC_PREVIOUS        450 660 42 38    H2-95 SH-60 42 38
IDC_PLAY            492 650 63 59    H2-53 SH-70 63 59
IDC_STOP            555 650 63 59    H2+10 SH-70 63 59
IDC_NEXT            618 660 42 38    H2+73 SH-60 42 38
IDC_FILE_OPEN       826 652 50 50    SW-264 SH-68 50 50
IDC_PRINT           893 652 50 50    SW-197 SH-68 50 50
IDC_SAVE            960 652 50 50    SW-130 SH-68 50 50
IDC_VERSION         1027 652 50 50   SW-63 SH-68 50 50
"
FILTERS="IDC_FILTER_NORMAL IDC_FILTER_EVENT IDC_FILTER_PARK IDC_FILTER_PHOTO IDC_LABEL_NORMAL IDC_LABEL_EVENT IDC_LABEL_PARK IDC_LABEL_PHOTO"
GPS_LABELS="IDC_TIME_RANGE IDC_GPS_TIME IDC_GPS_LATITUDE IDC_GPS_LONGITUDE"
LISTS="IDC_DATE_LIST IDC_HOUR_LIST IDC_FILE_LIST"

H2=$((SW / 2))
# The position slider sits at 28 where the screen is too narrow to centre it;
# the graph ends with the video column on screens narrower than 1270.
if [ $((SW - 400)) -lt $((H2 + 314)) ]; then SLX=28; else SLX=$((H2 - 257)); fi
GX=$((H2 - 315)); [ $((SW - 950)) -lt "$GX" ] && GX=$((SW - 950))

is_in() { [[ " $2 " == *" $1 "* ]]; }

# Every control at its place for MODE (normal|maximised) and visible as the
# map state MAP (shown|hidden|expanded) wants it.
check_controls() {
  local mode=$1 map=$2 name nx ny nw nh mx my mw mh want got vis wantvis
  while read -r name nx ny nw nh mx my mw mh; do
    [ -n "$name" ] || continue
    if [ "$mode" = normal ]; then want="$nx $ny $nw $nh"; else
      want="$((mx)) $((my)) $((mw)) $((mh))"
    fi
    got=$(control_place "${!name}" "${MAIN[@]}")
    ui_assert_eq "$want" "$got" "$mode place of $name"
    wantvis=1
    if [ "$map" = expanded ] && is_in "$name" "$FILTERS"; then wantvis=0; fi
    if [ "$map" != expanded ] && is_in "$name" "$GPS_LABELS"; then wantvis=0; fi
    vis=$(ui visible "${MAIN[@]}" --id "${!name}")
    ui_assert_eq "$wantvis" "$vis" "visibility of $name ($mode, map $map)"
  done <<<"$PLACES"
}

# The lists: date, hour and file list at their places with height H, or (0)
# collapsed under the expanded map; the event list hidden.
check_lists() {
  local h=$1 w cw ch
  read -r _ _ _ _ cw ch < <(ui client-rect "${MAIN[@]}")
  if [ "$h" = collapsed ]; then
    for w in $LISTS; do
      read -r _ _ lw lh < <(control_place "${!w}" "${MAIN[@]}")
      ui_assert_eq "0 0" "$lw $lh" "size of $w under the expanded map"
    done
  else
    ui_assert_eq "$((cw - 315)) 71 73 $h" "$(control_place "$IDC_DATE_LIST" "${MAIN[@]}")" "date list"
    ui_assert_eq "$((cw - 231)) 71 39 $h" "$(control_place "$IDC_HOUR_LIST" "${MAIN[@]}")" "hour list"
    ui_assert_eq "$((cw - 181)) 71 160 $h" "$(control_place "$IDC_FILE_LIST" "${MAIN[@]}")" "file list"
    for w in $LISTS; do ui_assert_eq 1 "$(ui visible "${MAIN[@]}" --id "${!w}")" "$w visible"; done
  fi
  ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_EVENT_LIST")" "event list hidden"
}

map_checks() {  # expected checks of Hide, Show, Expand
  local got
  got="$(ui checked "${MAIN[@]}" --id "$IDC_MAP_HIDE") $(ui checked "${MAIN[@]}" --id "$IDC_MAP_SHOW") $(ui checked "${MAIN[@]}" --id "$IDC_MAP_EXPAND")"
  ui_assert_eq "$1" "$got" "map buttons checked (hide show expand)"
}

client_shot() {  # FILE.ppm: the client area as on screen now
  local cl ct cw ch
  read -r cl ct _ _ cw ch < <(ui client-rect "${MAIN[@]}")
  ui_shot "$work/screen.png"
  convert "$work/screen.png" -crop "${cw}x${ch}+${cl}+${ct}" +repage "$1"
}

no_magenta() {
  local n
  ui_shot "$work/screen.png"
  n=$(convert "$work/screen.png" -fill black +opaque '#FF00FF' -fill white -opaque '#FF00FF' \
    -format '%[fx:round(mean*w*h)]' info:)
  ui_assert_eq 0 "$n" "magenta pixels on screen ($1)"
}

# Pixels of the vehicle marker's blue (the page's rgb(30,138,224), allowing
# for the screencast's compression) inside the map panel, whose place in
# Show mode is (W - 315, H - 390, 305, 253) of the client area.
marker_pixels() {
  local cl ct cw ch
  read -r cl ct _ _ cw ch < <(ui client-rect "${MAIN[@]}")
  ui_shot "$work/screen.png"
  convert "$work/screen.png" -crop "305x253+$((cl + cw - 315))+$((ct + ch - 390))" +repage \
    -fuzz 8% -fill black +opaque 'rgb(30,138,224)' -fill white -opaque 'rgb(30,138,224)' \
    -format '%[fx:round(mean*w*h)]' info:
}
marker_shown() { [ "$(marker_pixels)" -ge 40 ]; }

# The 23 background pieces on screen against their bitmaps.
check_pieces() {
  local cl ct cw ch
  xdotool mousemove 0 0
  sleep 0.5
  read -r cl ct _ _ cw ch < <(ui client-rect "${MAIN[@]}")
  client_shot "$work/client.ppm"
  ui children "${MAIN[@]}" | awk -F'\t' -v cl="$cl" -v ct="$ct" '$6 == 1 {
      split($5, r, ","); print r[1] - cl, r[2] - ct, r[3] - cl, r[4] - ct }' >"$work/children.txt"
  python3 "$here/skin_pieces.py" "$work/client.ppm" "$art" "$cw" "$ch" "$work/children.txt" >"$work/pieces.txt" ||
    ui_fail "background pieces ($1):"$'\n'"$(grep FAIL "$work/pieces.txt")"
  ui_ok "the 23 background pieces on screen ($1, $(awk '{ s += $8 } END { print s }' "$work/pieces.txt") pixels compared)"
}

# Control ID shows bitmap NUM: the pointer passes over it and leaves, so that
# it is in its normal state.
shows_image() {
  local l t w h d
  read -r l t _ _ w h < <(ui rect "${MAIN[@]}" --id "$1")
  xdotool mousemove $((l + w / 2)) $((t + h / 2))
  sleep 0.2
  xdotool mousemove 0 0
  sleep 0.4
  ui_shot "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${l}+${t}" +repage "$work/button.ppm"
  d=$(compare -metric AE "$work/button.ppm" "$art/$2.bmp" null: 2>&1)
  [ "$d" = 0 ] && return 0
  echo "control $1 differs from bitmap $2 in $d pixels" >&2
  return 1
}

window_rect() { read -r l t _ _ w h < <(ui rect "${MAIN[@]}"); echo "$l $t $w $h"; }
window_is() { [ "$(window_rect)" = "$1" ]; }

# A press and a drag on the background at client point X,Y; prints the move.
drag_background() {
  local l t l2 t2 cl ct
  read -r l t _ _ _ _ < <(ui rect "${MAIN[@]}")
  read -r cl ct _ _ _ _ < <(ui client-rect "${MAIN[@]}")
  xdotool mousemove $((cl + $1)) $((ct + $2)) mousedown 1
  sleep 0.2
  xdotool mousemove $((cl + $1 + 30)) $((ct + $2 + 15))
  sleep 0.2
  xdotool mousemove $((cl + $1 + 60)) $((ct + $2 + 30))
  sleep 0.2
  xdotool mouseup 1
  sleep 0.5
  read -r l2 t2 _ _ _ _ < <(ui rect "${MAIN[@]}")
  echo "$((l2 - l)) $((t2 - t))"
}

click() { ui click "${MAIN[@]}" --id "$1" --post >/dev/null; }

start_viewer() {
  viewer_fresh
  ui_server_start
  viewer_start
  ui wait-text "${MAIN[@]}" --id "$IDC_CLOCK" --match '^Time' --timeout 10000 >/dev/null || ui_fail "viewer not initialised"
  xdotool mousemove 0 0
}

# Centred on the screen, its top-left corner kept on a smaller screen.
cx=$(((SW - 1090) / 2)); cy=$(((SH - 720) / 2))
centred="$((cx < 0 ? 0 : cx)) $((cy < 0 ? 0 : cy)) 1090 720"
maximise() {
  click "$IDC_MAXIMIZE"
  ui_wait_for 5000 window_is "0 0 $SW $SH" || ui_fail "not maximised: $(window_rect)"
  sleep 0.5
}
restore() {
  click "$IDC_MAXIMIZE"
  ui_wait_for 5000 window_is "$centred" || ui_fail "not back to normal: $(window_rect)"
  sleep 0.5
}

# Plays file-list row $1 and pauses it once a GPS fix is shown (or after 2 s).
play_row() {
  viewer_double_click_row "$IDC_FILE_LIST" "$1"
  playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row $1 does not play"
  sleep 2
  click "$IDC_PLAY"
  sleep 0.5
}

case "$part" in
wide)
  start_viewer
  ui_assert_eq "$centred" "$(window_rect)" "normal window"
  check_controls normal shown
  check_lists 246
  map_checks "0 1 0"
  ui_ok "normal mode: every control at its place, filters shown, GPS labels hidden, lists 246 high"

  for pair in IDC_CLOSE:close IDC_MINIMIZE:minimization IDC_FULL_SCREEN:"Full Screen" IDC_MAXIMIZE:Maximize \
    IDC_PLAY:Play IDC_STOP:Stop IDC_NEXT:Next IDC_PREVIOUS:Previous IDC_FILE_OPEN:"File Open" IDC_SAVE:Save \
    IDC_PRINT:Print IDC_VERSION:Version IDC_MAP_HIDE:"GPS Hide" IDC_MAP_SHOW:"GPS Show" IDC_MAP_EXPAND:"GPS Expand"; do
    name=${pair%%:*}
    ui_assert_eq "${pair#*:}" "$(ui tip "${MAIN[@]}" --id "${!name}" | tr -d '\r')" "tool-tip of $name"
  done
  ui_ok "the fifteen tool-tips"

  check_pieces normal
  no_magenta normal
  shows_image "$IDC_MAXIMIZE" "$IDB_MAXIMIZE_NORMAL" || ui_fail "maximise image in normal mode"
  ui_assert_eq "60 30" "$(drag_background 500 12)" "drag in normal mode"
  ui move "${MAIN[@]}" $(echo "$centred")
  ui_ok "normal mode look; the background drags the window"

  # --- Maximised --------------------------------------------------------------
  maximise
  check_controls maximised shown
  check_lists $((SH - 474))
  ui_assert_eq "$((SW - 23)) 2 17 17" "$(control_place "$IDC_CLOSE" "${MAIN[@]}")" "close button"
  ui_assert_eq "$SLX $((SH - 261)) 571 9" "$(control_place "$IDC_POSITION_SLIDER" "${MAIN[@]}")" "position slider"
  shows_image "$IDC_MAXIMIZE" "$IDB_RESTORE_NORMAL" || ui_fail "restore image in maximised mode"
  check_pieces maximised
  no_magenta maximised
  ui_assert_eq "0 0" "$(drag_background 500 12)" "drag in maximised mode"
  ui_assert_eq "0 0 $SW $SH" "$(window_rect)" "maximised window after the drag"
  ui_ok "maximised: places (slider at $SLX), restore image, pieces, no drag"
  restore
  check_controls normal shown
  check_lists 246
  shows_image "$IDC_MAXIMIZE" "$IDB_MAXIMIZE_NORMAL" || ui_fail "maximise image back in normal mode"
  ui_ok "Maximize again: normal mode"

  # --- Map states ---------------------------------------------------------------
  viewer_file_open
  row=$(viewer_show_recording R_240801_090000_N2.avi)
  ui_assert_eq 0 "$row" "row of the first recording"
  ui click "${MAIN[@]}" --id "$IDC_MAP_EXPAND" --post
  sleep 0.5
  map_checks "0 1 0"
  check_lists 246
  ui_ok "Expand refused with no recording open"
  ui click "${MAIN[@]}" --id "$IDC_MAP_HIDE" --post
  sleep 0.5
  map_checks "1 0 0"
  check_lists 512
  ui click "${MAIN[@]}" --id "$IDC_MAP_HIDE" --post
  sleep 0.3
  map_checks "1 0 0"
  check_lists 512
  ui click "${MAIN[@]}" --id "$IDC_MAP_SHOW" --post
  sleep 0.5
  map_checks "0 1 0"
  check_lists 246
  ui_ok "Hide: lists 512 high; Hide again does nothing; Show: 246"

  for r in 1:"no GPS" 2:"no G-sensor data"; do
    play_row "${r%%:*}"
    ui click "${MAIN[@]}" --id "$IDC_MAP_EXPAND" --post
    sleep 0.5
    map_checks "0 1 0"
    check_controls normal shown
    check_lists 246
    ui_ok "Expand refused for a recording with ${r#*:}"
  done

  play_row 0
  ui click "${MAIN[@]}" --id "$IDC_MAP_EXPAND" --post
  sleep 0.5
  map_checks "0 0 1"
  check_controls normal expanded
  check_lists collapsed
  no_magenta "map expanded"
  ui_ok "Expand: type filters hidden, the four GPS labels shown, lists collapsed, File Open kept"

  # --- Full screen ----------------------------------------------------------------
  click "$IDC_FULL_SCREEN"
  ui_wait_for 5000 window_is "0 0 $SW $SH" || ui_fail "full screen window: $(window_rect)"
  ui_assert_eq "0 0 $SW $SH" "$(control_place "$IDC_CHANNEL1_SURFACE" "${MAIN[@]}")" "picture in full screen"
  ui_wait_for 3000 code_of "$IDC_CHANNEL1_SURFACE" >/dev/null || ui_fail "paused picture not shown in full screen"
  shown=$(ui children "${MAIN[@]}" | awk -F'\t' '$6 == 1 { print $2 }' | tr '\n' ' ')
  ui_assert_eq "$IDC_CHANNEL1_SURFACE " "$shown" "windows shown in full screen"
  no_magenta "full screen"
  ui_ok "full screen shows only the current picture"
  ui post "${MAIN[@]}" "$WM_ESCAPE_RELEASED"
  ui_wait_for 5000 window_is "$centred" || ui_fail "Escape: $(window_rect)"
  sleep 0.5
  check_controls normal expanded
  check_lists collapsed
  map_checks "0 0 1"
  ui_assert_eq 1 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE")" "picture back in the video area"
  ui_assert_eq "10 24 760 430" "$(control_place "$IDC_CHANNEL1_SURFACE" "${MAIN[@]}")" "picture place"
  ui_wait_for 3000 code_of "$IDC_CHANNEL1_SURFACE" >/dev/null || ui_fail "paused picture not shown after Escape"
  shows_image "$IDC_MAXIMIZE" "$IDB_MAXIMIZE_NORMAL" || ui_fail "maximise image after Escape"
  ui_assert_eq "60 30" "$(drag_background 500 12)" "drag after Escape"
  ui move "${MAIN[@]}" $(echo "$centred")
  ui_ok "Escape: every control back, the map still expanded, draggable"

  ui click "${MAIN[@]}" --id "$IDC_MAP_SHOW" --post
  sleep 0.5
  map_checks "0 1 0"
  check_controls normal shown
  check_lists 246
  code_of "$IDC_CHANNEL1_SURFACE" >/dev/null || ui_fail "paused picture lost by the map commands"
  ui_ok "Show after Expand: type filters back, GPS labels hidden, lists 246 high, the paused picture kept"
  # Everything repainted (as when the window is uncovered): the paused
  # picture stays on its surface.
  ui redraw "${MAIN[@]}"
  sleep 0.5
  code_of "$IDC_CHANNEL1_SURFACE" >/dev/null || ui_fail "paused picture lost by a repaint of the whole window"
  ui_ok "a repaint of the whole window keeps the paused picture"
  # The vehicle needs a fix at the paused position: on a slow first run the
  # pause can come before the recording's first fix, so it plays on (the
  # paused position is about 2 s of 40) until the map shows one.
  if ! ui_wait_for 3000 marker_shown; then
    click "$IDC_PLAY"
    ui_wait_for 25000 marker_shown || ui_fail "no vehicle on the map within 25 s of play ($(marker_pixels) pixels)"
    click "$IDC_PLAY"
    sleep 0.5
  fi
  ui click "${MAIN[@]}" --id "$IDC_MAP_HIDE" --post
  sleep 0.5
  ui click "${MAIN[@]}" --id "$IDC_MAP_SHOW" --post
  sleep 2  # the old page's last picture is not what is checked
  ui_wait_for 6000 marker_shown || ui_fail "vehicle not on the map page reloaded by Show while paused ($(marker_pixels) pixels)"
  maximise
  restore
  sleep 2
  ui_wait_for 6000 marker_shown || ui_fail "vehicle not on the map after Maximize and back while paused ($(marker_pixels) pixels)"
  ui_ok "paused: the vehicle is back on the map page reloaded by Show and by the mode changes"

  # Full screen entered from maximised, then Escape.
  maximise
  click "$IDC_FULL_SCREEN"
  ui_wait_for 5000 window_is "0 0 $SW $SH" || ui_fail "full screen from maximised"
  sleep 0.5
  shown=$(ui children "${MAIN[@]}" | awk -F'\t' '$6 == 1 { print $2 }' | tr '\n' ' ')
  ui_assert_eq "$IDC_CHANNEL1_SURFACE " "$shown" "windows shown in full screen from maximised"
  ui click "${MAIN[@]}" --id "$IDC_MAXIMIZE" --post  # hidden, and ignored in full screen
  sleep 0.5
  ui_assert_eq "0 0 $SW $SH" "$(window_rect)" "Maximize in full screen"
  ui post "${MAIN[@]}" "$WM_ESCAPE_RELEASED"
  ui_wait_for 5000 window_is "$centred" || ui_fail "Escape from full screen (entered maximised): $(window_rect)"
  sleep 0.5
  check_controls normal shown
  check_lists 246
  shows_image "$IDC_MAXIMIZE" "$IDB_MAXIMIZE_NORMAL" || ui_fail "maximise image after Escape (from maximised)"
  # Stopped, the speed cells are blank again: the pieces as at the start.
  click "$IDC_STOP"
  ui_wait_for 3000 not_visible "$IDC_CHANNEL1_SURFACE" || ui_fail "picture still shown after Stop"
  check_pieces "normal, after full screen"
  no_magenta "after full screen"
  ui post "${MAIN[@]}" "$WM_ESCAPE_RELEASED"  # outside full screen: nothing
  sleep 0.3
  ui_assert_eq "$centred" "$(window_rect)" "Escape in normal mode"
  ui_ok "full screen from maximised, Escape: the normal layout with the maximise image"

  # --- The card removed while maximised, and while in full screen ---------------
  maximise
  wine "$DRIVECTL" notify 'E:\' "$VIEWER_HWND" "$WM_DRIVE_NOTIFY" {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&- ||
    ui_fail "removal notification not delivered"
  ui_wait_for 5000 window_is "$centred" || ui_fail "card removed while maximised: $(window_rect)"
  sleep 0.5
  check_controls normal shown
  shows_image "$IDC_MAXIMIZE" "$IDB_MAXIMIZE_NORMAL" || ui_fail "maximise image after the card was removed"
  click "$IDC_FULL_SCREEN"
  ui_wait_for 5000 window_is "0 0 $SW $SH" || ui_fail "full screen: $(window_rect)"
  wine "$DRIVECTL" notify 'E:\' "$VIEWER_HWND" "$WM_DRIVE_NOTIFY" {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&- ||
    ui_fail "removal notification not delivered"
  ui_wait_for 5000 window_is "$centred" || ui_fail "card removed in full screen: $(window_rect)"
  sleep 0.5
  check_controls normal shown
  ui_ok "the card removed: back to normal mode from maximised and from full screen"
  ;;

narrow)
  start_viewer
  maximise
  check_controls maximised shown
  check_lists $((SH - 474))
  ui_assert_eq "28 $((SH - 261)) 571 9" "$(control_place "$IDC_POSITION_SLIDER" "${MAIN[@]}")" "position slider"
  check_pieces "maximised ${SW}x${SH}"
  no_magenta "maximised ${SW}x${SH}"
  restore
  check_controls normal shown
  ui_ok "maximised on ${SW}x${SH}: every control at its place, slider at x 28"
  ;;

small)
  start_viewer
  click "$IDC_MAXIMIZE"
  sleep 1
  ui_assert_eq "$centred" "$(window_rect)" "window after Maximize on ${SW}x${SH}"
  check_controls normal shown
  ui_ok "Maximize refused on ${SW}x${SH}"
  click "$IDC_FULL_SCREEN"
  ui_wait_for 5000 window_is "0 0 $SW $SH" || ui_fail "full screen: $(window_rect)"
  ui post "${MAIN[@]}" "$WM_ESCAPE_RELEASED"
  ui_wait_for 5000 window_is "$centred" || ui_fail "Escape: $(window_rect)"
  # The window has its place before the mode change has shown the controls.
  sleep 0.5
  check_controls normal shown
  ui_ok "full screen and back on ${SW}x${SH}"
  ;;

low)
  start_viewer
  click "$IDC_FULL_SCREEN"
  ui_wait_for 5000 window_is "0 0 $SW $SH" || ui_fail "full screen: $(window_rect)"
  sleep 1
  ui_assert_eq "0 0 $SW $SH" "$(window_rect)" "full screen on a screen lower than 720"
  ui post "${MAIN[@]}" "$WM_ESCAPE_RELEASED"
  ui_wait_for 5000 window_is "$centred" || ui_fail "Escape: $(window_rect)"
  ui_ok "full screen keeps a ${SW}x${SH} screen's size; Escape returns to 1090 x 720"
  ;;
esac
