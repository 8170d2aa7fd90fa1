#!/usr/bin/env bash
# Print, Save and Version from the viewer itself, on the playback tests' card
# mapped as E:: Print while a two-channel recording plays writes the two
# snapshots and the report into the chosen folder, sends the report to the
# printer (a PDF in the bench's spool) and leaves the recording paused; Print
# with nothing open does nothing; Save of two ticked rows (a recording and a
# photo) writes an AVI and the photo's bytes and clears the ticks; Version
# shows the card's firmware and serial.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${PLAYBACK_CARD_MAPPED:-}" != 1 ]; then
  card=$(mktemp -d "${TMPDIR:-/tmp}/export-card.XXXXXX")
  "$top/scripts/card" build --plan "$here/../playback/playback_card.plan" --out "$card" >/dev/null || exit 1
  rc=0
  PLAYBACK_CARD_MAPPED=1 PLAYBACK_CARD=$card "$top/scripts/card" run --letter E --card "$card" -- bash "$0" || rc=$?
  rm -rf "$card"
  exit $rc
fi

. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
. "$here/../playback/playback.sh"
. "$here/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/viewer-export.XXXXXX")
trap 'restore_desktop; viewer_end; rm -rf "$work"' EXIT

print_dir='C:\viewer-export\print'
save_dir='C:\viewer-export\save'
rm -rf "$(c_path 'C:\viewer-export')"
mkdir -p "$(c_path "$print_dir")" "$(c_path "$save_dir")" "$PRINT_SPOOL"

# Presses OK in the folder chooser once its folder field names the last
# component of Windows folder $1 (the starting folder is selected a moment
# after the chooser appears); false, after Cancel, when Wine's chooser settled
# on another folder (it now and then selects "/" for a folder made shortly
# before), so that the caller can run its command again.
folder_field_is() { [ "$(ui text "${BROWSER[@]}" --id 14149 2>/dev/null)" = "$1" ]; }
choose_start_folder() {
  ui wait "${BROWSER[@]}" --timeout 20000 >/dev/null || ui_fail "the folder chooser did not open"
  if ui_wait_for 5000 folder_field_is "${1##*\\}"; then
    ui click "${BROWSER[@]}" --id 1 >/dev/null
    return 0
  fi
  echo "note: the chooser selected '$(ui text "${BROWSER[@]}" --id 14149)'; again" >&2
  ui click "${BROWSER[@]}" --id 2 >/dev/null
  ui wait-gone "${BROWSER[@]}" --timeout 10000 >/dev/null
  return 1
}

viewer_fresh
ui_server_start
viewer_start
viewer_file_open
viewer_show_recording R_240701_100200_N2.avi >/dev/null

# Print with nothing open: no chooser.
ui click "${MAIN[@]}" --id "$IDC_PRINT" --post
sleep 1
ui_assert_fails "chooser without an open recording" ui find "${BROWSER[@]}"

# --- Print while playing ---------------------------------------------------
viewer_double_click_row "$IDC_FILE_LIST" 2
playing_wait "$IDC_CHANNEL1_SURFACE" || ui_fail "no picture"
sleep 1.5
spooled=$(ls "$PRINT_SPOOL" 2>/dev/null | wc -l)
set_desktop "$print_dir"
for attempt in 1 2 3 4; do
  ui click "${MAIN[@]}" --id "$IDC_PRINT" --post
  choose_start_folder "$print_dir" && break
  [ $attempt -lt 4 ] || ui_fail "the chooser never selected the print folder"
done
out=$(c_path "$print_dir")
ui_wait_for 10000 compgen -G "$out/*.html" >/dev/null || ui_fail "no report written"
stamp=$(basename "$(ls "$out"/*.html | head -n1)" .html)
ui_assert_match '^[0-9]{8}_[0-9]{9}$' "$stamp" "report stamp"
for f in "${stamp}_A.bmp" "${stamp}_B.bmp" "$stamp.html"; do
  [ -s "$out/$f" ] || ui_fail "$f missing"
done
grep -q 'R_240701_100200_N2.avi' "$out/$stamp.html" || ui_fail "the report does not name the recording"
ui_ok "Print writes both snapshots and the report"
ui wait-gone "${BROWSER[@]}" --timeout 10000 >/dev/null || ui_fail "the chooser stayed"
c=$(ui_wait_for 5000 code_of "$IDC_CHANNEL1_SURFACE") || ui_fail "no picture after Print"
f1=${c%% *}
# Paused: for a second, every picture read shows the same frame. A read that
# finds no code (another window passing over the surface, a capture taken
# while the screen is being updated) is reported with the windows shown then,
# and does not count as a frame.
reads=0
end=$(($(ui_now_ms) + 1000))
while [ "$(ui_now_ms)" -lt "$end" ]; do
  if f=$(frame_of "$IDC_CHANNEL1_SURFACE" 2>/dev/null); then
    ui_assert_eq "$f1" "$f" "frame after Print (paused)"
    reads=$((reads + 1))
  else
    echo "note: no frame code after Print; visible windows:" >&2
    ui windows --visible >&2
  fi
  sleep 0.1
done
[ $reads -ge 3 ] || ui_fail "the paused picture was readable only $reads times in a second"
spool_grew() { [ "$(ls "$PRINT_SPOOL" | wc -l)" -gt "$spooled" ]; }
ui_wait_for 30000 spool_grew || ui_fail "nothing printed"
ui_ok "the report is printed and playback stays paused"

# --- Save of two ticked rows -------------------------------------------------
ui click "${MAIN[@]}" --id "$IDC_STOP" --post
ui lv-check "${MAIN[@]}" --id "$IDC_FILE_LIST" 0 1 >/dev/null
ui lv-check "${MAIN[@]}" --id "$IDC_FILE_LIST" 3 1 >/dev/null
ui_assert_eq "0 3" "$(ui lv-checked "${MAIN[@]}" --id "$IDC_FILE_LIST" | xargs)" "ticked rows"
set_desktop "$save_dir"
for attempt in 1 2 3 4; do
  ui click "${MAIN[@]}" --id "$IDC_SAVE" --post
  choose_start_folder "$save_dir" && break
  # A cancelled choice: "File copy failed" (the ticks stay); again.
  notify_wait 'File copy failed'
  ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
  ui wait-gone "${NOTIFY[@]}" --timeout 10000 >/dev/null
  [ $attempt -lt 4 ] || ui_fail "the chooser never selected the save folder"
done
ui wait-text "${NOTIFY[@]}" --id "$IDC_NOTIFY_TITLE" --match '^Convert end$' --timeout 60000 >/dev/null ||
  ui_fail "no completion question"
ui_assert_match 'Convert and save completed' "$(ui text "${NOTIFY[@]}" --id "$IDC_NOTIFY_MESSAGE")" "completion text"
ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_NO" --post
ui wait-gone "${NOTIFY[@]}" --timeout 10000 >/dev/null || ui_fail "completion question stayed"
out=$(c_path "$save_dir")
[ -s "$out/R_240701_100300_J0.jpg" ] || ui_fail "photo not saved"
ui_assert_eq "ffd8" "$(head -c2 "$out/R_240701_100300_J0.jpg" | od -An -tx1 | tr -d ' ')" "photo starts as a JPEG"
avi=$(ls "$out"/*.avi 2>/dev/null | head -n1)
[ -n "$avi" ] || ui_fail "no AVI saved"
ffprobe -v error "$avi" >/dev/null || ui_fail "ffprobe rejects $avi"
ui_assert_eq "" "$(ui lv-checked "${MAIN[@]}" --id "$IDC_FILE_LIST")" "ticks after the export"
ui_ok "Save writes the recording and the photo and clears the ticks"

# --- Version -------------------------------------------------------------------
ui click "${MAIN[@]}" --id "$IDC_VERSION" --post
ui wait --class '#32770' --visible --id "$IDC_INFO_SERIAL" --timeout 10000 >/dev/null || ui_fail "no information dialog"
# The fields of the card's menu.cfg up to their NUL: serial at 84 (16 bytes), firmware at 100 (20).
field() { dd if="$PLAYBACK_CARD/menu.cfg" bs=1 skip="$1" count="$2" 2>/dev/null | sed 's/\x0.*//' | tr -d '\n'; }
ui_assert_eq "$(field 84 16)" "$(ui text --class '#32770' --visible --id "$IDC_INFO_SERIAL")" "serial number"
ui_assert_eq "$(field 100 20)" "$(ui text --class '#32770' --visible --id "$IDC_INFO_FIRMWARE")" "firmware"
[ -n "$(field 84 16)" ] || ui_fail "the card has no serial number"
ui click --class '#32770' --visible --id 1 --post >/dev/null
ui wait-gone --class '#32770' --visible --id "$IDC_INFO_SERIAL" --timeout 10000 >/dev/null || ui_fail "information dialog stayed"
ui_ok "Version shows the card's firmware and serial"
