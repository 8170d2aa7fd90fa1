#!/usr/bin/env bash
# A sibling viewer (it holds "ORVEN PC Viewer" but not the single-instance
# mutex) is running: the new viewer says so and ends without a main window.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"
. "$here/viewer.sh"
trap 'viewer_end' EXIT
viewer_fresh
ui_server_start
ui_start "$HOLD_SECTION"
sleep 0.5
ui_start "$VIEWER_DIR/Tessaro.exe"
VIEWER_PID=$UI_LAST_PID

ui wait --title ORVEN --visible --timeout 10000 >/dev/null || ui_fail "no message box titled ORVEN"
ui children --title ORVEN | grep -q $'\tORVEN 전용 Viewer 가 실행중입니다.\t' ||
  ui_fail "message text: $(ui children --title ORVEN)"
ui_assert_eq 0 "$(ui windows --class QUELMAR.Tessaro | wc -l)" "main windows"
ui_ok "sibling message shown"

ui click --title ORVEN --id 2 --post 2>/dev/null || ui click --title ORVEN --id 1 --post
viewer_wait_exit || ui_fail "viewer still running after OK"
ui_assert_eq 0 "$(viewer_count)" "viewer processes"
ui_ok "viewer ended (exit code $VIEWER_EXIT)"
