# shellcheck shell=bash
# Helpers for the UI tests of the viewer. Source after tests/wine/lib/ui.sh.
# Environment (set by CTest): VIEWER_DIR (program folder), MSGSPY, HOLD_SECTION.

MAIN=(--class QUELMAR.Tessaro)
NOTIFY=(--class '#32770' --visible)

# A fresh Wine session for each test, so that nothing of an earlier test runs.
viewer_fresh() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Starts the viewer from folder $1 (default VIEWER_DIR) and waits for its main window.
viewer_start() {
  local dir=${1:-$VIEWER_DIR}
  ui_start "$dir/Tessaro.exe"
  VIEWER_PID=$UI_LAST_PID
  ui wait "${MAIN[@]}" --visible --timeout 15000 >/dev/null || ui_fail "main window did not appear"
  VIEWER_HWND=$(ui find "${MAIN[@]}")
}

# A copy of the program folder without the device library.
viewer_folder_without_library() {
  local d
  d=$(mktemp -d "${TMPDIR:-/tmp}/viewer.XXXXXX")
  cp "$VIEWER_DIR/Tessaro.exe" "$d/"
  printf '%s\n' "$d"
}

# Number of viewer processes in the Wine session.
viewer_count() { ui count-procs Tessaro.exe; }

# Waits for a visible notification whose message label (IDC_NOTIFY_MESSAGE) matches $1.
notify_wait() {
  ui wait-text "${NOTIFY[@]}" --id "$IDC_NOTIFY_MESSAGE" --match "$1" --timeout 10000 >/dev/null ||
    ui_fail "no notification matching '$1'"
}

# "x y w h" of control $1 in the client area of the window named by the other arguments.
control_place() {
  local id=$1 cl ct l t w h
  shift
  read -r cl ct _ _ _ _ < <(ui client-rect "$@")
  read -r l t _ _ w h < <(ui rect "$@" --id "$id")
  echo "$((l - cl)) $((t - ct)) $w $h"
}

# Waits up to 10 s for the viewer process to end; its exit code goes to VIEWER_EXIT.
viewer_wait_exit() {
  local i
  for i in $(seq 100); do
    kill -0 "$VIEWER_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$VIEWER_PID" 2>/dev/null && return 1
  wait "$VIEWER_PID"
  VIEWER_EXIT=$?
}

# End of a test: the driver, what the test started, and the whole Wine session
# (whose server would otherwise hold the test's output open).
viewer_end() {
  ui_stop_started
  ui_server_stop
  wineserver -k 2>/dev/null || true
}
