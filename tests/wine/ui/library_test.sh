#!/usr/bin/env bash
# A program folder without the device library: the one-button message
# "Can not find library." / "KRV error", and start-up goes on.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
. "$here/viewer.sh"
dir=$(viewer_folder_without_library)
trap 'viewer_end; rm -rf "$dir"' EXIT
viewer_fresh
ui_server_start
ui_start "$dir/Tessaro.exe"
VIEWER_PID=$UI_LAST_PID

notify_wait '^Can not find library\.$'
ui_assert_eq "KRV error" "$(ui text "${NOTIFY[@]}" --id "$IDC_NOTIFY_TITLE")" "caption"
ui_assert_eq "125 156 150 32" "$(control_place "$IDC_NOTIFY_YES" "${NOTIFY[@]}")" "single button centred"
ui_assert_eq 0 "$(ui visible "${NOTIFY[@]}" --id "$IDC_NOTIFY_NO")" "no button hidden"
# The main window is up already (it was shown before the library was loaded).
ui_assert_eq 1 "$(ui visible "${MAIN[@]}")" "main window shown"
ui_ok "message shown with one centred button"

ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
ui wait-gone "${NOTIFY[@]}" --timeout 5000 >/dev/null || ui_fail "message stayed"
# Start-up went on: the clock runs and the tool-tip of File Open was set.
ui wait-text "${MAIN[@]}" --id "$IDC_CLOCK" --match '^Time : ' --timeout 5000 >/dev/null || ui_fail "clock not started"
ui_assert_eq 1 "$(viewer_count)" "viewer still running"
ui_assert_eq 1 "$(ui visible "${MAIN[@]}" --id "$IDC_FILE_OPEN")" "File Open shown"
ui_ok "start-up continued without the library"
