#!/usr/bin/env bash
# Escape and Space act on release: exactly one 0x040D and one 0x0425 reach the
# main window per press, none while the key is held.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
. "$here/viewer.sh"
spyout=$(mktemp -u "${TMPDIR:-/tmp}/spy.XXXXXX")
trap 'touch "$spyout.stop"; viewer_end; rm -f "$spyout"*' EXIT
viewer_fresh
ui_server_start
viewer_start

wine "$MSGSPY" "$VIEWER_HWND" "Z:$spyout" > "$spyout.log" 2>&1 {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&- &
ui_wait_for 10000 grep -q ready "$spyout.log" || ui_fail "message spy did not start: $(cat "$spyout.log")"
count() { awk -v m="$1" '$1 == m {print $2; f=1} END {if (!f) print 0}' "$spyout" 2>/dev/null || echo 0; }
settle() { sleep 0.4; }

ui_activate_x "ORVEN Quovix" || ui_fail "cannot focus the viewer"
settle
base_esc=$(count 0x040D)
base_space=$(count 0x0425)

ui_keydown Escape
settle
ui_assert_eq "$base_esc" "$(count 0x040D)" "0x040D while Escape is held"
ui_keyup Escape
settle
ui_assert_eq $((base_esc + 1)) "$(count 0x040D)" "0x040D after Escape is released"
ui_ok "Escape posts once, on release"

ui_keydown space
settle
ui_assert_eq "$base_space" "$(count 0x0425)" "0x0425 while Space is held"
ui_keyup space
settle
ui_assert_eq $((base_space + 1)) "$(count 0x0425)" "0x0425 after Space is released"
ui_ok "Space posts once, on release"

# Other keys post nothing; Escape in normal mode leaves the window as it is.
ui_key Return Tab a
settle
ui_assert_eq $((base_esc + 1)) "$(count 0x040D)" "0x040D after other keys"
ui_assert_eq $((base_space + 1)) "$(count 0x0425)" "0x0425 after other keys"
read -r _ _ _ _ w h < <(ui client-rect "${MAIN[@]}")
ui_assert_eq "1090 720" "$w $h" "window after Escape in normal mode"
ui_assert_eq 1 "$(viewer_count)" "viewer after the keys"
ui_ok "other keys post nothing"
