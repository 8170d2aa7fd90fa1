#!/usr/bin/env bash
# Drives the sample dialog with every uidriver command and the shell glue in
# tests/wine/lib/ui.sh, and checks what the dialog did.
# usage: test-uidriver.sh UIDRIVER.EXE UISAMPLE.EXE     (inside scripts/bench run)
set -u
here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 2 ] || { echo "usage: $0 UIDRIVER.EXE UISAMPLE.EXE" >&2; exit 2; }
export UIDRIVER=$1
sample=$2
# shellcheck source-path=SCRIPTDIR/../.. source=tests/wine/lib/ui.sh
. "$here/../../tests/wine/lib/ui.sh"
[ -n "${DISPLAY:-}" ] || ui_fail "no DISPLAY: run this inside scripts/bench run"
tmp=$(mktemp -d)
trap 'ui_server_stop; ui_stop_started; rm -rf "$tmp"' EXIT

S=(--class UIDriver.Sample)          # the sample's main window
NL=$'\n'

# ---- the driver itself: a console program, and its usage errors
pe=$(od -An -tu4 -j60 -N4 "$UIDRIVER" | tr -d ' ')
subsystem=$(od -An -tu2 -j$((pe + 92)) -N2 "$UIDRIVER" | tr -d ' ')
ui_assert_eq 3 "$subsystem" "PE subsystem of uidriver.exe (3 = console)"
help=$(ui --help)
for c in windows find children info text settext visible enabled checked rect client-rect pid \
         foreground focus activate click command send post lv-count lv-text lv-rows lv-state \
         lv-selected lv-checked lv-select lv-check hdr-count hdr-text cb-count cb-sel cb-text \
         cb-select proc procs count-procs wait wait-gone wait-text wait-exit wait-until sleep batch; do
  [[ $help == *"$c "* ]] || ui_fail "--help does not describe '$c'"
done
for bad in "" "nosuch" "find" "find --class" "find --hwnd zz" "find --class X --bogus" \
           "send --class X" "wait-text --class X" "find --title-re (" "wait-until --timeout 10" \
           "sleep -5" "lv-check --class X 0 3"; do
  # shellcheck disable=SC2086
  ui $bad >/dev/null 2>&1
  ui_assert_eq 2 "$?" "exit code of usage error 'uidriver $bad'"
done
ui find --class No.Such.Class >/dev/null 2>&1
ui_assert_eq 1 "$?" "find of a missing window"
t0=$(ui_now_ms)
ui wait --class No.Such.Class --timeout 300 >/dev/null 2>&1
rc=$? waited=$(($(ui_now_ms) - t0))
ui_assert_eq 1 "$rc" "wait for a missing window"
((waited >= 300 && waited < 3000)) || ui_fail "wait --timeout 300 took $waited ms"
ui_ok "usage errors and timeouts"

# ---- start the sample and find it
ui_assert_eq 0 "$(ui count-procs uisample.exe)" "uisample processes before start"
t0=$(ui_now_ms)
ui_start "$sample"
main=$(ui wait "${S[@]}" --visible --timeout 15000) || ui_fail "the sample's window did not appear"
start_ms=$(($(ui_now_ms) - t0))
ui_assert_match '^0x[0-9a-f]+$' "$main" "HWND format"
ui_assert_eq "$main" "$(ui find --title 'UI Driver Sample')" "find by title"
ui_assert_eq "$main" "$(ui find --title-re '^UI Dr.*ple$' --visible)" "find by title regex"
pid=$(ui pid --hwnd "$main")
ui_assert_eq "$main" "$(ui find --pid "$pid" --visible)" "find by process"
ui_assert_eq 1 "$(ui count-procs uisample)" "count-procs without .exe"
ui_assert_eq "$pid" "$(ui procs UISAMPLE.EXE)" "procs"
ui_assert_match "^$main	$pid	UIDriver.Sample	UI Driver Sample	1\$" "$(ui windows --pid "$pid" --visible)" "windows"
ui_assert_eq "$main" "$(ui find --foreground)" "the new dialog is the foreground window"
ui_assert_eq "$main" "$(ui foreground)" "foreground"

# Everything so far started one driver per call; from here on one driver
# process serves the calls (ui_server_start), except where noted.
n=10
t0=$(ui_now_ms)
for ((i = 0; i < n; i++)); do ui text --hwnd "$main" >/dev/null; done
single_ms=$((($(ui_now_ms) - t0) / n))
ui_server_start || ui_fail "ui_server_start"
ui_assert_eq "UI Driver Sample" "$(ui text --hwnd "$main")" "a call through the server"
t0=$(ui_now_ms)
for ((i = 0; i < n; i++)); do ui text --hwnd "$main" >/dev/null; done
server_ms=$((($(ui_now_ms) - t0) / n))
ui_assert_eq 1 "$(ui count-procs uidriver.exe)" "driver processes seen by the server (itself)"
ui_assert_eq 2 "$(wine "$UIDRIVER" count-procs uidriver.exe)" "driver processes seen by a second driver"
ui find --class No.Such.Class >/dev/null 2>&1
ui_assert_eq 1 "$?" "exit code through the server"
ui find --class X --bogus >/dev/null 2>&1
ui_assert_eq 2 "$?" "usage error through the server"

proc=$(ui proc --hwnd "$main")
ui_assert_match "(^|$NL)pid $pid($NL|\$)" "$proc" "proc pid"
ui_assert_match "(^|$NL)running 1($NL|\$)" "$proc" "proc running"
ui_assert_match "(^|$NL)image .*uisample\.exe($NL|\$)" "$proc" "proc image"
handles=$(ui proc --pid "$pid" --field handles)
private=$(ui proc --pid "$pid" --field private_bytes)
ws=$(ui proc --pid "$pid" --field working_set)
((handles > 5 && handles < 10000)) || ui_fail "implausible handle count $handles"
((private > 100000)) || ui_fail "implausible private bytes $private"
((ws > 1000000)) || ui_fail "implausible working set $ws"
ui proc --pid "$pid" --field nosuch >/dev/null 2>&1 && ui_fail "proc --field nosuch succeeded"
ui_ok "finding windows and processes (sample visible after $start_ms ms)"

# ---- children, texts, states, rectangles
kids=$(ui children --hwnd "$main")
ui_assert_match "(^|$NL)0x[0-9a-f]+	1001	Button	Press	[0-9-]+,[0-9-]+,[0-9-]+,[0-9-]+	1	1($NL|\$)" "$kids" "children: the Press button"
ui_assert_match "(^|$NL)0x[0-9a-f]+	1010	Button	Disabled	[^	]+	1	0($NL|\$)" "$kids" "children: a disabled button"
ui_assert_match "(^|$NL)0x[0-9a-f]+	1011	Static	Hidden	[^	]+	0	1($NL|\$)" "$kids" "children: a hidden static"
ui_assert_match "	1005	SysListView32	" "$kids" "children: the list view"
ui_assert_match "^0x[0-9a-f]+	1004	Edit	" "$(ui info "${S[@]}" --id 1004)" "info"
ui_assert_eq "UI Driver Sample" "$(ui text --hwnd "$main")" "window title"
ui_assert_eq "Waiting" "$(ui text "${S[@]}" --id 1003)" "static text"
ui_assert_eq "0 1" "$(ui visible "${S[@]}" --id 1011) $(ui enabled "${S[@]}" --id 1011)" "hidden static"
ui_assert_eq "1 0" "$(ui visible "${S[@]}" --id 1010) $(ui enabled "${S[@]}" --id 1010)" "disabled button"
ui_assert_eq "$(ui find "${S[@]}" --id 1005)" "$(ui find "${S[@]}" --child-class syslistview32)" "--child-class"
ui find "${S[@]}" --id 4242 >/dev/null 2>&1 && ui_fail "found a control id that does not exist"
read -r wl wt wr wb ww wh <<<"$(ui rect --hwnd "$main")"
read -r cl ct cr cb cw ch <<<"$(ui client-rect --hwnd "$main")"
ui_assert_eq "$((wr - wl)) $((wb - wt))" "$ww $wh" "rect width and height"
((ww > 300 && wh > 200)) || ui_fail "sample window is only ${ww}x$wh"
((cl >= wl && ct > wt && cr <= wr && cb <= wb && cw < ww && ch < wh)) ||
  ui_fail "client rect $cl $ct $cr $cb not inside window rect $wl $wt $wr $wb"
read -r el et er eb _ _ <<<"$(ui rect "${S[@]}" --id 1004)"
((el > cl && et > ct && er < cr && eb < cb)) || ui_fail "edit rect $el $et $er $eb not inside the client area"
ui_ok "children, texts, states and rectangles"

# ---- pressing controls and sending messages
ui_assert_eq "" "$(ui click "${S[@]}" --id 1001)" "a click that completes prints nothing"
ui click "${S[@]}" --id 1001
ui_assert_eq "Pressed 2" "$(ui text "${S[@]}" --id 1003)" "two sent clicks"
ui_assert_eq 0 "$(ui checked "${S[@]}" --id 1002)" "check box before"
ui click "${S[@]}" --id 1002
ui_assert_eq 1 "$(ui checked "${S[@]}" --id 1002)" "check box after a click"
ui_assert_eq "Option 1" "$(ui text "${S[@]}" --id 1009)" "check box notification"
ui command "${S[@]}" --id 1001
ui_assert_eq "Pressed 3" "$(ui text "${S[@]}" --id 1003)" "WM_COMMAND from a control"
ui command --hwnd "$main" --cmd 40001 --code 5
ui_assert_eq "Command 5" "$(ui text "${S[@]}" --id 1003)" "WM_COMMAND by command id"
ui_assert_eq 7 "$(ui send --hwnd "$main" WM_USER+0x25 3 4)" "send result"
ui_assert_eq "Ping 3 4" "$(ui text "${S[@]}" --id 1009)" "sent message seen"
ui post --hwnd "$main" 0x0425 10 -3
ui_assert_eq "Ping 10 -3" "$(ui wait-text "${S[@]}" --id 1009 --match '^Ping 10' --timeout 3000)" "posted message seen"
ui wait-text "${S[@]}" --id 1009 --match '^never$' --timeout 200 >/dev/null 2>&1
ui_assert_eq 1 "$?" "wait-text timing out"
ui click "${S[@]}" --id 1001 --post
ui_assert_eq "Pressed 4" "$(ui wait-until --match 'ed 4$' --timeout 3000 -- text "${S[@]}" --id 1003)" "wait-until after a posted click"
ui wait-until --timeout 200 -- find --class No.Such.Class >/dev/null 2>&1
ui_assert_eq 1 "$?" "wait-until timing out"
ui settext "${S[@]}" --id 1004 "set by driver"
ui_assert_eq "set by driver" "$(ui text "${S[@]}" --id 1004)" "settext"
ui_ok "clicks, commands and messages"

# ---- list view, header, combo box
LV=("${S[@]}" --id 1005)
ui_assert_eq 4 "$(ui lv-count "${LV[@]}")" "list rows"
expected="alpha.avi	100	front
beta.avi	2048	rear
gamma\\tjpg	77	photo
델타.avi	5	front"
ui_assert_eq "$expected" "$(ui lv-rows "${LV[@]}")" "all rows (tab escaped, Korean in UTF-8)"
ui_assert_eq "델타.avi" "$(ui lv-text "${LV[@]}" 3)" "cell 3,0"
ui_assert_eq "rear" "$(ui lv-text "${LV[@]}" 1 2)" "cell 1,2"
ui lv-text "${LV[@]}" 9 >/dev/null 2>&1 && ui_fail "lv-text of a missing row succeeded"
ui_assert_eq 3 "$(ui hdr-count "${LV[@]}")" "header items"
ui_assert_eq "Name|Kind" "$(ui hdr-text "${LV[@]}" 0)|$(ui hdr-text "${LV[@]}" 2)" "header texts"
ui hdr-text "${LV[@]}" 3 >/dev/null 2>&1 && ui_fail "hdr-text of a missing item succeeded"
ui_assert_eq 1 "$(ui lv-checked "${LV[@]}")" "checked rows at start"
ui lv-check "${LV[@]}" 2 1
ui lv-check "${LV[@]}" 1 0
ui_assert_eq 2 "$(ui lv-checked "${LV[@]}")" "checked rows after lv-check"
ui_assert_match "^selected=0 focused=0 checked=1 state=0x2000\$" "$(ui lv-state "${LV[@]}" 2)" "row state"
ui lv-select "${LV[@]}" 2
ui_assert_eq 2 "$(ui lv-selected "${LV[@]}")" "selected rows"
ui_assert_match "^selected=1 focused=1 checked=1 " "$(ui lv-state "${LV[@]}" 2)" "selected row state"
ui_assert_match "^Row 2 state 0x2003\$" "$(ui text "${S[@]}" --id 1009)" "selection notification"
ui lv-select "${LV[@]}" 0 --add
ui_assert_eq "0${NL}2" "$(ui lv-selected "${LV[@]}")" "selection with --add"
ui lv-select "${LV[@]}" 3
ui_assert_eq 3 "$(ui lv-selected "${LV[@]}")" "selection replaced"
CB=("${S[@]}" --id 1006)
ui_assert_eq "3 1 Large" "$(ui cb-count "${CB[@]}") $(ui cb-sel "${CB[@]}") $(ui cb-text "${CB[@]}" 2)" "combo box"
ui cb-text "${CB[@]}" 3 >/dev/null 2>&1 && ui_fail "cb-text of a missing item succeeded"
ui cb-select "${CB[@]}" 0
ui_assert_eq "0 Combo 0" "$(ui cb-sel "${CB[@]}") $(ui text "${S[@]}" --id 1009)" "combo selection and notification"
ui_ok "list view, header and combo box"

# ---- batch: many queries in one wine start
batch_out=$(ui_batch <<EOF
# comment lines and blank lines are skipped

text --hwnd $main
lv-text --hwnd $main --id 1005 "3" 0
find --class "No.Such.Class"
settext --hwnd $main --id 1004 ".0 and \"quoted\""
text --hwnd $main --id 1004
bogus
EOF
)
rc=$?
ui_assert_eq 1 "$rc" "batch exit code (first failure)"
ui_assert_eq "UI Driver Sample
.0
델타.avi
.0
.1
.0
..0 and \"quoted\"
.0
.2" "$batch_out" "batch output (a line starting with a dot gets another)"
ui_assert_eq '.0 and "quoted"' "$(ui text --hwnd "$main" --id 1004)" "the same text through the server"
t0=$(ui_now_ms)
for ((i = 0; i < n; i++)); do echo "text --class UIDriver.Sample --id 1003"; done | ui_batch >/dev/null
batch_ms=$(($(ui_now_ms) - t0))
ui_ok "batch ($n queries: $single_ms ms each alone, $batch_ms ms in one batch, $server_ms ms each through the server)"

# ---- a second window, foreground and activation
ui click "${S[@]}" --id 1008
popup=$(ui wait --title "Sample Popup" --timeout 3000) || ui_fail "popup did not appear"
# The popup can be found by its title a moment before it is shown.
visible_count() { ui windows --pid "$pid" --visible | wc -l; }
two_visible() { [ "$(visible_count)" = 2 ]; }
ui_wait_for 3000 two_visible || true  # the check below says what was seen
ui_assert_eq "2" "$(visible_count)" "two visible windows of the sample"
ui_wait_for 2000 test "$(ui foreground)" = "$popup" || ui_fail "popup is not the foreground window"
ui_activate_x '^UI Driver Sample$' || ui_fail "ui_activate_x did not activate the sample"
ui_assert_eq "$main" "$(ui foreground)" "foreground after ui_activate_x"
ui activate --hwnd "$popup"
ui_assert_eq "$popup" "$(ui foreground)" "foreground after activate"
ui command --title "Sample Popup" --id 2
ui wait-gone --title "Sample Popup" --timeout 3000 || ui_fail "popup did not go away"
ui_assert_eq 1 "$(ui windows --pid "$pid" --visible | wc -l)" "one visible window after the popup closed"
ui_ok "second window, foreground and activation"

# ---- a button that opens a modal question
ui_assert_eq "pending" "$(ui click "${S[@]}" --id 1007 --send-timeout 300)" "sent click into a modal loop"
ui wait --title "Sample Question" --timeout 3000 >/dev/null || ui_fail "question did not appear"
ui click --title "Sample Question" --id 2 --post
ui_assert_eq "Answer 2" "$(ui wait-text "${S[@]}" --id 1003 --match Answer --timeout 3000)" "question cancelled"
ui click "${S[@]}" --id 1007 --post
ui wait --title "Sample Question" --timeout 3000 >/dev/null || ui_fail "question did not appear again"
ui click --title "Sample Question" --id 1
ui wait-gone --title "Sample Question" --timeout 3000 || ui_fail "question did not close"
ui_assert_eq "Answer 1" "$(ui text "${S[@]}" --id 1003)" "question confirmed"
ui_ok "modal question"

# ---- real keyboard and mouse input
ui activate --hwnd "$main"
ui_click_ctl "${S[@]}" --id 1004
edit=$(ui find "${S[@]}" --id 1004)
ui_wait_for 2000 test "$(ui focus --hwnd "$main")" = "$edit" || ui_fail "a click did not focus the edit"
ui settext --hwnd "$edit" ""
ui_type "hello"
ui_assert_eq "hello" "$(ui wait-text --hwnd "$edit" --match 'o$' --timeout 2000)" "typed text"
ui_keydown shift
ui_key Left Left
ui_keyup shift
ui_key Delete
ui_assert_eq "hel" "$(ui wait-text --hwnd "$edit" --match '^hel$' --timeout 2000)" "shift held while moving selects"
ui_ok "keyboard and mouse input"

# ---- screenshot
ui_shot "$tmp/shot.png" || ui_fail "ui_shot failed"
[ -s "$tmp/shot.png" ] || ui_fail "empty screenshot"
ui_assert_eq "PNG" "$(identify -format '%m' "$tmp/shot.png")" "screenshot format"
ui_assert_eq "$(xdotool getdisplaygeometry)" "$(identify -format '%w %h' "$tmp/shot.png")" "screenshot size"
# The dialog's face is light grey; the empty desktop beside it is black.
inside=$(convert "$tmp/shot.png" -crop "${cw}x$ch+$cl+$ct" +repage -format '%[fx:int(255*mean)]' info:)
outside=$(convert "$tmp/shot.png" -crop "100x100+$((wr + 20))+$((wb + 20))" +repage -format '%[fx:int(255*mean)]' info:)
((inside > 150 && outside < 50)) || ui_fail "screenshot does not show the dialog (mean $inside inside, $outside outside)"
ui_ok "screenshot"

# ---- closing by a key; process end (the waiting job runs a driver of its own,
# so that it never shares the server with the calls made meanwhile)
( UI_SERVER_PID="" ui wait-exit --pid "$pid" --timeout 5000 >"$tmp/exit" 2>&1 ) &
waiter=$!
sleep 1.5  # the waiting driver has opened the process by then
ui_key Escape
wait "$waiter" || ui_fail "wait-exit: $(cat "$tmp/exit")"
ui_assert_eq 7 "$(cat "$tmp/exit")" "exit code of the sample (Escape ends it with 7)"
ui wait-gone "${S[@]}" --timeout 2000 || ui_fail "window still there after exit"
ui_assert_eq 0 "$(ui count-procs uisample.exe)" "uisample processes after exit"
ui_assert_eq "running 0" "$(ui proc --pid "$pid" | grep running)" "proc after exit"
ui text --hwnd "$main" >/dev/null 2>&1 && ui_fail "text of a destroyed window succeeded"
ui_ok "closing by Escape"

# A server that stops answering: a call made in a subshell is taken by a
# driver of its own and leaves the server to this shell, which then stops it
# at its own next call and goes on without it.
kill -9 "$UI_SERVER_PID"
wait "$UI_SERVER_PID" 2>/dev/null
ui_assert_eq 0 "$(ui count-procs uisample.exe 2>/dev/null)" "a call in a subshell without an answering server"
[ -n "$UI_SERVER_PID" ] && [ -d "$UI_SERVER_DIR" ] || ui_fail "a subshell took the server away"
ui_assert_eq 0 "$(ui count-procs uisample.exe 2>/dev/null)" "a second such call"
ui count-procs uisample.exe >/dev/null 2>&1
ui_assert_eq 0 "$?" "a call of this shell without an answering server"
[ -z "$UI_SERVER_PID" ] || ui_fail "the server that stopped answering is still in use"
ui_ok "a server that stops answering"

ui_server_stop
ui_assert_eq 1 "$(ui count-procs uidriver.exe)" "driver processes after ui_server_stop (the counting one)"
echo "figures: sample window visible after $start_ms ms; one driver call $single_ms ms, through the" \
  "server $server_ms ms; $n queries in one batch $batch_ms ms;" \
  "sample: $handles handles, $private private bytes, $ws working set"
echo "PASS"
