#!/usr/bin/env bash
# Escape and Space act on release: exactly one WM_ESCAPE_RELEASED and one WM_SPACE_RELEASED reach the
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
# How often the spy saw message $1 (a number; the spy writes it as 0xHHHH).
count() { awk -v m="$(printf '0x%04X' "$1")" '$1 == m {print $2; f=1} END {if (!f) print 0}' "$spyout" 2>/dev/null || echo 0; }
at_least() { [ "$(count "$1")" -ge "$2" ]; }
settle() { sleep 0.4; }
at_least() { [ "$(count "$1")" -ge "$2" ]; }

ui_activate_x "ORVEN Quovix" || ui_fail "cannot focus the viewer"
settle
base_esc=$(count "$WM_ESCAPE_RELEASED")
base_space=$(count "$WM_SPACE_RELEASED")

ui_keydown Escape
settle
ui_assert_eq "$base_esc" "$(count "$WM_ESCAPE_RELEASED")" "WM_ESCAPE_RELEASED while Escape is held"
ui_keyup Escape
# On a busy machine the post can take a while: wait for it, then make sure no second one follows.
ui_wait_for 5000 at_least "$WM_ESCAPE_RELEASED" $((base_esc + 1))
settle
ui_assert_eq $((base_esc + 1)) "$(count "$WM_ESCAPE_RELEASED")" "WM_ESCAPE_RELEASED after Escape is released"
ui_ok "Escape posts once, on release"

ui_keydown space
settle
ui_assert_eq "$base_space" "$(count "$WM_SPACE_RELEASED")" "WM_SPACE_RELEASED while Space is held"
ui_keyup space
ui_wait_for 5000 at_least "$WM_SPACE_RELEASED" $((base_space + 1))
settle
ui_assert_eq $((base_space + 1)) "$(count "$WM_SPACE_RELEASED")" "WM_SPACE_RELEASED after Space is released"
ui_ok "Space posts once, on release"

# Other keys post nothing; Escape in normal mode leaves the window as it is.
ui_key Return Tab a
settle
ui_assert_eq $((base_esc + 1)) "$(count "$WM_ESCAPE_RELEASED")" "WM_ESCAPE_RELEASED after other keys"
ui_assert_eq $((base_space + 1)) "$(count "$WM_SPACE_RELEASED")" "WM_SPACE_RELEASED after other keys"
read -r _ _ _ _ w h < <(ui client-rect "${MAIN[@]}")
ui_assert_eq "1090 720" "$w $h" "window after Escape in normal mode"
ui_assert_eq 1 "$(viewer_count)" "viewer after the keys"
ui_ok "other keys post nothing"
