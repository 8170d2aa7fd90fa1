# shellcheck shell=bash
# Shell glue for the Wine UI tests. Source it from a test script that runs
# inside `scripts/bench run` (DISPLAY, WINEPREFIX and HOME set):
#
#   . "$top/tests/wine/lib/ui.sh"
#
# Driver (uidriver.exe through wine; `ui --help` lists every command):
#   ui COMMAND ARGS...          run one driver command; stdout/exit code as the
#                               driver's (0 ok, 1 failed/timed out, 2 usage)
#   ui_batch < FILE             many commands in one wine start: each command's
#                               output is followed by a line ".RC" (lines that
#                               begin with "." get another "." in front)
#   ui_server_start             keep one driver running (`uidriver batch` on two
#                               FIFOs): each later `ui` call then costs about a
#                               millisecond instead of a wine start. Output and
#                               exit code are the same; the server's error
#                               messages go to the stderr of the shell that
#                               started it. A call made while the server is busy
#                               (from a background job) runs a driver of its own.
#   ui_server_stop              end it (also fine when none runs)
#   The driver is $UIDRIVER, else the newest build/*/tools/uidriver/uidriver.exe.
#   Typical target options: --class QUELMAR.Tessaro --id "$IDC_CLOCK"; --title TEXT; --pid N.
#
# Programs:
#   ui_start EXE ARGS...        start a Windows program in the background; its
#                               wine process id is in UI_LAST_PID
#   ui_stop_started             kill what ui_start started and is still running
#
# Real X input (xdotool; goes to the window that has the X focus):
#   ui_key KEY...               press and release keys (xdotool names: Escape, space,
#                               ctrl+a, Return, F5, ...); delay UI_KEY_DELAY ms (20)
#   ui_keydown KEY... / ui_keyup KEY...
#   ui_type TEXT                type a text
#   ui_xwindow REGEX            X window id of the first visible window whose name
#                               (the Windows title) matches REGEX
#   ui_activate_x REGEX         raise that X window, give it the X input focus and
#                               make it Wine's foreground window (by a click on its
#                               top edge when Wine does not follow the X focus)
#   ui_click_at X Y [BUTTON]    move the pointer to screen X,Y and click (button 1)
#   ui_click_ctl TARGET...      click the centre of a window found by driver options
#
# Screens:
#   ui_shot FILE.png            screenshot of the whole display
#
# Waiting and checking (each failure prints "FAIL: ..." on stderr and exits 1):
#   ui_now_ms                   milliseconds since the epoch
#   ui_wait_for MS CMD...       run CMD every UI_POLL_MS (50, below 1000) until it succeeds;
#                               returns 1 after MS milliseconds
#   ui_fail MESSAGE
#   ui_assert_eq EXPECTED ACTUAL [WHAT]
#   ui_assert_match REGEX ACTUAL [WHAT]     (bash =~, extended regex)
#   ui_assert_ok WHAT CMD...    CMD must succeed
#   ui_assert_fails WHAT CMD... CMD must fail
#   ui_ok MESSAGE               print "ok: MESSAGE" (progress in test logs)

ui__top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)

# The names of the id headers (IDC_..., IDB_..., WM_..., TIMER_...), written by
# the Windows build; $IDS_SH names the file, else the newest build's.
ui__ids=${IDS_SH:-$(ls -t "$ui__top"/build/*/ids.sh 2>/dev/null | head -n1)}
if [ -n "$ui__ids" ] && [ -f "$ui__ids" ]; then
  # shellcheck disable=SC1090
  . "$ui__ids"
else
  echo "ui: no ids.sh (build the Windows configuration first)" >&2
fi

ui_driver_path() {
  if [ -n "${UIDRIVER:-}" ]; then
    [ -f "$UIDRIVER" ] || { echo "ui: UIDRIVER=$UIDRIVER does not exist" >&2; return 1; }
    printf '%s\n' "$UIDRIVER"
    return 0
  fi
  local c newest=""
  for c in "$ui__top"/build/*/tools/uidriver/uidriver.exe; do
    [ -f "$c" ] || continue
    if [ -z "$newest" ] || [ "$c" -nt "$newest" ]; then newest=$c; fi
  done
  [ -n "$newest" ] || { echo "ui: no uidriver.exe built (set UIDRIVER)" >&2; return 1; }
  UIDRIVER=$newest
  printf '%s\n' "$newest"
}

ui() {
  # A server stopped by another shell (its folder gone) is not used again.
  if [ -n "${UI_SERVER_PID:-}" ] && [ ! -d "${UI_SERVER_DIR:-}" ]; then
    if [ "$BASHPID" = "${UI_SERVER_OWNER:-}" ]; then ui_server_stop; else UI_SERVER_PID=""; fi
  fi
  if [ -n "${UI_SERVER_PID:-}" ] && [ "${1:-}" != batch ] && [[ "$*" != *$'\n'* ]]; then
    # One request at a time; a caller that finds the server busy (a background
    # job waiting in it) starts a driver of its own instead.
    local lk rc
    if exec {lk}>>"$UI_SERVER_DIR/lock" && flock -n "$lk"; then
      ui__server_call "$@"
      rc=$?
      exec {lk}>&-
      [ "$rc" -ne 255 ] && return "$rc"
      # A server that no longer answers is stopped by the shell that started
      # it (a subshell, such as a $(ui ...), would leave that shell holding a
      # server it had taken away); this call goes to a driver of its own.
      echo "ui: the driver server gave no answer to '$1'; a driver of its own takes the call" >&2
      [ "$BASHPID" = "${UI_SERVER_OWNER:-}" ] && ui_server_stop
    else
      [ -n "${lk:-}" ] && exec {lk}>&-
    fi
  fi
  local exe
  exe=$(ui_driver_path) || return 2
  wine "$exe" "$@"
}

ui__server_call() {
  local a q="" line
  kill -0 "$UI_SERVER_PID" 2>/dev/null || return 255
  for a in "$@"; do
    a=${a//\\/\\\\}
    a=${a//\"/\\\"}
    q+="\"$a\" "
  done
  printf '%s\n' "$q" >&"$UI_SERVER_IN" || return 255
  while IFS= read -r -u "$UI_SERVER_OUT" line; do
    if [[ $line =~ ^\.([0-9]+)$ ]]; then return "${BASH_REMATCH[1]}"; fi
    [[ $line == .* ]] && line=${line:1}
    printf '%s\n' "$line"
  done
  return 255
}

ui_server_start() {
  [ -n "${UI_SERVER_PID:-}" ] && return 0
  local exe dir
  exe=$(ui_driver_path) || return 1
  dir=$(mktemp -d "${TMPDIR:-/tmp}/ui-server.XXXXXX") || return 1
  mkfifo "$dir/in" "$dir/out" || return 1
  wine "$exe" batch <"$dir/in" >"$dir/out" &
  UI_SERVER_PID=$!
  UI_SERVER_DIR=$dir
  UI_SERVER_OWNER=$BASHPID
  exec {UI_SERVER_IN}>"$dir/in" {UI_SERVER_OUT}<"$dir/out"
}

ui_server_stop() {
  [ -n "${UI_SERVER_PID:-}" ] || return 0
  exec {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&-
  # It ends at the end of its input; a program that kept a copy of the pipe
  # would stop that, so do not wait for it longer than a few seconds.
  local i
  for i in $(seq 50); do
    kill -0 "$UI_SERVER_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$UI_SERVER_PID" 2>/dev/null
  wait "$UI_SERVER_PID" 2>/dev/null
  rm -rf "$UI_SERVER_DIR"
  UI_SERVER_PID=""
  return 0
}

ui_batch() { ui batch; }

UI_STARTED=()
ui_start() {
  # The program must not inherit the driver server's pipe ends, or the server
  # would never see the end of its input.
  if [ -n "${UI_SERVER_PID:-}" ]; then
    wine "$@" >/dev/null 2>&1 {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&- &
  else
    wine "$@" >/dev/null 2>&1 &
  fi
  UI_LAST_PID=$!
  UI_STARTED+=("$UI_LAST_PID")
}

ui_stop_started() {
  local p
  for p in "${UI_STARTED[@]}"; do
    kill "$p" 2>/dev/null && wait "$p" 2>/dev/null
  done
  UI_STARTED=()
  return 0
}

ui_key() { xdotool key --delay "${UI_KEY_DELAY:-20}" "$@"; }
ui_keydown() { xdotool keydown --delay "${UI_KEY_DELAY:-20}" "$@"; }
ui_keyup() { xdotool keyup --delay "${UI_KEY_DELAY:-20}" "$@"; }
ui_type() { xdotool type --delay "${UI_KEY_DELAY:-20}" -- "$1"; }

# The X window of a top-level window, waiting up to 3 s for it: Wine maps
# and names it a moment after the window exists.
ui_xwindow() {
  local w end
  end=$(($(ui_now_ms) + 3000))
  while :; do
    w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$w" ] && break
    [ "$(ui_now_ms)" -ge "$end" ] && { echo "ui: no X window named like '$1'" >&2; return 1; }
    sleep 0.05
  done
  printf '%s\n' "$w"
}

ui_activate_x() {
  # shellcheck disable=SC2034  # set by getwindowgeometry --shell
  local w X Y WIDTH HEIGHT SCREEN WINDOW
  w=$(ui_xwindow "$1") || return 1
  xdotool windowraise "$w" windowfocus --sync "$w" || return 1
  # Wine follows the X focus only with UseTakeFocus=N; else a click on the
  # window's top edge (its frame, or a caption-less window's top row) does it.
  ui wait --foreground --title-re "$1" --timeout 300 >/dev/null 2>&1 && return 0
  eval "$(xdotool getwindowgeometry --shell "$w")"
  ui_click_at $((X + WIDTH / 2)) $((Y + 1))
  ui wait --foreground --title-re "$1" --timeout 1000 >/dev/null
}

ui_click_at() {
  xdotool mousemove "$1" "$2" click "${3:-1}"
}

ui_click_ctl() {
  local r l t w h
  r=$(ui rect "$@") || return 1
  read -r l t _ _ w h <<<"$r"
  ui_click_at $((l + w / 2)) $((t + h / 2))
}

ui_shot() {
  [ -n "${DISPLAY:-}" ] || { echo "ui_shot: no DISPLAY" >&2; return 1; }
  # One request for the whole screen: xwd -root splits it by colormap and reads
  # a window that lies inside another of the same process from the lower one.
  import -silent -window root -display "$DISPLAY" "$1"
}

ui_now_ms() { date +%s%3N; }

ui_wait_for() {
  local ms=$1 end pause
  shift
  end=$(($(ui_now_ms) + ms))
  pause=$(printf '0.%03d' "${UI_POLL_MS:-50}")
  while :; do
    "$@" && return 0
    [ "$(ui_now_ms)" -ge "$end" ] && return 1
    sleep "$pause"
  done
}

ui_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

ui_assert_eq() {
  [ "$1" == "$2" ] || ui_fail "${3:-value}: expected '$1', got '$2'"
}

ui_assert_match() {
  [[ $2 =~ $1 ]] || ui_fail "${3:-value}: '$2' does not match /$1/"
}

ui_assert_ok() {
  local what=$1
  shift
  "$@" || ui_fail "$what: command failed (exit $?): $*"
}

ui_assert_fails() {
  local what=$1
  shift
  ! "$@" || ui_fail "$what: command succeeded but should have failed: $*"
}

ui_ok() { echo "ok: $*"; }
