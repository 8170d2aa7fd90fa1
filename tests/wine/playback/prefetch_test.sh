#!/usr/bin/env bash
# The next-recording prefetch and the card's removal as the window shows them,
# on a card whose second row takes the library about a second to make:
# Next pressed while the prefetch makes its file keeps the busy window up and
# opens the next row with the prefetched file and blocks when the make ends;
# the automatic advance plays the prefetched file as it was made; a double
# click on another row while the prefetch makes its file, and Previous, stop
# the make; removing the card while a recording plays, and while the prefetch
# makes its file, resets the window (lists, buttons, picture, readouts,
# mirror and flip) without a crash. After each of these the program folder
# holds at most the open play file and a finished prefetch, no temporary file
# of a make, and every play file in it is a whole AVI file.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${PREFETCH_CARD_MAPPED:-}" != 1 ]; then
  card=$("$top/scripts/card" build --plan "$here/prefetch_card.plan" --out "$top/build/test-cards/prefetch") || exit 1
  PREFETCH_CARD_MAPPED=1 PREFETCH_CARD=$card exec "$top/scripts/card" run --letter E --card "$card" -- bash "$0"
fi

. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
. "$here/playback.sh"
DRIVECTL=${DRIVECTL:?set by CTest}
# The stand-in library reads the card at the speed of a real one (100 MB/s):
# row 1's play file takes it about 2.5 s to make.
export KRVLIB_CARD_MBPS=100
trap 'viewer_end' EXIT

cardtool=$("$top/scripts/card" tool)
names=()
while read -r _ _ _ _ _ name; do names+=("$name"); done < <("$cardtool" list "$PREFETCH_CARD")
ui_assert_eq 4 "${#names[@]}" "recordings on the card"
n0=${names[0]} n1=${names[1]} n2=${names[2]} n3=${names[3]}

# A whole AVI file: "RIFF", its size field 8 less than the file's size (the
# library writes the header last), "AVI " and the index chunk at the end.
avi_whole() {
  local f=$1 size riff
  size=$(stat -c %s "$f") || return 1
  [ "$(head -c 4 "$f")" = RIFF ] && [ "$(dd if="$f" bs=1 skip=8 count=4 2>/dev/null)" = "AVI " ] || return 1
  riff=$(od -An -tu4 -j4 -N4 "$f" | tr -d ' ')
  [ $((riff + 8)) -eq "$size" ]
}

# The program folder holds at most two play files (the open one and a
# finished prefetch), no temporary file of a make, and only whole files.
files_ok() {
  local what=$1 f n=0 known
  ls "$VIEWER_DIR"/*.part >/dev/null 2>&1 && ui_fail "$what: temporary make file left: $(cd "$VIEWER_DIR" && ls ./*.part)"
  for f in "$VIEWER_DIR"/*.avi; do
    [ -e "$f" ] || continue
    n=$((n + 1))
    known=$(printf '%s\n' "${names[@]}" | grep -cx "$(basename "$f")")
    [ "$known" = 1 ] || ui_fail "$what: play file of no recording: $f"
    avi_whole "$f" || ui_fail "$what: $(basename "$f") is not a whole AVI file ($(stat -c %s "$f") bytes)"
  done
  [ "$n" -le 2 ] || ui_fail "$what: $n play files: $(cd "$VIEWER_DIR" && ls ./*.avi | xargs)"
}
# Waits until the library is making the play file of $1 (its temporary file
# is there, the play file not yet).
making() { [ -e "$VIEWER_DIR/$1.part" ] && [ ! -e "$VIEWER_DIR/$1" ]; }
make_under_way() { UI_POLL_MS=10 ui_wait_for "${2:-12000}" making "$1" || ui_fail "no make of $1 seen"; }
inode() { stat -c '%i %Y' "$VIEWER_DIR/$1" 2>/dev/null; }
# The busy window: the loading dialog, a visible top-level #32770 of 100 x 100
# (the only visible dialog of the viewer while it waits).
busy_shown() {
  local h
  h=$(ui find --class '#32770' --visible 2>/dev/null) || return 1
  [ "$(ui rect --hwnd "$h" | cut -d' ' -f5,6)" = "100 100" ]
}
busy_gone() { ! busy_shown; }
screen_point() { ui rect "${MAIN[@]}" --id "$1" | awk '{ print int(($1 + $3) / 2), int(($2 + $4) / 2) }'; }
selected_row() { local s; s=$(ui lv-selected "${MAIN[@]}" --id "$IDC_FILE_LIST"); echo "${s%%$'\n'*}"; }
row_selected_is() { [ "$(selected_row)" = "$1" ]; }
open_card() {
  viewer_file_open
  ui_assert_eq 4 "$(ui lv-count "${MAIN[@]}" --id "$IDC_FILE_LIST")" "rows of the card"
}
# The window as the card's removal leaves it.
assert_reset() {
  local what=$1 id
  for id in "$IDC_DATE_LIST" "$IDC_HOUR_LIST" "$IDC_FILE_LIST" "$IDC_EVENT_LIST"; do
    ui_assert_eq 0 "$(ui lv-count "${MAIN[@]}" --id "$id")" "$what: rows of list $id"
  done
  for id in "$IDC_PLAY" "$IDC_STOP" "$IDC_PREVIOUS" "$IDC_NEXT" "$IDC_SAVE" "$IDC_PRINT" "$IDC_MIRROR" "$IDC_FLIP" "$IDC_CHANNEL_VIEW"; do
    ui_assert_eq 0 "$(ui enabled "${MAIN[@]}" --id "$id")" "$what: button $id enabled"
  done
  ui_assert_eq "0 0" "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE") $(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "$what: surfaces shown"
  ui_assert_eq "0 0 0" "$(ui checked "${MAIN[@]}" --id "$IDC_MIRROR") $(ui checked "${MAIN[@]}" --id "$IDC_FLIP") $(ui checked "${MAIN[@]}" --id "$IDC_CHANNEL_VIEW")" \
    "$what: Mirror, Flip and the view toggle checked"
  ui_assert_eq "X : 0.0000|Y : 0.0000|Z : 0.0000" "$(label "$IDC_GSENSOR_X")|$(label "$IDC_GSENSOR_Y")|$(label "$IDC_GSENSOR_Z")" "$what: G-sensor readouts"
  ui_assert_eq "0000-00-00 00:00:00|000000|000000" "$(label "$IDC_GPS_TIME")|$(label "$IDC_GPS_LATITUDE")|$(label "$IDC_GPS_LONGITUDE")" "$what: GPS readouts"
  ui_assert_eq "0000-00-00 00:00:00 / 0000-00-00 00:00:00" "$(label "$IDC_TIME_RANGE")" "$what: time range"
  ui_assert_eq "00:00 /|00:00" "$(label "$IDC_ELAPSED")|$(label "$IDC_DURATION")" "$what: time labels"
  ui_assert_eq 0 "$(slider_pos)" "$what: position slider"
  ui_assert_eq 1 "$(viewer_count)" "$what: viewer processes"
}
remove_card() {
  wine "$DRIVECTL" remove E "$(ui find "${MAIN[@]}")" "$WM_DRIVE_NOTIFY" || ui_fail "removal not delivered"
}
reinsert_card() { wine "$DRIVECTL" define E "$mnt" removable || ui_fail "card not mapped again"; }

viewer_fresh
ui_server_start
mnt=$(readlink -f "$WINEPREFIX/dosdevices/e:")
rm -f "$VIEWER_DIR"/*.avi "$VIEWER_DIR"/*.part
viewer_start
open_card
ui_assert_eq "$n0" "$(viewer_names "$IDC_FILE_LIST" | head -n1)" "first row"
read -r next_x next_y < <(screen_point "$IDC_NEXT")

# --- Next while the prefetch makes its file ------------------------------------
viewer_double_click_row "$IDC_FILE_LIST" 0
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 0 does not play"
make_under_way "$n1"
ui_click_at "$next_x" "$next_y"
ui_wait_for 2000 busy_shown || ui_fail "no busy window while Next waits for the prefetch"
# Still making: Next came while the prefetch ran, and the busy window waits.
making "$n1" || ui_fail "the make of row 1 ended before the busy window was seen (too fast to tell)"
ui_wait_for 15000 test -s "$VIEWER_DIR/$n1" || ui_fail "the prefetch did not finish"
made1=$(inode "$n1")
playing_wait "$IDC_CHANNEL1_SURFACE" 15000 || ui_fail "row 1 does not play after the prefetch"
ui_wait_for 3000 busy_gone || ui_fail "busy window stayed after row 1 opened"
ui_assert_eq 1 "$(selected_row)" "selected row after Next"
ui_assert_eq "01:01" "$(label "$IDC_DURATION")" "duration of row 1 (60 s, two channels)"
ui_assert_eq "$made1" "$(inode "$n1")" "row 1's play file: the prefetched one, not made again"
# The prefetched blocks are row 1's: its time range and, a second in, its readouts.
ui_assert_match '^2024-07-05 10:01:0[0-9] / 2024-07-05 10:01:5[0-9]$' "$(label "$IDC_TIME_RANGE")" "time range of row 1"
ui_wait_for 3000 label_matches "$IDC_GPS_TIME" '^2024-07-05 10:01:0[0-9]$' || ui_fail "GPS time of row 1: $(label "$IDC_GPS_TIME")"
[ "$(label "$IDC_GSENSOR_X")" != "X : 0.0000" ] || ui_fail "no G-sensor readout for row 1"
files_ok "after Next over the prefetch"
ui_ok "Next during the prefetch: busy window up, row 1 opens with the prefetched file when the make ends"

# --- The automatic advance plays the prefetched file ----------------------------------
viewer_double_click_row "$IDC_FILE_LIST" 2
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 2 does not play"
ui_wait_for 9000 test -s "$VIEWER_DIR/$n3" || ui_fail "row 3 not prepared"
made3=$(inode "$n3")
files_ok "row 3 prepared"
ui_wait_for 12000 row_selected_is 3 ||
  ui_fail "no advance to row 3"
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 3 does not play after the advance"
ui_assert_eq "$made3" "$(inode "$n3")" "row 3's play file: the prefetched one"
ui_assert_match '^2024-07-05 10:03:0[0-9] / 2024-07-05 10:03:1[0-9]$' "$(label "$IDC_TIME_RANGE")" "time range of row 3"
ui_wait_for 2000 eval '[ ! -e "$VIEWER_DIR/$n2" ]' || ui_fail "row 2's play file still there after the advance"
files_ok "after the advance"
ui_ok "the automatic advance plays the prefetched file"

# --- A double click on another row, and Previous, while the prefetch makes its file ---
viewer_double_click_row "$IDC_FILE_LIST" 0
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 0 does not play"
make_under_way "$n1"
viewer_double_click_row "$IDC_FILE_LIST" 2
ui_wait_for 8000 row_selected_is 2 ||
  ui_fail "row 2 not opened"
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 2 does not play"
sleep 1
ui_assert_eq "" "$(ls "$VIEWER_DIR/$n1" "$VIEWER_DIR/$n1.part" 2>/dev/null)" "row 1's files after the double click stopped its make"
files_ok "after a double click during the prefetch"
# Previous from row 0 during its prefetch: to row 3 (the wrap), the make stopped.
viewer_double_click_row "$IDC_FILE_LIST" 0
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 0 does not play again"
make_under_way "$n1"
ui_click_ctl "${MAIN[@]}" --id "$IDC_PREVIOUS"
ui_wait_for 8000 row_selected_is 3 ||
  ui_fail "Previous on row 0 did not open row 3"
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 3 does not play after Previous"
sleep 1
ui_assert_eq "" "$(ls "$VIEWER_DIR/$n1" "$VIEWER_DIR/$n1.part" 2>/dev/null)" "row 1's files after Previous stopped its make"
files_ok "after Previous during the prefetch"
ui_ok "a double click and Previous during the prefetch stop its make; nothing half made is left"

# --- The card removed while a two-channel recording plays, channel 2 mirrored and flipped ---
viewer_double_click_row "$IDC_FILE_LIST" 1
playing_wait "$IDC_CHANNEL1_SURFACE" 15000 || ui_fail "row 1 does not play"
ui_click_ctl "${MAIN[@]}" --id "$IDC_CHANNEL_VIEW"
ui_wait_for 3000 surface_visible "$IDC_CHANNEL2_SURFACE" || ui_fail "channel 2 not shown"
ui_click_ctl "${MAIN[@]}" --id "$IDC_MIRROR"
ui_click_ctl "${MAIN[@]}" --id "$IDC_FLIP"
ui_wait_for 4000 flags_are "$IDC_CHANNEL2_SURFACE" "2 1 1" || ui_fail "channel 2 not mirrored and flipped: $(code_flags "$IDC_CHANNEL2_SURFACE")"
ui_wait_for 3000 label_matches "$IDC_GPS_TIME" '^2024-07-05' || ui_fail "no GPS readout before the removal"
remove_card
sleep 0.5
assert_reset "removal while playing"
files_ok "after the removal while playing"
sleep 1.5
ui_assert_eq "0 0" "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE") $(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "surfaces a while after the removal"
ui_ok "the card removed while playing: the window is reset"

# --- The card removed while the prefetch makes its file -----------------------------------
reinsert_card
open_card
viewer_double_click_row "$IDC_FILE_LIST" 0
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row 0 does not play after the card came back"
make_under_way "$n1"
remove_card
sleep 0.5
assert_reset "removal during the prefetch"
sleep 2
files_ok "after the removal during the prefetch"
ui_assert_eq "" "$(ls "$VIEWER_DIR/$n1" 2>/dev/null)" "row 1's play file after the removal stopped its make"
ui_ok "the card removed during the prefetch: the window is reset, the make stopped"

# The window still works: the card back, a recording plays.
reinsert_card
open_card
viewer_double_click_row "$IDC_FILE_LIST" 2
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "nothing plays after the removals"
files_ok "playing after the removals"
ui_ok "the viewer plays again after the removals"
