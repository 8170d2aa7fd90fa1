#!/usr/bin/env bash
# The sensor readouts on screen against what the recording's own blocks imply
# (tools/sensordump over the blocks the authoring tool makes with the play
# file, at the position the viewer's slider shows): the labels (the GPS ones
# are hidden in the normal layout but keep their texts), the speed digits
# against the digit bitmaps, and the G-sensor graph's curves, cursor and
# background pixel by pixel, for an event recording with an impact spike
# (card E:); then a recording of the demo card (F:) read back second by
# second while it plays, a stretch without a fix included.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${READOUTS_CARDS_MAPPED:-}" != 1 ]; then
  card=$("$top/scripts/card" build --plan "$here/readouts_card.plan" --out "$top/build/test-cards/readouts") || exit 1
  demo=$("$top/scripts/card" build) || exit 1
  READOUTS_CARDS_MAPPED=1 READOUTS_CARD=$card DEMO_CARD=$demo exec "$top/scripts/card" run --letter E --card "$card" -- \
    "$top/scripts/card" run --letter F --card "$demo" -- bash "$0"
fi

. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
. "$here/playback.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/readouts.XXXXXX")
trap 'viewer_end; rm -rf "$work"' EXIT
art=$(dirname "$UIDRIVER")/../../resources/art
[ -f "$art/285.bmp" ] || ui_fail "no rendered skin bitmaps in $art"
cardtool=$("$top/scripts/card" tool)
cmake --build "$top/build/cardtool" --target sensordump >/dev/null || ui_fail "sensordump not built"
sensordump=$top/build/cardtool/tools/sensordump/sensordump

# The blocks of recording $2 on card $1, as the library hands them over, into
# $work/$2.gs and $work/$2.gps.
blocks_of() {
  "$cardtool" play "$1" "$2" "$work" "$work/$2.gs" "$work/$2.gps" >/dev/null || ui_fail "blocks of $2"
  rm -f "$work/$2"
}
# Field $2 (1-based, tab separated) of line $1.
field() { cut -f"$2" <<<"$1"; }

# The screen, and pixels of it as "X Y RRGGBB" lines for a client rectangle
# of the main window (X, Y relative to that rectangle).
# (The window's place is read with each shot: it is centred after it shows.)
client_origin() { read -r cl ct _ _ _ ch < <(ui client-rect "${MAIN[@]}"); }
shot() {
  client_origin
  ui_shot "$work/shot.png"
}
pixels() {  # x y w h (client) -> lines "X Y RRGGBB"
  convert "$work/shot.png" -crop "$3x$4+$((cl + $1))+$((ct + $2))" +repage txt:- |
    sed -n 's/^\([0-9]*\),\([0-9]*\):.*#\([0-9A-Fa-f]\{6\}\).*/\1 \2 \3/p'
}

# The speed digit cells as drawn from the bitmaps: bitmap numbers for mph $1.
cells_for() {
  local m=$1 h t u
  h=$((m / 100)) t=$((m / 10 % 10)) u=$((m % 10))
  [ "$h" -gt 9 ] && h=0
  local c1=285 c2=285 c3=285
  [ $((m / 100)) -ne 0 ] && c1=$((286 + h))
  [ $((m / 100)) -ne 0 ] || [ "$t" -ne 0 ] && c2=$((286 + t))
  [ "$m" -ne 0 ] && c3=$((286 + u))
  echo "$c1 $c2 $c3"
}
# The three cells on the screen (from the last shot) against bitmaps $1 $2 $3.
speed_cells_are() {
  local i=0 n bad
  for n in "$@"; do
    convert "$work/shot.png" -crop "24x34+$((cl + 37 + 24 * i))+$((ct + ch - 242))" +repage "$work/cell.png"
    bad=$(compare -metric AE "$work/cell.png" "$art/$n.bmp" null: 2>&1)
    [ "$bad" = 0 ] || { echo "cell $i: $bad pixels differ from bitmap $n" >&2; return 1; }
    i=$((i + 1))
  done
}

# The labels the readouts write, as one tab-separated line in sensordump's
# order: TIME LAT LNG X Y Z.
labels_now() {
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$(label "$IDC_GPS_TIME")" "$(label "$IDC_GPS_LATITUDE")" \
    "$(label "$IDC_GPS_LONGITUDE")" "$(label "$IDC_GSENSOR_X")" "$(label "$IDC_GSENSOR_Y")" "$(label "$IDC_GSENSOR_Z")"
}
expected_labels() {  # a sensordump tick line
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$(field "$1" 3)" "$(field "$1" 4)" "$(field "$1" 5)" "$(field "$1" 9)" \
    "$(field "$1" 10)" "$(field "$1" 11)"
}

viewer_fresh
ui_server_start
viewer_start
viewer_file_open 0
event=$(viewer_names "$IDC_FILE_LIST" | head -n1)
ui_assert_match '^R_240706_120000_E1\.avi$' "$event" "the event recording"
blocks_of "$READOUTS_CARD" "$event"

# --- Paused after the impact: labels, speed and graph from the blocks --------------
viewer_double_click_row "$IDC_FILE_LIST" 0
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "the event recording does not play"
ui_wait_for 15000 label_matches "$IDC_ELAPSED" '^00:(0[89]|1[0-9]) /$' || ui_fail "no playback past 8 s"
ui_click_ctl "${MAIN[@]}" --id "$IDC_PLAY"
sleep 0.8
pos=$(slider_pos) dur=$(slider_max)
[ "$pos" -gt 7000 ] || ui_fail "position $pos after pausing"
ui_assert_eq 20000 "$dur" "slider range of the 20 s recording"
out=$("$sensordump" "$work/$event.gps" "$work/$event.gs" "$dur" "$pos")
want=$(sed -n 2p <<<"$out")
ui_assert_eq "$(field "$(sed -n 1p <<<"$out")" 2)" "$(label "$IDC_TIME_RANGE")" "time range"
ui_assert_eq "$(expected_labels "$want")" "$(labels_now)" "labels at $pos ms (time, lat, lng, X, Y, Z)"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_GPS_TIME")" "GPS time label shown in the normal layout"
mph=$(field "$want" 8) cursor=$(field "$want" 12)
shot
# shellcheck disable=SC2046
speed_cells_are $(cells_for "$mph") || ui_fail "speed digits for $mph mph"
ui_ok "labels and speed digits ($mph mph) at $pos ms are the blocks' own"

# The graph: every pixel the drawing fixes, and the background elsewhere.
read -r gl gt _ _ gw gh < <(ui rect "${MAIN[@]}" --id "$IDC_GSENSOR_GRAPH")
ui_assert_eq "630 108" "$gw $gh" "graph size"
gx=$((gl - cl)) gy=$((gt - ct))
"$sensordump" --graph "$work/$event.gs" "$dur" "$cursor" > "$work/graph.want"
pixels "$gx" "$gy" 630 108 > "$work/graph.shown"
convert "$art/229.bmp" txt:- | sed -n 's/^\([0-9]*\),\([0-9]*\):.*#\([0-9A-Fa-f]\{6\}\).*/\1 \2 \3/p' > "$work/graph.back"
spike=$(awk '$1 == "PIXEL" && $4 == 250 && $5 == 0 && $6 == 250 && ($3 < 40 || $3 > 68)' "$work/graph.want" | wc -l)
[ "$spike" -gt 0 ] || ui_fail "no impact spike in the expected X curve"
check_graph() {
  awk -v what="$1" 'FILENAME == ARGV[1] { shown[$1 " " $2] = toupper($3); next }
       FILENAME == ARGV[2] { back[$1 " " $2] = toupper($3); next }
       $1 == "PIXEL" { want = sprintf("%02X%02X%02X", $4, $5, $6); k = $2 " " $3; n++
                       if (shown[k] != want) { bad++; if (bad <= 5) printf "%s: pixel %s shows %s, want %s\n", what, k, shown[k], want > "/dev/stderr" } }
       $1 == "BACK"  { k = $2 " " $3; m++
                       if (shown[k] != back[k]) { bad++; if (bad <= 5) printf "%s: background %s shows %s, want %s\n", what, k, shown[k], back[k] > "/dev/stderr" } }
       END { printf "%d %d %d\n", n, m, bad; exit bad > 0 }' "$work/graph.shown" "$work/graph.back" "$work/graph.want"
}
counts=$(check_graph "paused") || ui_fail "graph pixels (curve, background, wrong): $counts"
read -r ncurve nback _ <<<"$counts"
[ "$ncurve" -gt 100 ] && [ "$nback" -gt 1000 ] || ui_fail "too few graph pixels checked: $counts"
ui_assert_match '^[0-9]+$' "$(awk '$1 == "CURSOR" { print $2 }' "$work/graph.want")" "cursor column"
ui_ok "graph: $ncurve curve and cursor pixels, $nback background pixels as the blocks imply (cursor at $cursor ms)"

# Stop: the readouts reset, the graph is its background picture alone.
ui_click_ctl "${MAIN[@]}" --id "$IDC_STOP"
ui_wait_for 3000 label_matches "$IDC_GSENSOR_X" '^X : 0\.0000$' || ui_fail "X after Stop: $(label "$IDC_GSENSOR_X")"
sleep 0.5
shot
convert "$work/shot.png" -crop "630x108+$gl+$gt" +repage "$work/graph.png"
ui_assert_eq 0 "$(compare -metric AE "$work/graph.png" "$art/229.bmp" null: 2>&1)" "graph pixels after Stop differing from its background"
speed_cells_are 285 285 285 || ui_fail "speed cells after Stop"
ui_ok "Stop: an empty graph and blank speed cells"

# --- A demo card recording read back about once a second ---------------------------------
viewer_file_open 1
name=R_240612_080003_N1.avi   # 20 s, no fix in seconds 4 to 6
row=$(viewer_show_recording "$name")
blocks_of "$DEMO_CARD" "$name"
viewer_double_click_row "$IDC_FILE_LIST" "$row"
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "$name does not play"
dur=$(slider_max)
seen=() shown_labels=() shots=() nofix=0
# About once a second: pause, read the labels and the screen at the slider's
# position (the last tick's), go on.
for k in $(seq 30); do
  sleep 0.7
  ui click "${MAIN[@]}" --id "$IDC_PLAY" --post
  sleep 0.3
  p=$(slider_pos)
  [ "$p" -lt $((dur - 1500)) ] || break
  seen+=("$p") shown_labels+=("$(labels_now)")
  shot
  mv "$work/shot.png" "$work/shot$k.png"
  shots+=("$work/shot$k.png $cl $ct $ch")
  ui click "${MAIN[@]}" --id "$IDC_PLAY" --post
done
# The digit bitmap each cell of a shot shows ("?" for none).
cells_shown() {  # shot cl ct ch
  local i n c=""
  for i in 0 1 2; do
    convert "$1" -crop "24x34+$(($2 + 37 + 24 * i))+$(($3 + $4 - 242))" +repage "$work/c.png"
    for n in 285 286 287 288 289 290 291 292 293 294 295; do
      [ "$(compare -metric AE "$work/c.png" "$art/$n.bmp" null: 2>&1)" = 0 ] && { c+="$n "; continue 2; }
    done
    c+="? "
  done
  echo "${c% }"
}
[ "${#seen[@]}" -ge 8 ] || ui_fail "only ${#seen[@]} readings while playing"
out=$("$sensordump" "$work/$name.gps" "$work/$name.gs" "$dur" "${seen[@]}")
for i in "${!seen[@]}"; do
  want=$(sed -n "$((i + 2))p" <<<"$out")
  ui_assert_eq "$(expected_labels "$want")" "${shown_labels[$i]}" "labels at ${seen[$i]} ms"
  # shellcheck disable=SC2086
  ui_assert_eq "$(cells_for "$(field "$want" 8)")" "$(cells_shown ${shots[$i]})" "speed cells at ${seen[$i]} ms ($(field "$want" 8) mph)"
  [ "$(field "$want" 4)" = "0.00000" ] && nofix=$((nofix + 1))
done
ui_ok "${#seen[@]} readings of $name match its blocks ($nofix without a fix); the map texts have no window to show them yet"
