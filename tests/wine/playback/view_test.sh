#!/usr/bin/env bash
# The channel view, mirror and flip as a user drives them, read back from the
# frame code burnt into the picture on screen (frame, channel, mirrored,
# flipped): the view toggle shows channel 2 and back; Mirror and Flip turn
# channel 2's picture over and do nothing while stopped or while channel 1
# is shown; a one-channel recording disables the toggle and comes up in
# channel 1, and so does a photo; the states survive a restart through
# mirror.ini only when the window is closed with its close button and the
# user confirms; a stored 5 counts as on and the first click turns it off.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${VIEW_CARD_MAPPED:-}" != 1 ]; then
  card=$("$top/scripts/card" build --plan "$here/view_card.plan" --out "$top/build/test-cards/view") || exit 1
  VIEW_CARD_MAPPED=1 exec "$top/scripts/card" run --letter E --card "$card" -- bash "$0"
fi

. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
. "$here/playback.sh"
# The viewer runs from a copy of the program folder, so that its mirror.ini
# is this test's own.
prog=$(program_copy)
trap 'viewer_end; rm -rf "$prog"' EXIT
ini=$prog/mirror.ini

two=0 one=1 photo=2
toggle() { ui_click_ctl "${MAIN[@]}" --id "$IDC_CHANNEL_VIEW"; }
mirror() { ui_click_ctl "${MAIN[@]}" --id "$IDC_MIRROR"; }
flip() { ui_click_ctl "${MAIN[@]}" --id "$IDC_FLIP"; }
checked() { ui checked "${MAIN[@]}" --id "$1"; }
# Waits until surface $1 shows the flags $2 ("CHANNEL MIRRORED FLIPPED").
flags_wait() { ui_wait_for 4000 flags_are "$1" "$2" || ui_fail "${3:-picture}: expected flags '$2', shown '$(code_flags "$1")'"; }
# The flags stay $2 for a while (a click that must change nothing).
flags_stay() {
  sleep 0.8
  ui_assert_eq "$2" "$(code_flags "$1")" "${3:-picture}"
}
start_and_open() {
  viewer_start "$prog"
  viewer_file_open
  ui_assert_eq 3 "$(ui lv-count "${MAIN[@]}" --id "$IDC_FILE_LIST")" "rows of the card"
}
play_row() {
  viewer_double_click_row "$IDC_FILE_LIST" "$1"
  playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "row $1: no picture in channel 1"
}
# Closes the viewer with the close button and the confirmation's Yes.
close_confirmed() {
  ui click "${MAIN[@]}" --id "$IDC_CLOSE" --post
  notify_wait '^Do you want to close PC viewer\?$'
  ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
  viewer_wait_exit || ui_fail "viewer still running after the confirmed close"
}
ini_value() { sed -n "s/^$1=\([^[:space:]]*\).*/\1/p" "$ini" | tr -d '\r'; }

viewer_fresh
ui_server_start
rm -f "$ini"
start_and_open

# --- Stopped: the toggle, Mirror and Flip change nothing ----------------------
toggle; mirror; flip
sleep 0.5
ui_assert_eq "0 0 0" "$(checked "$IDC_CHANNEL_VIEW") $(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" \
  "toggle, mirror, flip after clicks while stopped"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface while stopped"
ui_ok "stopped: the view toggle, Mirror and Flip do nothing"

# --- Two channels: channel 1 first; Mirror and Flip do nothing there ------------
play_row $two
flags_wait "$IDC_CHANNEL1_SURFACE" "1 0 0" "channel 1 at the start"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface at the start"
ui_assert_eq 1 "$(ui enabled "${MAIN[@]}" --id "$IDC_CHANNEL_VIEW")" "toggle enabled with two channels"
mirror; flip
flags_stay "$IDC_CHANNEL1_SURFACE" "1 0 0" "channel 1 after Mirror and Flip"
ui_assert_eq "0 0" "$(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" "Mirror and Flip while channel 1 is shown"
ui_ok "channel 1 shown: Mirror and Flip do nothing"

# --- The toggle shows channel 2 -------------------------------------------------------
toggle
ui_wait_for 3000 surface_visible "$IDC_CHANNEL2_SURFACE" || ui_fail "channel 2 surface not shown after the toggle"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE")" "channel 1 surface with channel 2 shown"
flags_wait "$IDC_CHANNEL2_SURFACE" "2 0 0" "channel 2"
ui_assert_eq 1 "$(checked "$IDC_CHANNEL_VIEW")" "toggle checked for channel 2"
f1=$(frame_of "$IDC_CHANNEL2_SURFACE"); sleep 0.6
[ "$(frame_of "$IDC_CHANNEL2_SURFACE")" -gt "$f1" ] || ui_fail "channel 2 does not play"
ui_ok "the toggle shows channel 2, playing"

# --- Mirror and Flip turn channel 2's picture -------------------------------------------
mirror
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 0" "after Mirror"
ui_assert_eq 1 "$(checked "$IDC_MIRROR")" "Mirror checked"
flip
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "after Flip"
ui_assert_eq 1 "$(checked "$IDC_FLIP")" "Flip checked"
mirror
flags_wait "$IDC_CHANNEL2_SURFACE" "2 0 1" "after Mirror again"
ui_assert_eq 0 "$(checked "$IDC_MIRROR")" "Mirror unchecked again"
mirror
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "after a third Mirror"
ui_ok "Mirror and Flip turn channel 2 over and back"

# Pausing keeps them in force; they still act while paused.
ui_click_ctl "${MAIN[@]}" --id "$IDC_PLAY"
sleep 0.5
flip
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 0" "Flip while paused"
flip
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "Flip again while paused"
ui_click_ctl "${MAIN[@]}" --id "$IDC_PLAY"
ui_ok "Mirror and Flip act while paused"

# Back to channel 1: its picture is never turned; Mirror does nothing there.
toggle
ui_wait_for 3000 surface_visible "$IDC_CHANNEL1_SURFACE" || ui_fail "channel 1 not shown after the second toggle"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface after toggling back"
flags_wait "$IDC_CHANNEL1_SURFACE" "1 0 0" "channel 1 after toggling back"
ui_assert_eq 0 "$(checked "$IDC_CHANNEL_VIEW")" "toggle unchecked for channel 1"
mirror
flags_stay "$IDC_CHANNEL1_SURFACE" "1 0 0" "channel 1 after Mirror"
ui_assert_eq "1 1" "$(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" "Mirror and Flip kept while channel 1 is shown"
ui_ok "the toggle goes back to channel 1, which Mirror leaves alone"

# --- One channel: the toggle is disabled, channel 1 shows ---------------------------------
toggle
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "channel 2 before the one-channel recording"
play_row $one
flags_wait "$IDC_CHANNEL1_SURFACE" "1 0 0" "one-channel recording"
ui_assert_eq 0 "$(ui enabled "${MAIN[@]}" --id "$IDC_CHANNEL_VIEW")" "toggle with one channel"
ui_assert_eq 0 "$(checked "$IDC_CHANNEL_VIEW")" "toggle unchecked with one channel"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface with one channel"
# Mirror is enabled here but there is no channel 2 to turn: nothing changes.
mirror
sleep 0.5
ui_assert_eq "1 1" "$(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" "Mirror and Flip after a click with one channel"
# Back to two channels: channel 1 first, and the first toggle click shows channel 2.
play_row $two
flags_wait "$IDC_CHANNEL1_SURFACE" "1 0 0" "two channels after one"
toggle
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "channel 2 after the first toggle click"
ui_ok "one channel: toggle disabled, channel 1 shown; the next two-channel recording toggles at once"

# --- A photo comes up in view 1 ---------------------------------------------------------
play_row_photo() {
  viewer_double_click_row "$IDC_FILE_LIST" $photo
  ui_wait_for 5000 photo_shown || ui_fail "photo not shown"
}
play_row_photo
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL2_SURFACE")" "channel 2 surface with a photo"
ui_assert_eq 0 "$(ui visible "${MAIN[@]}" --id "$IDC_CHANNEL1_SURFACE")" "channel 1 surface with a photo"
ui_assert_eq 0 "$(checked "$IDC_CHANNEL_VIEW")" "toggle with a photo"
play_row $two
flags_wait "$IDC_CHANNEL1_SURFACE" "1 0 0" "two channels after the photo"
toggle
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "channel 2 after the photo"
ui_ok "a photo comes up in view 1"

# --- Stop: Mirror and Flip do nothing --------------------------------------------------
ui_click_ctl "${MAIN[@]}" --id "$IDC_STOP"
ui_wait_for 3000 not_visible "$IDC_CHANNEL2_SURFACE" || ui_fail "picture after Stop"
mirror; flip
sleep 0.5
ui_assert_eq "1 1" "$(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" "Mirror and Flip after clicks while stopped"
ui_ok "stopped after playing: Mirror and Flip do nothing"

# --- Kept through a confirmed close ------------------------------------------------------
close_confirmed
ui_assert_eq "1 1" "$(ini_value m_Mirror_state) $(ini_value m_Flip_state)" "mirror.ini after the confirmed close"
start_and_open
ui_assert_eq "1 1" "$(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" "Mirror and Flip after the restart"
play_row $two
toggle
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "channel 2 after the restart"
ui_ok "mirror and flip survive a confirmed close"

# --- Not kept otherwise --------------------------------------------------------------------
mirror
flags_wait "$IDC_CHANNEL2_SURFACE" "2 0 1" "Mirror off before closing"
# The close button declined: nothing is written, the viewer runs on.
ui click "${MAIN[@]}" --id "$IDC_CLOSE" --post
notify_wait '^Do you want to close PC viewer\?$'
ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_NO" --post
ui wait-gone "${NOTIFY[@]}" --timeout 5000 >/dev/null || ui_fail "question stayed after No"
ui_assert_eq "1 1" "$(ini_value m_Mirror_state) $(ini_value m_Flip_state)" "mirror.ini after a declined close"
# The window closed by its message (not the close button): nothing is written.
ui post "${MAIN[@]}" WM_CLOSE
viewer_wait_exit || ui_fail "viewer still running after WM_CLOSE"
ui_assert_eq "1 1" "$(ini_value m_Mirror_state) $(ini_value m_Flip_state)" "mirror.ini after WM_CLOSE"
# The process ended from outside: nothing is written either.
start_and_open
play_row $two
toggle
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 1" "channel 2 after the unsaved close"
flip
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 0" "Flip off before the kill"
ui_stop_started
ui wait-gone "${MAIN[@]}" --timeout 5000 >/dev/null || ui_fail "viewer still there after the kill"
ui_assert_eq "1 1" "$(ini_value m_Mirror_state) $(ini_value m_Flip_state)" "mirror.ini after the process was ended"
ui_ok "closing any other way keeps mirror.ini as it was"

# --- A stored 5 counts as on; the first click turns it off ---------------------------------
printf '[Mirror]\r\nm_Mirror_state=5\r\nm_Flip_state=0\r\n' > "$ini"
start_and_open
ui_assert_eq "0 0" "$(checked "$IDC_MIRROR") $(checked "$IDC_FLIP")" "buttons with a stored 5 (checked only for 1)"
play_row $two
toggle
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 0" "channel 2 with a stored 5"
mirror
flags_wait "$IDC_CHANNEL2_SURFACE" "2 0 0" "after the first Mirror click"
ui_assert_eq 0 "$(checked "$IDC_MIRROR")" "Mirror after the first click"
mirror
flags_wait "$IDC_CHANNEL2_SURFACE" "2 1 0" "after the second Mirror click"
ui_assert_eq 1 "$(checked "$IDC_MIRROR")" "Mirror after the second click"
close_confirmed
ui_assert_eq "1 0" "$(ini_value m_Mirror_state) $(ini_value m_Flip_state)" "mirror.ini written back"
ui_ok "a stored 5 mirrors; the first click turns it off"
