#!/usr/bin/env bash
# The close confirmation in the skinned message box: its layout, the keys it
# swallows, declining and confirming.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
. "$here/viewer.sh"
trap 'viewer_end' EXIT
viewer_fresh
ui_server_start
viewer_start

ask_close() {
  ui click "${MAIN[@]}" --id "$IDC_CLOSE" --post
  notify_wait '^Do you want to close PC viewer\?$'
}

ask_close
ui_assert_eq "Close" "$(ui text "${NOTIFY[@]}" --id "$IDC_NOTIFY_TITLE")" "title"
read -r _ _ _ _ w h < <(ui client-rect "${NOTIFY[@]}")
ui_assert_eq "400 200" "$w $h" "message box size"
ui_assert_eq "40 156 150 32" "$(control_place "$IDC_NOTIFY_YES" "${NOTIFY[@]}")" "yes button"
ui_assert_eq "210 156 150 32" "$(control_place "$IDC_NOTIFY_NO" "${NOTIFY[@]}")" "no button"
ui_assert_eq 1 "$(ui visible "${NOTIFY[@]}" --id "$IDC_NOTIFY_NO")" "no button shown"
ui_assert_eq 0 "$(ui enabled "${MAIN[@]}")" "main window disabled while asking"

# Keys that would end an ordinary dialog do nothing here.
ui activate "${NOTIFY[@]}" >/dev/null
# Keys do reach the box: Tab moves the focus from one button to the other.
focus1=$(ui focus "${NOTIFY[@]}")
ui_key Tab
sleep 0.3
focus2=$(ui focus "${NOTIFY[@]}")
[ "$focus1" != "$focus2" ] || ui_fail "Tab did not reach the message box (focus $focus1)"
for key in Escape Return space alt+F4 ctrl+Break; do
  ui_key "$key"
  sleep 0.3
  ui_assert_eq 1 "$(ui visible "${NOTIFY[@]}" 2>/dev/null || echo 0)" "message box after $key"
done
ui_assert_eq 1 "$(viewer_count)" "viewer after the keys"
ui_ok "Escape, Enter, Space, Alt+F4 and Ctrl+Break swallowed"

# Declined: the viewer runs on.
ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_NO" --post
ui wait-gone "${NOTIFY[@]}" --timeout 5000 >/dev/null || ui_fail "message box stayed after No"
sleep 0.5
ui_assert_eq 1 "$(viewer_count)" "viewer after No"
ui_assert_eq 1 "$(ui enabled "${MAIN[@]}")" "main window enabled again"
clock=$(ui text "${MAIN[@]}" --id "$IDC_CLOCK")
sleep 1.1
[ "$(ui text "${MAIN[@]}" --id "$IDC_CLOCK")" != "$clock" ] || ui_fail "clock stopped after No"
ui_ok "declined: still running"

# Confirmed: the process ends with exit code 0.
ask_close
ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
viewer_wait_exit || ui_fail "viewer still running after Yes"
ui_assert_eq 0 "$VIEWER_EXIT" "exit code"
ui_assert_eq 0 "$(viewer_count)" "viewer processes after Yes"
ui_ok "confirmed: process ended with 0"
