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
  ui wait-text "${NOTIFY[@]}" --id "$IDC_NOTIFY_MESSAGE" --match "$1" --timeout 20000 >/dev/null ||
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

# --- The catalogue and playback as a user drives them ---------------------

SELECT=(--class '#32770' --visible --id "$IDC_DRIVE_LIST")

# File Open, then OK on combo entry $1 (default 0); waits for filled lists.
viewer_file_open() {
  ui click "${MAIN[@]}" --id "$IDC_FILE_OPEN" --post
  ui wait "${SELECT[@]}" --timeout 10000 >/dev/null || {
    echo "File Open enabled: $(ui enabled "${MAIN[@]}" --id "$IDC_FILE_OPEN"); visible windows:" >&2
    ui windows --visible >&2
    ui_fail "drive dialog did not open"
  }
  [ "${1:-0}" = 0 ] || ui cb-select "${SELECT[@]}" "$1" >/dev/null
  ui click --class '#32770' --visible --id 1 --post
  ui wait-gone "${SELECT[@]}" --timeout 10000 >/dev/null || ui_fail "drive dialog stayed open"
  ui wait-until --match '^[1-9]' -- lv-count "${MAIN[@]}" --id "$IDC_DATE_LIST" >/dev/null || ui_fail "lists not filled"
}

# Every row of list $1, cells tab separated; and the recording names (column 3).
viewer_rows() { ui lv-rows "${MAIN[@]}" --id "$1"; }
viewer_names() { viewer_rows "$1" | cut -f4; }

# Screen point "x y" of row $2 of list $1 (row height from the list's own layout).
viewer_row_point() {
  local id=$1 row=$2 l t hh one two rh
  read -r l t _ _ _ _ < <(ui rect "${MAIN[@]}" --id "$id")
  read -r _ _ _ _ _ hh < <(ui rect "${MAIN[@]}" --id "$id" --child-class SysHeader32)
  # LVM_APPROXIMATEVIEWRECT for one and for two rows: their heights differ by a row.
  one=$(ui send "${MAIN[@]}" --id "$id" 0x1040 1 -1)
  two=$(ui send "${MAIN[@]}" --id "$id" 0x1040 2 -1)
  rh=$(((two >> 16) - (one >> 16)))
  [ "$rh" -gt 0 ] || rh=16
  echo "$((l + 15)) $((t + hh + row * rh + rh / 2))"
}

viewer_click_row() {
  local x y
  read -r x y < <(viewer_row_point "$1" "$2")
  ui_click_at "$x" "$y"
  sleep 0.3
}

viewer_double_click_row() {
  local x y
  read -r x y < <(viewer_row_point "$1" "$2")
  xdotool mousemove "$x" "$y" click --repeat 2 --delay 60 1
}

# Index of the line equal to $1 among the lines on stdin, or -1.
viewer_index_of() { awk -v want="$1" '$0 == want { print NR - 1; found = 1; exit } END { if (!found) print -1 }'; }

# Shows the file list of recording $1's date and hour (clicking them) and
# prints the recording's row in the file list.
viewer_show_recording() {
  local name=$1 date hour row
  date="20${name:2:2}-${name:4:2}-${name:6:2}"
  hour=${name:9:2}
  row=$(viewer_rows "$IDC_DATE_LIST" | viewer_index_of "$date")
  [ "$row" -ge 0 ] || ui_fail "no date $date in the list"
  viewer_click_row "$IDC_DATE_LIST" "$row"
  row=$(viewer_rows "$IDC_HOUR_LIST" | viewer_index_of "$hour")
  [ "$row" -ge 0 ] || ui_fail "no hour $hour of $date in the list"
  viewer_click_row "$IDC_HOUR_LIST" "$row"
  row=$(viewer_names "$IDC_FILE_LIST" | viewer_index_of "$name")
  [ "$row" -ge 0 ] || ui_fail "no recording $name in the file list"
  echo "$row"
}
