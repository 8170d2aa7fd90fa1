# shellcheck shell=bash
# Helpers of the export tests (source after tests/wine/lib/ui.sh). The test
# host (EXPORT_HOST) runs one component under a plain owner window and writes
# its events to a log; the tests drive the dialogs with real messages.
#
# Folder choice: the chooser starts at the user's desktop folder, so a test
# chooses folder X by making X the desktop folder (User Shell Folders) and
# pressing OK. Folders on C: (the prefix's own disk) and mapped drive letters
# are selected reliably; Z: folders are not (the shell's items of a folder
# whose time changes under it, such as /tmp, stop matching).

EXPORT_HOST=${EXPORT_HOST:?set by CTest}
DESKTOP_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
BROWSER=(--title 'Browse for Folder' --visible)

set_desktop() { wine reg add "$DESKTOP_KEY" /v Desktop /t REG_EXPAND_SZ /d "$1" /f >/dev/null 2>&1; }
restore_desktop() { set_desktop '%USERPROFILE%\Desktop'; }

# Unix path of a C: path of the prefix ("C:\export-test\out" -> ...).
c_path() { local p=${1#C:\\}; printf '%s/drive_c/%s\n' "$WINEPREFIX" "${p//\\//}"; }

# host_start ARGS...: the host in the background, events in $HOST_LOG, its
# output in $HOST_OUT (both in the test's folder $work); host_wait: its exit
# code (CR removed from the output).
host_start() {
  HOST_LOG=$(mktemp "${work:?work folder of the test}/host-log.XXXXXX")
  HOST_OUT=$(mktemp "$work/host-out.XXXXXX")
  ui_start_host "$@"
}
ui_start_host() {
  if [ -n "${UI_SERVER_PID:-}" ]; then
    wine "$EXPORT_HOST" --log "$(winepath -w "$HOST_LOG")" "$@" >"$HOST_OUT" 2>/dev/null \
      {UI_SERVER_IN}>&- {UI_SERVER_OUT}<&- &
  else
    wine "$EXPORT_HOST" --log "$(winepath -w "$HOST_LOG")" "$@" >"$HOST_OUT" 2>/dev/null &
  fi
  HOST_PID=$!
}
host_wait() {
  local rc=0 i
  for i in $(seq 600); do
    kill -0 "$HOST_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$HOST_PID" 2>/dev/null && { kill "$HOST_PID"; ui_fail "test host did not end"; }
  wait "$HOST_PID" || rc=$?
  sed -i 's/\r$//' "$HOST_OUT"
  return $rc
}
host_result() { awk '/^result / {print $2}' "$HOST_OUT" | tr '\n' ' ' | sed 's/ $//'; }

# The handle of the last dialog of a kind (progress, notify, info) the host
# opened, waiting up to DIALOG_WAIT_MS (10000) for it.
dialog_of() {
  local h="" tries=$((${DIALOG_WAIT_MS:-10000} / 50))
  for _ in $(seq "$tries"); do
    h=$(awk -v k="$1" '$2 == "dialog" && $3 == k {h = $4} END {print h}' "$HOST_LOG")
    [ -n "$h" ] && ui info --hwnd "$h" >/dev/null 2>&1 && break
    h=""
    sleep 0.05
  done
  [ -n "$h" ] || ui_fail "no $1 dialog"
  printf '%s\n' "$h"
}

# Presses OK (or Cancel) in the folder chooser once it is up.
choose() {  # ok|cancel
  ui wait "${BROWSER[@]}" --timeout 20000 >/dev/null || ui_fail "the folder chooser did not open"
  sleep 0.3
  ui click "${BROWSER[@]}" --id "$([ "$1" = ok ] && echo 1 || echo 2)" >/dev/null
}

# The chooser's tree item selected last (its text), from the host's log.
tree_selection() { awk '$2 == "tree-select" {$1 = $2 = ""; t = substr($0, 3)} END {print t}' "$HOST_LOG"; }

# Presses OK once the chooser shows the folder whose tree text matches $1;
# false (after pressing Cancel) when it settled on another one. Wine's
# browser now and then fails to select the starting folder it is given and
# stays on another item; the tests then run the command again.
choose_folder() {  # regex of the folder's tree text
  local want=$1
  ui wait "${BROWSER[@]}" --timeout 20000 >/dev/null || ui_fail "the folder chooser did not open"
  if ui_wait_for 3000 eval '[[ $(tree_selection) =~ $want ]]'; then
    ui click "${BROWSER[@]}" --id 1 >/dev/null
    return 0
  fi
  echo "note: the chooser selected '$(tree_selection)', not /$want/; again" >&2
  ui click "${BROWSER[@]}" --id 2 >/dev/null
  return 1
}

# The tree text of a chosen folder: its last component, or "(X:)" for a root.
tree_text_re() {
  local f=${1%\\}
  if [[ $f =~ ^([A-Za-z]):$ ]]; then printf '\\(%s:\\)' "${BASH_REMATCH[1]}"; else printf '^%s$' "${f##*\\}"; fi
}

# Waits for a notification, prints "TITLE<TAB>MESSAGE" (escaped as the driver does).
notify_read() {
  local h title message
  h=$(dialog_of notify)
  ui wait --hwnd "$h" --visible --timeout 10000 >/dev/null || ui_fail "notification not shown"
  title=$(ui text --hwnd "$h" --id "$IDC_NOTIFY_TITLE")
  message=$(ui text --hwnd "$h" --id "$IDC_NOTIFY_MESSAGE")
  message=${message//$'\r'/\\r}
  message=${message//$'\n'/\\n}
  printf '%s\t%s\n' "$title" "$message"
}
notify_answer() { ui click --hwnd "$(dialog_of notify)" --id "$([ "$1" = yes ] && echo "$IDC_NOTIFY_YES" || echo "$IDC_NOTIFY_NO")" >/dev/null; }
