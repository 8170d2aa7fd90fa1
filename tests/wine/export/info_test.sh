#!/usr/bin/env bash
# The information dialog under Wine: the demo card's firmware version and
# serial number (E:), fields without a NUL, a 90-byte settings file and no
# drive at all; the dialog's size, place and layout; its pixels against the
# background bitmap (placeholders never drawn, empty values show the bare
# background) and the OK button closing it.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${EXPORT_INFO_MAPPED:-}" != 1 ]; then
  EXPORT_INFO_MAPPED=1 exec "$top/scripts/card" run --letter E -- bash "$0"
fi

. "$top/tests/wine/lib/ui.sh"
. "$here/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/export-info.XXXXXX")
cleanup() {
  ui_server_stop
  rm -rf "$work" "$(c_path 'C:\export-test\info')"
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
ui_server_start
card=$("$top/scripts/card" build)
art=${ART_DIR:?set by CTest}

field_to_nul() { dd if="$1" bs=1 skip="$2" count="$3" 2>/dev/null | sed 's/\x0.*//' | tr -d '\n'; }

# Shows the dialog for drive path $1 (run in folder $2 when given); leaves it
# open. INFO: its handle.
info_start() {
  local back=$PWD
  cd "${2:-$back}" || ui_fail "no folder $2"
  host_start info "$1"
  cd "$back" || exit 1
  INFO=$(dialog_of info)
  ui wait --hwnd "$INFO" --visible --timeout 10000 >/dev/null || ui_fail "information dialog not shown"
  xdotool mousemove 0 0
  sleep 0.5
}
info_close() {
  ui click --hwnd "$INFO" --id 1 >/dev/null
  host_wait || ui_fail "host failed: $(cat "$HOST_OUT")"
  ui_assert_eq 1 "$(host_result)" "dialog closed by OK"
}
label() { ui text --hwnd "$INFO" --id "$1"; }
# The dialog's client area as a picture.
info_shot() {
  local l t
  read -r l t _ _ _ _ < <(ui client-rect --hwnd "$INFO")
  ui_shot "$work/screen.png"
  convert "$work/screen.png" -crop "400x300+$l+$t" +repage "$1"
}
# Pixels that differ between pictures $1 and $2 in the rectangle "w h x y".
differ() {
  local g="$3x$4+$5+$6"
  convert "$1" -crop "$g" +repage "$work/a.png" && convert "$2" -crop "$g" +repage "$work/b.png" || return 1
  compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 | awk '{print int($1)}'
}
placeholders_drawn() { grep -Ec " draw ($IDC_INFO_FIRMWARE A123|$IDC_INFO_SERIAL B789)\$" "$HOST_LOG"; }

# ---- the demo card on E:
info_start 'E:\'
fw=$(field_to_nul "$card/menu.cfg" 100 20)
sn=$(field_to_nul "$card/menu.cfg" 84 16)
ui_assert_eq "$fw" "$(label "$IDC_INFO_FIRMWARE")" "firmware version"
ui_assert_eq "$sn" "$(label "$IDC_INFO_SERIAL")" "serial number"
ui_assert_eq "Information|1. View version|Date : 2017-12-20
Version :1.0.0.0|2. Firmware version|3. Serial number" \
  "$(label "$IDC_INFO_TITLE")|$(label "$IDC_INFO_VIEWER_HEADING")|$(label "$IDC_INFO_VIEWER")|$(label "$IDC_INFO_FIRMWARE_HEADING")|$(label "$IDC_INFO_SERIAL_HEADING")" "fixed texts"
read -r l t _ _ w h < <(ui rect --hwnd "$INFO")
ui_assert_eq "400 300" "$w $h" "dialog size"
read -r ol ot _ _ ow oh < <(ui rect --pid "$(ui pid --hwnd "$INFO")" --title 'export host')
[ $((2 * l + w - 2 * ol - ow)) -le 2 ] && [ $((2 * l + w - 2 * ol - ow)) -ge -2 ] &&
  [ $((2 * t + h - 2 * ot - oh)) -le 2 ] && [ $((2 * t + h - 2 * ot - oh)) -ge -2 ] ||
  ui_fail "dialog not centred on its owner ($l,$t ${w}x$h; owner $ol,$ot ${ow}x$oh)"
for spec in "$IDC_INFO_TITLE 10 5 300 25" "$IDC_INFO_VIEWER_HEADING 25 65 250 18" "$IDC_INFO_VIEWER 45 85 250 38" "$IDC_INFO_FIRMWARE_HEADING 25 125 250 18" "$IDC_INFO_FIRMWARE 45 145 250 38" \
  "$IDC_INFO_SERIAL_HEADING 25 185 250 18" "$IDC_INFO_SERIAL 45 205 250 38" "1 125 256 150 32"; do
  read -r id x y cw ch <<<"$spec"
  read -r cl ct _ _ _ _ < <(ui client-rect --hwnd "$INFO")
  read -r il it _ _ iw ih < <(ui rect --hwnd "$INFO" --id "$id")
  ui_assert_eq "$x $y $cw $ch" "$((il - cl)) $((it - ct)) $iw $ih" "place of $id"
done
info_shot "$work/card.png"
cp "$work/card.png" "$top/build/export-info-card.png" 2>/dev/null
bg=$art/375.bmp
ui_assert_eq 0 "$(differ "$work/card.png" "$bg" 100 250 300 30)" "right part of the background"
[ "$(differ "$work/card.png" "$bg" 250 38 45 145)" -gt 20 ] || ui_fail "firmware version not drawn"
[ "$(differ "$work/card.png" "$bg" 250 38 45 205)" -gt 20 ] || ui_fail "serial number not drawn"
convert -size 400x300 xc:black "$art/380.bmp" -geometry +125+256 -composite "$work/ok.png"
ui_assert_eq 0 "$(differ "$work/card.png" "$work/ok.png" 150 32 125 256)" "OK button pixels against bitmap 380"
ui_assert_eq 0 "$(placeholders_drawn)" "placeholder draws"
# A later erase draws the kept background: the same picture again.
ui redraw --hwnd "$INFO" >/dev/null
sleep 0.5
info_shot "$work/again.png"
ui_assert_eq 0 "$(differ "$work/card.png" "$work/again.png" 400 300 0 0)" "the dialog redrawn with its kept background"
info_close
ui_ok "card: firmware '$fw', serial '$sn'; 400x300 centred, labels placed, background and OK button as their bitmaps, the same when redrawn"

# ---- fields without a NUL
dir=$(c_path 'C:\export-test\info\full')
mkdir -p "$dir"
{ head -c 84 /dev/zero; printf 'SN0123456789ABCD'; printf 'FW-20-CHARACTERS-XYZ'; printf 'tail-bytes'; } >"$dir/menu.cfg"
info_start 'C:\export-test\info\full\'
ui_assert_eq "FW-20-CHARACTERS-XYZ" "$(label "$IDC_INFO_FIRMWARE")" "20-character firmware field"
ui_assert_eq "SN0123456789ABCD" "$(label "$IDC_INFO_SERIAL")" "16-character serial field"
info_close
ui_ok "fields without a NUL: all 20 and 16 characters, nothing beyond"

# ---- a 90-byte file
dir=$(c_path 'C:\export-test\info\short')
mkdir -p "$dir"
{ head -c 84 /dev/zero; printf 'KRV90X'; } >"$dir/menu.cfg"
ui_assert_eq 90 "$(stat -c %s "$dir/menu.cfg")" "settings file size"
info_start 'C:\export-test\info\short\'
ui_assert_eq "KRV90X|" "$(label "$IDC_INFO_SERIAL")|$(label "$IDC_INFO_FIRMWARE")" "serial and firmware of a 90-byte file"
info_close
ui_ok "90-byte file: serial 'KRV90X' (bytes 84-89), firmware empty"

# ---- no drive chosen: "menu.cfg" in the current folder, which has none
mkdir -p "$work/nodrive"
info_start '' "$work/nodrive"
ui_assert_eq "|" "$(label "$IDC_INFO_FIRMWARE")|$(label "$IDC_INFO_SERIAL")" "values without a drive"
info_shot "$work/nodrive.png"
cp "$work/nodrive.png" "$top/build/export-info-nodrive.png" 2>/dev/null
ui_assert_eq 0 "$(differ "$work/nodrive.png" "$bg" 250 38 45 145)" "empty firmware label against the background"
ui_assert_eq 0 "$(differ "$work/nodrive.png" "$bg" 250 38 45 205)" "empty serial label against the background"
ui_assert_eq 0 "$(placeholders_drawn)" "placeholder draws"
info_close
ui_ok "no drive: both values empty, their places show the bare background, placeholders never drawn"
