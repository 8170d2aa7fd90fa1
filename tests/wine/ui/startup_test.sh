#!/usr/bin/env bash
# Start-up: the main window, its clock, the height guard, the single-instance
# rule and Alt+F4.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
. "$here/viewer.sh"
trap 'viewer_end' EXIT
viewer_fresh
ui_server_start
viewer_start

# The window: title, client size 1090 x 720.
ui_assert_eq "ORVEN Quovix" "$(ui text "${MAIN[@]}")" "title"
read -r _ _ _ _ w h < <(ui client-rect "${MAIN[@]}")
ui_assert_eq "1090 720" "$w $h" "client size"
ui_ok "main window 1090 x 720"

# The clock line: format, zero padding, refreshed twice a second, in step with
# the local clock.
clock=$(ui text "${MAIN[@]}" --id "$IDC_CLOCK")
ui_assert_match '^Time : [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$' "$clock" "clock format"
sleep 1.1
later=$(ui text "${MAIN[@]}" --id "$IDC_CLOCK")
[ "$later" != "$clock" ] || ui_fail "clock not refreshed within 1.1 s ($clock)"
for i in 1 2 3; do
  before=$(date +%s)
  shown=$(ui text "${MAIN[@]}" --id "$IDC_CLOCK")
  after=$(date +%s)
  shown_s=$(date -d "${shown#Time : }" +%s)
  # Shown time lies within [before - 1, after]: never more than about half a second behind.
  if [ "$shown_s" -lt $((before - 1)) ] || [ "$shown_s" -gt "$after" ]; then
    ui_fail "clock '$shown' out of step with local time $before..$after"
  fi
  sleep 0.37
done
ui_ok "clock line"

# Height guard: shrinking the window in normal mode snaps it back to 1090 x 720.
read -r l t _ _ _ _ < <(ui rect "${MAIN[@]}")
ui move "${MAIN[@]}" "$l" "$t" 1090 500
read -r l2 t2 _ _ w h < <(ui rect "${MAIN[@]}")
ui_assert_eq "1090 720" "$w $h" "size after shrinking"
ui_assert_eq "$l $t" "$l2 $t2" "position kept"
ui move "${MAIN[@]}" "$l" "$t" 1200 800
read -r _ _ _ _ w h < <(ui rect "${MAIN[@]}")
ui_assert_eq "1200 800" "$w $h" "growing is not undone"
ui move "${MAIN[@]}" "$l" "$t" 1090 720
ui_ok "height guard"

# Dragging the background moves the borderless window.
read -r l t _ _ _ _ < <(ui rect "${MAIN[@]}")
xdotool mousemove $((l + 400)) $((t + 200)) mousedown 1
sleep 0.2
xdotool mousemove $((l + 430)) $((t + 215))
sleep 0.2
xdotool mousemove $((l + 460)) $((t + 230))
sleep 0.2
xdotool mouseup 1
sleep 0.3
read -r l2 t2 _ _ w h < <(ui rect "${MAIN[@]}")
ui_assert_eq "$((l + 60)) $((t + 30))" "$l2 $t2" "position after dragging the background"
ui_assert_eq "1090 720" "$w $h" "size after dragging"
ui_ok "background drag moves the window"

# Alt+F4 does nothing.
ui_activate_x "ORVEN Quovix" || ui_fail "cannot focus the viewer"
ui_key alt+F4
sleep 0.7
ui_assert_eq 1 "$(ui visible "${MAIN[@]}")" "visible after Alt+F4"
ui_assert_eq 1 "$(viewer_count)" "processes after Alt+F4"
ui_ok "Alt+F4 ignored"

# A second start shows nothing, brings the first forward and ends at once.
# Another program's window is in front first.
ui_start "$UISAMPLE"
ui wait --class UIDriver.Sample --visible --timeout 10000 >/dev/null || ui_fail "sample window"
sample=$(ui find --class UIDriver.Sample)
ui activate --class UIDriver.Sample >/dev/null
ui_wait_for 3000 eval '[ "$(ui foreground)" = "$sample" ]' || ui_fail "sample window not in front"
start=$(ui_now_ms)
wine "$VIEWER_DIR/Tessaro.exe" >/dev/null 2>&1
code=$?
elapsed=$(( $(ui_now_ms) - start ))
ui_assert_eq 0 "$code" "exit code of the second start"
ui_assert_eq 1 "$(viewer_count)" "viewer processes after a second start"
ui_assert_eq 1 "$(ui windows --class QUELMAR.Tessaro | wc -l)" "main windows"
ui_assert_eq "$VIEWER_HWND" "$(ui foreground)" "first viewer in front"
ui_ok "second start ended after $elapsed ms, first viewer in front"
