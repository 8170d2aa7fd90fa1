#!/usr/bin/env bash
# Save under Wine, with the stand-in device library and the demo card as the
# removable drive E:: the two error messages, the export of ticked recordings
# and a photo (AVIs that decode to the end with the recordings' frame and
# sample counts, the photo's bytes as on the card), the progress bars, the
# completion question for a long folder and a drive root, "explore" only on
# its first button, a full target file system (F:, a small tmpfs) and the card
# removed while the export runs.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${EXPORT_SAVE_MAPPED:-}" != 1 ]; then
  # E: the demo card; F: an empty card with about 1 MiB free; R: a folder.
  empty=$(mktemp -d "${TMPDIR:-/tmp}/export-full.XXXXXX")
  root=$(mktemp -d "${TMPDIR:-/tmp}/export-root.XXXXXX")
  rc=0
  EXPORT_SAVE_MAPPED=1 EXPORT_ROOT=$root "$top/scripts/card" run --letter E -- \
    "$top/scripts/card" run --letter F --card "$empty" --free 1 -- \
    "$top/scripts/card" run --no-tmpfs --letter R --card "$root" -- bash "$0" || rc=$?
  rm -rf "$empty" "$root"
  exit $rc
fi

. "$top/tests/wine/lib/ui.sh"
. "$here/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/export-save.XXXXXX")
EXPLORE_KEY='HKLM\Software\Classes\Folder\shell\explore'
cleanup() {
  restore_desktop
  wine reg delete "$EXPLORE_KEY" /f >/dev/null 2>&1
  ui_server_stop
  rm -rf "$work" "$(c_path 'C:\export-test\save')"
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
# "explore" is recorded, not carried out.
VERBS=$work/verbs.log
wine reg add "$EXPLORE_KEY\\command" /ve /t REG_SZ \
  /d "C:\\windows\\system32\\start.exe /unix \"$here/record-verb\" \"$VERBS\" explore \"%1\"" /f >/dev/null 2>&1
ui_server_start
LIBDIR=$(winepath -w "${PROGRAM_DIR:?set by CTest}")
card=$("$top/scripts/card" build)
cardtool=$("$top/scripts/card" tool)
FPS=10 RATE=16000  # demo/card.plan

# Card facts: "seconds channels" of a recording; the data file of a name.
rec_info() { "$cardtool" list "$card" | awk -v n="$1" '$6 == n {print $3, $2}'; }
card_file() {
  local idx=$card/KRVDATA/INDEX.KRV count i name id
  count=$(od -An -tu4 -j16 -N4 "$idx" | tr -d ' ')
  for ((i = 0; i < count; i++)); do
    name=$(dd if="$idx" bs=1 skip=$((32 + 64 * i + 16)) count=40 2>/dev/null | tr -d '\0')
    if [ "$name" = "$1" ]; then
      id=$(od -An -tu4 -j$((32 + 64 * i + 4)) -N4 "$idx" | tr -d ' ')
      ls "$card/KRVDATA/" | grep -i "^$(printf '%08X' "$id")\." | sed "s|^|$card/KRVDATA/|"
      return
    fi
  done
}
short_folder() {
  local f=$1 tail=$1
  [ ${#f} -gt 8 ] && tail=${f: -8}
  printf '%s..%s' "${f:0:18}" "$tail"
}
# ui send of PBM_GETPOS (WM_USER+8).
bar_pos() { ui send --hwnd "$1" --id "$2" WM_USER+8; }
activity() { awk -v id="$IDC_PROGRESS_STEP" '$2 == "pos" && $3 == id {printf "%s ", $4}' "$HOST_LOG" | sed 's/ $//'; }

# Runs a save of the names into Windows folder $1; leaves the completion
# question open. FOLDER_DIR: its Unix folder (made empty first).
save_start() {
  local folder=$1
  shift
  FOLDER_DIR=$(c_path "$folder")
  case "$folder" in
    R:*) FOLDER_DIR=$EXPORT_ROOT ;;
    F:*) FOLDER_DIR=$(readlink -f "$WINEPREFIX/dosdevices/f:") ;;
  esac
  [[ $folder == [RF]:* ]] && [ "$folder" != "${folder:0:2}\\" ] && ui_fail "only the roots of R: and F: are used"
  rm -rf "${FOLDER_DIR:?}"/* 2>/dev/null
  mkdir -p "$FOLDER_DIR"
  set_desktop "$folder"
  local attempt
  for attempt in 1 2 3 4 5; do
    host_start save "$LIBDIR" E "$@"
    choose_folder "$(tree_text_re "$folder")" && return
    notify_read >/dev/null
    notify_answer yes
    host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
  done
  ui_fail "the chooser never selected $folder"
}
expect_text() {  # folder failed total first
  local short
  short=$(short_folder "$1")
  if [ "$2" = 0 ]; then
    printf 'Convert end\tConvert and save completed where folder is\\n%s\\nDo you want to open the folder?' "$short"
  else
    printf 'Convert end\tConvert and save failed for %s of %s files.\\nFirst failed: %s\\nFolder is %s\\nDo you want to open the folder?' \
      "$2" "$3" "$4" "$short"
  fi
}

# ---- nothing ticked
host_start save "$LIBDIR" E
ui_assert_eq $'File error2\tSelected file do not exist. \\r\\nSelect a file in the list.' "$(notify_read)" "message"
notify_answer yes
host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
ui_assert_eq 0 "$(host_result)" "SaveChecked with nothing ticked"
grep -q 'dialog other' "$HOST_LOG" && ui_fail "the folder chooser opened with nothing ticked"
ui_ok "nothing ticked: 'File error2' message, false"

# ---- cancelled folder choice
set_desktop 'C:\export-test'
host_start save "$LIBDIR" E R_240612_071002_N1.avi
choose cancel
ui_assert_eq $'File copy error\tFile copy failed. \\r\\nTry again.' "$(notify_read)" "message"
notify_answer yes
host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
ui_assert_eq 0 "$(host_result)" "SaveChecked after cancel"
grep -q 'dialog progress' "$HOST_LOG" && ui_fail "export started after a cancelled choice"
ui_ok "cancelled folder: 'File copy error' message, false, no export"

# ---- three recordings and a photo
NAMES=(R_240612_071002_N1.avi R_240612_081306_N2.avi R_240612_071314_J0.jpg R_240612_121350_E2.avi)
save_start 'C:\export-test\save\main' "${NAMES[@]}"
text=$(notify_read)
progress=$(dialog_of progress)
ui_assert_eq "3 4" "$(bar_pos "$progress" "$IDC_PROGRESS_STEP") $(bar_pos "$progress" "$IDC_PROGRESS_ALL")" "activity and overall bars at the end"
ui_assert_eq 1 "$(ui visible --hwnd "$progress" --id "$IDC_PROGRESS_STEP")" "activity bar visible"
ui_assert_eq 0 "$(ui visible --hwnd "$progress" --id "$IDC_PROGRESS_ALL")" "overall bar visible"
ui_assert_eq "Requesting action" "$(ui text --hwnd "$progress" --id "$IDC_PROGRESS_LABEL")" "progress label"
ui_assert_eq "$(expect_text 'C:\export-test\save\main\' 0)" "$text" "completion question"
notify_answer no
host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
ui_assert_eq 1 "$(host_result)" "SaveChecked"
ui_assert_eq "1 2 0 1 3" "$(activity)" "activity bar positions"
ui_assert_eq "$(printf '%s\n' "${NAMES[@]}" | sort)" "$(ls "$FOLDER_DIR" | sort)" "files saved"
for n in R_240612_071002_N1.avi R_240612_081306_N2.avi R_240612_121350_E2.avi; do
  f=$FOLDER_DIR/$n
  read -r secs chans < <(rec_info "$n")
  [ -z "$(ffprobe -v error "$f" 2>&1)" ] || ui_fail "ffprobe complains about $n: $(ffprobe -v error "$f" 2>&1 | head -3)"
  [ -z "$(ffmpeg -nostdin -v error -i "$f" -f null - 2>&1)" ] || ui_fail "$n does not decode cleanly"
  frames=$(ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 "$f" |
    tr '\n' ' ' | sed 's/ $//')
  want=$(for ((c = 0; c < chans; c++)); do printf '%s ' $((secs * FPS)); done | sed 's/ $//')
  ui_assert_eq "$want" "$frames" "$n video frames per channel"
  bytes=$(ffmpeg -nostdin -v error -i "$f" -map 0:a -f s16le -ac 1 - | wc -c)
  ui_assert_eq $((secs * RATE)) $((bytes / 2)) "$n audio samples"
done
cmp -s "$FOLDER_DIR/R_240612_071314_J0.jpg" "$(card_file R_240612_071314_J0.jpg)" ||
  ui_fail "the photo's bytes differ from the card's"
sleep 1
[ ! -s "$VERBS" ] || ui_fail "explore invoked on the second button: $(cat "$VERBS")"
ui_ok "3 recordings + photo: AVIs decode with their frames and samples, photo bytes equal, bars 1 2 0 1 3, second button opens nothing"

# ---- three files, a long folder, the first button explores it
long='C:\export-test\save\Backup of the recorder card\'
save_start "$long" R_240612_080003_N1.avi R_240612_122448_J0.jpg R_240612_120849_R1.avi
ui_assert_eq "$(expect_text "$long" 0)" "$(notify_read)" "completion question for a long folder"
notify_answer yes
host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
ui_assert_eq "1 2 0 3" "$(activity)" "activity bar positions for three files"
ui_wait_for 10000 test -s "$VERBS" || ui_fail "explore not invoked on the first button"
ui_assert_eq "explore ${long%\\}" "$(sed 's/\\$//' "$VERBS")" "explore's argument"
ui_assert_eq 3 "$(ls "$FOLDER_DIR" | wc -l)" "files saved in the long folder"
ui_ok "long folder: shortened to '$(short_folder "$long")', bars 1 2 0 3, first button explores it"

# ---- a drive root
: > "$VERBS"
save_start 'R:\' R_240613_092258_J0.jpg
ui_assert_eq "$(expect_text 'R:\' 0)" "$(notify_read)" "completion question for R:\\"
notify_answer no
host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
ui_assert_eq "R_240613_092258_J0.jpg" "$(ls "$EXPORT_ROOT")" "photo in the drive root"
ui_ok "drive root: R:\\..R:\\, photo saved in R:\\"

# ---- a full target file system
save_start 'F:\' R_240612_071002_N1.avi R_240612_082243_J0.jpg R_240612_080003_N1.avi
ui_assert_eq "$(expect_text 'F:\' 2 3 R_240612_071002_N1.avi)" "$(notify_read)" "completion text on a full disk"
notify_answer no
host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
ui_assert_eq "R_240612_082243_J0.jpg" "$(ls -A "$FOLDER_DIR")" "what the full disk holds"
cmp -s "$FOLDER_DIR/R_240612_082243_J0.jpg" "$(card_file R_240612_082243_J0.jpg)" || ui_fail "photo on F: differs"
ui_ok "full target: 'failed for 2 of 3 files', first named, no partial files left"

# ---- the card removed while the export runs
mapfile -t ALL < <("$cardtool" list "$card" | awk '{print $6}')
save_start 'C:\export-test\save\removed' "${ALL[@]}"
ui_wait_for 20000 grep -q '^[0-9.]* pos 1035 1$' "$HOST_LOG" || ui_fail "the export did not start"
rm -f "$WINEPREFIX/dosdevices/e:"
text=$(notify_read)
[[ $text =~ failed\ for\ ([0-9]+)\ of\ ${#ALL[@]}\ files ]] || ui_fail "no failures reported after the card went: $text"
failed=${BASH_REMATCH[1]}
notify_answer no
host_wait || ui_fail "host failed after the card was removed"
ui_assert_eq 1 "$(host_result)" "SaveChecked after the card was removed"
saved=$(ls "$FOLDER_DIR" | grep -vc '\.part$')
ui_assert_eq "${#ALL[@]}" $((saved + failed)) "saved + failed"
ui_ok "card removed during the export: $failed of ${#ALL[@]} reported not saved, $saved saved, the host ended normally"
