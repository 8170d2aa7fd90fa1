#!/usr/bin/env bash
# Playback as a user drives it, on a card of short recordings mapped as E:
# a double click plays (the picture's frame code advances, the elapsed label,
# the slider and the sensor readouts follow); Play pauses and resumes; the
# slider seeks; the end of a recording of 11 s or more advances to the next
# row, whose play file was prepared 5 s in; a 10 s recording prepares nothing;
# Stop hides the picture and resets the readouts; Next and Previous wrap; the
# end of the last row stops; a photo is shown with the controls off; refused
# letters give their message; a stream cut short plays what it holds; the
# program folder never keeps more play files than the open one and a finished
# prefetch; the card is left as it was.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${PLAYBACK_CARD_MAPPED:-}" != 1 ]; then
  card=$(mktemp -d "${TMPDIR:-/tmp}/playback-card.XXXXXX")
  "$top/scripts/card" build --plan "$here/playback_card.plan" --out "$card" >/dev/null || exit 1
  rc=0
  PLAYBACK_CARD_MAPPED=1 PLAYBACK_CARD=$card "$top/scripts/card" run --letter E --card "$card" -- bash "$0" || rc=$?
  rm -rf "$card"
  exit $rc
fi

. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
. "$here/playback.sh"
trap 'viewer_end' EXIT

# The card as the viewer sees it, to compare at the end.
card_sum=$(card_checksum)

viewer_fresh
ui_server_start
rm -f "$VIEWER_DIR"/*.avi
viewer_start
viewer_file_open
first=$(viewer_show_recording R_240701_100000_N1.avi)
ui_assert_eq 0 "$first" "row of the first recording"
ui_assert_eq 8 "$(ui lv-count "${MAIN[@]}" --id "$IDC_FILE_LIST")" "rows of the hour"

# --- A double click plays ---------------------------------------------------
viewer_double_click_row "$IDC_FILE_LIST" 0
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "no picture after the double click"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface while channel 1 shows"
ui_assert_eq 12000 "$(slider_max)" "slider range of a 12 s recording"
ui_assert_eq "00:12" "$(label "$IDC_DURATION")" "duration label"
f1=$(frame_of "$IDC_CHANNEL1_SURFACE")
sleep 1.2
f2=$(frame_of "$IDC_CHANNEL1_SURFACE")
[ "$f2" -gt "$f1" ] || ui_fail "frame code did not advance: $f1 then $f2"
ui_wait_for 3000 label_matches "$IDC_ELAPSED" '^00:0[1-9] /$' || ui_fail "elapsed label: $(label "$IDC_ELAPSED")"
[ "$(slider_pos)" -gt 0 ] || ui_fail "slider did not move"
# The readouts: this second's fix (the card writes UTC; shown 9 h later), G-sensor values.
ui_assert_match '^2024-07-01 10:00:0[0-9]$' "$(label "$IDC_GPS_TIME")" "GPS time label (the card's UTC + 9 h)"
ui_assert_match '^0?3[0-9]{3}\.[0-9]{5}$' "$(label "$IDC_GPS_LATITUDE")" "latitude label (Seoul, ddmm.mmmmm)"
ui_assert_match '^12[0-9]{3}\.[0-9]{5}$' "$(label "$IDC_GPS_LONGITUDE")" "longitude label"
ui_assert_match '^2024-07-01 10:00:0[0-9] / 2024-07-01 10:00:1[0-9]$' "$(label "$IDC_TIME_RANGE")" "time range"
ui_assert_match '^X : [+-][0-9]+\.[0-9]{4}$' "$(label "$IDC_GSENSOR_X")" "X readout"
ui_ok "a double click plays with its readouts"

# --- Pause and resume ----------------------------------------------------------
ui click "${MAIN[@]}" --id "$IDC_PLAY" --post
sleep 0.6
p1=$(frame_of "$IDC_CHANNEL1_SURFACE"); e1=$(label "$IDC_ELAPSED")
sleep 1.2
ui_assert_eq "$p1" "$(frame_of "$IDC_CHANNEL1_SURFACE")" "frame while paused"
ui_assert_eq "$e1" "$(label "$IDC_ELAPSED")" "elapsed label while paused"
ui click "${MAIN[@]}" --id "$IDC_PLAY" --post
sleep 1.2
[ "$(frame_of "$IDC_CHANNEL1_SURFACE")" -gt "$p1" ] || ui_fail "frame did not advance after resuming"
ui_ok "Play pauses and resumes"

# --- Seeking with the slider ---------------------------------------------------
slider_drag_to 0.25
ui_wait_for 3000 frame_between "$IDC_CHANNEL1_SURFACE" 25 45 ||
  ui_fail "frame after dragging to a quarter: $(frame_of "$IDC_CHANNEL1_SURFACE")"
ui_ok "dragging the slider seeks"

# --- The prefetch: the next row's play file appears 5 s in; the end advances ---
ui_wait_for 9000 test -s "$VIEWER_DIR/R_240701_100100_N1.avi" || ui_fail "next row not prepared"
play_files_at_most 2
ui_wait_for 12000 label_matches "$IDC_DURATION" '^00:10$' || ui_fail "no advance to the 10 s recording"
t_adv=$(ui_now_ms)
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "no picture after the advance"
ui_assert_eq 1 "$(ui lv-selected "${MAIN[@]}" --id "$IDC_FILE_LIST" | head -n1)" "selected row after the advance"
# The finished recording's play file goes once the next one's picture is up
# (at its first tick, 300 ms in).
ui_wait_for 2000 eval '[ ! -e "$VIEWER_DIR/R_240701_100000_N1.avi" ]' ||
  ui_fail "the finished recording's play file is still there"
ui_ok "the end of a 12 s recording opens the prepared next row"

# A 10 s recording prepares nothing.
sleep 7
ui_assert_eq "R_240701_100100_N1.avi" "$(cd "$VIEWER_DIR" && ls *.avi 2>/dev/null | tr '\n' ' ' | xargs)" \
  "play files while a 10 s recording plays"
ui_ok "a 10 s recording prepares no next row"

# --- Stop ------------------------------------------------------------------------
ui click "${MAIN[@]}" --id "$IDC_STOP" --post
ui_wait_for 3000 not_visible "$IDC_CHANNEL1_SURFACE" || ui_fail "picture still shown after Stop"
ui_assert_eq "00:00 /" "$(label "$IDC_ELAPSED")" "elapsed after Stop"
ui_assert_eq "00:00" "$(label "$IDC_DURATION")" "duration after Stop"
ui_assert_eq "X : 0.0000" "$(label "$IDC_GSENSOR_X")" "X after Stop"
ui_assert_eq "0000-00-00 00:00:00" "$(label "$IDC_GPS_TIME")" "GPS time after Stop"
ui_assert_eq "000000" "$(label "$IDC_GPS_LATITUDE")" "latitude after Stop"
ui_assert_eq 0 "$(slider_pos)" "slider after Stop"
ui_ok "Stop hides the picture and resets the readouts"

# --- A photo --------------------------------------------------------------------
viewer_double_click_row "$IDC_FILE_LIST" 3
ui_wait_for 5000 photo_shown || ui_fail "photo surface not shown"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE")" "channel surface with a photo"
ui_assert_eq 0 "$(ui enabled "${MAIN[@]}" --id "$IDC_PLAY")" "Play with a photo"
ui_assert_eq 0 "$(ui enabled "${MAIN[@]}" --id "$IDC_STOP")" "Stop with a photo"
ui_assert_eq 0 "$(slider_max)" "slider range with a photo"
ui_assert_eq "" "$(cd "$VIEWER_DIR" && ls *.jpg 2>/dev/null)" "photo file left in the program folder"
ui_ok "a photo is shown with the playback controls off"

# --- Refused letters -------------------------------------------------------------
for row in 4 5; do
  viewer_double_click_row "$IDC_FILE_LIST" "$row"
  notify_wait 'Selected video file have an defect.'
  ui_assert_eq "Playback failed2" "$(ui text "${NOTIFY[@]}" --id "$IDC_NOTIFY_TITLE")" "title for row $row"
  ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
  ui wait-gone "${NOTIFY[@]}" --timeout 5000 >/dev/null || ui_fail "message stayed"
done
ui_ok "letters the player does not take are refused with their message"

# --- No GPS at all: the readouts stay reset, the picture plays ---------------------
viewer_double_click_row "$IDC_FILE_LIST" 6
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "no picture for the recording without GPS"
sleep 1.5
ui_assert_eq "0000-00-00 00:00:00" "$(label "$IDC_GPS_TIME")" "GPS time without a fix"
ui_ok "a recording without a fix plays with the GPS readouts reset"

# --- Next and Previous wrap; the last row's end stops -------------------------------
ui click "${MAIN[@]}" --id "$IDC_NEXT" --post      # 6 -> 7 (cut short)
ui_wait_for 8000 label_matches "$IDC_DURATION" '^00:(0[5-9]|1[0-9])$' ||
  ui_fail "cut recording: duration $(label "$IDC_DURATION")"
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "the cut recording does not play"
ui_ok "a stream cut short plays what it holds ($(label "$IDC_DURATION"))"
ui click "${MAIN[@]}" --id "$IDC_NEXT" --post      # 7 -> 0: wraps
ui_wait_for 8000 label_matches "$IDC_DURATION" '^00:12$' || ui_fail "Next on the last row: $(label "$IDC_DURATION")"
ui_assert_eq 0 "$(ui lv-selected "${MAIN[@]}" --id "$IDC_FILE_LIST" | head -n1)" "row after Next on the last"
ui click "${MAIN[@]}" --id "$IDC_PREVIOUS" --post  # 0 -> 7: wraps
ui_wait_for 8000 label_matches "$IDC_DURATION" '^00:(0[5-9]|1[0-9])$' || ui_fail "Previous on the first row"
ui_assert_eq 7 "$(ui lv-selected "${MAIN[@]}" --id "$IDC_FILE_LIST" | head -n1)" "row after Previous on the first"
ui_ok "Next and Previous wrap"
# The end of the last row stops instead of wrapping.
ui_wait_for 25000 not_visible "$IDC_CHANNEL1_SURFACE" || ui_fail "the last row's end did not stop"
sleep 1
ui_assert_eq "00:00" "$(label "$IDC_DURATION")" "duration after the last row ended"
ui_assert_eq 7 "$(ui lv-selected "${MAIN[@]}" --id "$IDC_FILE_LIST" | head -n1)" "row after the last row ended"
ui_ok "the end of the last row stops"
play_files_at_most 2

# --- A recording cut before its first picture: its message, no surface left shown ------
row=$(viewer_show_recording R_240701_110000_N1.avi)
viewer_double_click_row "$IDC_FILE_LIST" "$row"
notify_wait 'Selected video file have an defect.'
ui_assert_eq "Playback failed3" "$(ui text "${NOTIFY[@]}" --id "$IDC_NOTIFY_TITLE")" "title for the cut recording"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE")" "channel 1 surface under the message"
ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
ui wait-gone "${NOTIFY[@]}" --timeout 5000 >/dev/null || ui_fail "message stayed"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE")" "channel 1 surface after the failed open"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface after the failed open"
ui_ok "a recording with no picture is refused with its message and leaves no surface shown"

# --- The card is untouched ------------------------------------------------------------
viewer_end
ui_assert_eq "$card_sum" "$(card_checksum)" "card contents"
ui_ok "the card is byte for byte as before"
