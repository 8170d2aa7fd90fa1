#!/usr/bin/env bash
# Print under Wine: the folder chooser's layout, the files one Print writes
# (names, HTML bytes against the report template, the BMP snapshots), a drive
# root, two prints in a row, a cancelled choice, a failed snapshot, and the
# printed page itself (the bench's print handler prints the report to a PDF in
# $PRINT_SPOOL; pdftoppm turns it into a picture whose colours and texts are
# checked).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)

if [ "${EXPORT_ROOT_MAPPED:-}" != 1 ]; then
  # Drive R: is a folder of its own, for prints into a drive root.
  root=$(mktemp -d "${TMPDIR:-/tmp}/export-root.XXXXXX")
  rc=0
  EXPORT_ROOT_MAPPED=1 EXPORT_ROOT=$root "$top/scripts/card" run --no-tmpfs --letter R --card "$root" -- bash "$0" ||
    rc=$?
  rm -rf "$root"
  exit $rc
fi

. "$top/tests/wine/lib/ui.sh"
. "$here/lib.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/export-print.XXXXXX")
cleanup() {
  restore_desktop
  ui_server_stop
  rm -rf "$work" "$(c_path 'C:\export-test\print')"
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT
ui_server_start
SPOOL=${PRINT_SPOOL:?run inside scripts/bench}
RED='rgb(220,40,40)' BLUE='rgb(40,70,220)'
NAME2=R_240612_081306_N2.avi
GPS2='57 mile/s, Lat : 37.566535, Lng : 126.977969'

# The report for two channels (1) or one (0), with LF line ends.
template() {  # two name gps pathA pathB
  local height=630px
  [ "$1" = 1 ] && height=1110px
  cat <<HTML
<body style="margin: 0px 0px 0px 0px">
<table style="width: 850px; height: $height; word-break:break-all;border:1px solid #000" border="0" cellpadding="0" cellspacing="0" align="center">
<tr><td style="font-size:14px;color:#000000" align="center" height="40">
<b>ORVEN VIEWER REPORT &nbsp;
</td></tr>
<tr valign="top">
<tr><td>
&nbsp;&nbsp;&nbsp;File name : $2 
</td></tr>
<tr><td>
</td></tr>
<tr><td>
</td></tr>
<tr><td>
&nbsp;&nbsp;&nbsp;GPS speed :  $3 
</td></tr>
</tr>
<tr valign="top">
<td align="center">
<table border="0" align="center" cellpadding="3" cellspacing="3" style="padding:1px; border:1px solid #000">
<tr><td>
ch.1
</td></tr>
<tr>
<td align="center" colspan="2"><img src="$4" style="width: 800px" style="height: 480px"></td>
</tr>
HTML
  [ "$1" = 1 ] && cat <<HTML
<tr><td>
ch.2
</td></tr>
<tr>
<td align="center" colspan="2"><img src="$5" style="width: 800px" style="height: 480px"></td>
</tr>
HTML
  cat <<'HTML'
<tr>
</tr>
</table>
</td>
</tr>
<tr>
<td>
&nbsp;</td>
</tr>
</table>
HTML
}
# The same with CR LF line ends, as the file must be.
expected_report() { template "$@" | sed 's/$/\r/'; }

# Runs one print into Windows folder $1 (made empty first); the host's other
# arguments follow. Answers the chooser with $CHOICE (ok). Sets STAMPS to the
# stamps written, sorted.
print_into() {
  local folder=$1 dir
  shift
  dir=$(c_path "$folder")
  [[ $folder == R:* ]] && dir=$EXPORT_ROOT
  rm -rf "${dir:?}"/* 2>/dev/null
  mkdir -p "$dir"
  set_desktop "$folder"
  local n=1 i attempt chosen
  [[ " $* " == *" --repeat 2 "* ]] && n=2
  for attempt in 1 2 3 4 5; do
    host_start print "$@"
    chosen=1
    for ((i = 0; i < n; i++)); do
      if [ $chosen = 1 ]; then
        choose_folder "$(tree_text_re "$folder")" || chosen=0
      else
        choose cancel  # the rest of a failed attempt
      fi
      ui wait-gone "${BROWSER[@]}" --timeout 10000 >/dev/null || ui_fail "the chooser stayed open"
    done
    host_wait || ui_fail "print host failed: $(cat "$HOST_OUT")"
    [ $chosen = 1 ] && break
    rm -rf "${dir:?}"/* 2>/dev/null
  done
  [ $chosen = 1 ] || ui_fail "the chooser never selected $folder"
  OUTDIR=$dir
  STAMPS=$(find "$dir" -maxdepth 1 -name '*.html' -printf '%f\n' | sed 's/\.html$//' | sort)
}

# "count width height x y" of the pixels near colour $2 in picture $1.
colour_box() {
  convert "$1" -fuzz 12% -fill 'rgb(0,255,0)' -opaque "$2" -fill white +opaque 'rgb(0,255,0)' \
    -format '%[fx:int((1-mean.b)*w*h+0.5)] ' -write info: -trim -format '%w %h %X %Y\n' info: 2>/dev/null |
    tr -d '+'
}

# Waits for the PDF of stamp $1 in the spool; prints its path.
printed_pdf() {
  local pdf=$SPOOL/$1.pdf
  ui_wait_for 90000 test -s "$pdf" || ui_fail "no printed page $pdf ($(tail -n 3 "$SPOOL/print.log" 2>/dev/null))"
  printf '%s\n' "$pdf"
}

# ---- the chooser's layout; a cancelled choice writes nothing
before=$(ls "$SPOOL" 2>/dev/null | grep -c '\.pdf$')
dir=$(c_path 'C:\export-test\print\cancel')
mkdir -p "$dir"
set_desktop 'C:\export-test\print\cancel'
host_start print 2 "$NAME2" 57.9 37.566535 126.977969
ui wait "${BROWSER[@]}" --timeout 20000 >/dev/null || ui_fail "the folder chooser did not open"
read -r cl ct cr cb cw ch < <(ui client-rect "${BROWSER[@]}")
place() {  # id -> "x y w h" in the chooser's client area
  local l t w h
  read -r l t _ _ w h < <(ui rect "${BROWSER[@]}" --id "$1")
  echo "$((l - cl)) $((t - ct)) $w $h"
}
tree_id=$(ui children "${BROWSER[@]}" | awk -F'\t' '$3 == "SysTreeView32" {print $2; exit}')
read -r nx ny nw nh < <(place 14150)
read -r ox oy ow oh < <(place 1)
read -r kx ky kw kh < <(place 2)
ui_assert_eq "10 10 $((cw - 22)) $((ch - nh - 30))" "$(place "$tree_id")" "tree container place"
ui_assert_eq "10 $((ch - nh - 10))" "$nx $ny" "new-folder button place"
ui_assert_eq "$((cw - kw - ow - 15)) $((ch - oh - 10))" "$ox $oy" "OK place"
ui_assert_eq "$((cw - kw - 10)) $((ch - kh - 10))" "$kx $ky" "Cancel place"
ui_assert_eq 0 "$(ui visible "${BROWSER[@]}" --id 14146)" "title text 14146 visible"
ui_assert_eq 0 "$(ui enabled "${BROWSER[@]}" --id 14146)" "title text 14146 enabled"
ui_ok "chooser laid out: container 10,10 ${cw}x${ch} client, buttons at the bottom; 14146 hidden and disabled"
choose cancel
host_wait || ui_fail "host failed after cancel"
ui_assert_eq 0 "$(host_result)" "PrintReport after cancel"
ui_assert_eq "" "$(ls -A "$dir")" "files written after a cancelled choice"
sleep 1
ui_assert_eq "$before" "$(ls "$SPOOL" 2>/dev/null | grep -c '\.pdf$')" "pages printed after a cancelled choice"
ui_ok "cancelled folder choice: false, nothing written, nothing printed"

# ---- two channels: files, report bytes, snapshots
print_into 'C:\export-test\print\two' 2 "$NAME2" 57.9 37.566535 126.977969
ui_assert_eq 1 "$(host_result)" "PrintReport"
s=$STAMPS
ui_assert_match '^[0-9]{8}_[0-9]{9}$' "$s" "stamp"
ui_assert_match "^($(date +%Y%m%d)|$(date -d '-1 day' +%Y%m%d))_" "$s" "stamp's date"
ui_assert_eq "${s}.html ${s}_A.bmp ${s}_B.bmp" "$(ls "$OUTDIR" | sort | tr '\n' ' ' | sed 's/ $//')" "files"
cmp -s "$OUTDIR/$s.html" <(expected_report 1 "$NAME2" "$GPS2" "C:\\export-test\\print\\two\\${s}_A.bmp" \
  "C:\\export-test\\print\\two\\${s}_B.bmp") || {
  diff <(expected_report 1 "$NAME2" "$GPS2" "C:\\export-test\\print\\two\\${s}_A.bmp" \
    "C:\\export-test\\print\\two\\${s}_B.bmp" | od -c) <(od -c "$OUTDIR/$s.html") | head -20
  ui_fail "two-channel report differs from the template"
}
for ch in A B; do
  ui_assert_match "^BMP3? 640x360$" "$(identify -format '%m %wx%h' "$OUTDIR/${s}_$ch.bmp")" "snapshot $ch"
done
ui_assert_eq "$(convert xc:"$RED" -format '%[pixel:p{0,0}]' info:)" \
  "$(convert "$OUTDIR/${s}_A.bmp" -format '%[pixel:p{20,20}]' info:)" "channel 1 snapshot colour"
ui_assert_eq "$(convert xc:"$BLUE" -format '%[pixel:p{0,0}]' info:)" \
  "$(convert "$OUTDIR/${s}_B.bmp" -format '%[pixel:p{20,20}]' info:)" "channel 2 snapshot colour"
ui_ok "two channels: $s.html (template bytes), ${s}_A.bmp, ${s}_B.bmp"

# The printed page: both pictures, one above the other, 16:9, most of the
# page wide; the report's texts.
pdf=$(printed_pdf "$s")
pdftoppm -r 50 -png -singlefile "$pdf" "$work/two"
cp "$work/two.png" "$top/build/export-print-two.png" 2>/dev/null
read -r pw _ < <(identify -format '%w %h\n' "$work/two.png")
read -r rn rw rh rx ry < <(colour_box "$work/two.png" "$RED")
read -r bn bw bh bx by < <(colour_box "$work/two.png" "$BLUE")
[ "$rn" -gt 1000 ] && [ "$bn" -gt 1000 ] ||
  ui_fail "printed page lacks a picture (red $rn, blue $bn pixels; printer: $(tail -n 3 "$SPOOL/print.log" | tr '\n' ' '))"
[ $((rw * 10)) -gt $((pw * 7)) ] || ui_fail "channel 1 picture too narrow: $rw of $pw"
[ $((rh * 1000 / rw)) -ge 530 ] && [ $((rh * 1000 / rw)) -le 600 ] || ui_fail "channel 1 picture not 16:9: ${rw}x$rh"
[ "$by" -gt $((ry + rh)) ] || ui_fail "channel 2 picture not below channel 1 ($ry+$rh, $by)"
ui_assert_eq "$rw $rh $rx" "$bw $bh $bx" "channel 2 picture's size and column"
text=$(pdftotext -layout "$pdf" - | tr -s ' ')
for want in "ORVEN VIEWER REPORT" "File name : $NAME2" "GPS speed : $GPS2" "ch.1" "ch.2"; do
  [[ $text == *"$want"* ]] || ui_fail "printed page lacks '$want': $text"
done
ui_ok "printed page: ${rw}x$rh red above ${bw}x$bh blue on a $pw-wide page, texts present"

# ---- one channel, a name with a non-ASCII character, zero GPS values
print_into 'C:\export-test\print\one' 1 "R_240612_071002_Né1.avi" 0 0 0
s=$STAMPS
ui_assert_eq "${s}.html ${s}_A.bmp" "$(ls "$OUTDIR" | sort | tr '\n' ' ' | sed 's/ $//')" "one-channel files"
cmp -s "$OUTDIR/$s.html" <(expected_report 0 "$(printf 'R_240612_071002_N\xe91.avi')" \
  '0 mile/s, Lat : 0.000000, Lng : 0.000000' "C:\\export-test\\print\\one\\${s}_A.bmp") ||
  ui_fail "one-channel report differs from the template: $(od -c "$OUTDIR/$s.html" | head -5)"
pdf=$(printed_pdf "$s")
pdftoppm -r 50 -png -singlefile "$pdf" "$work/one"
read -r rn _ < <(colour_box "$work/one.png" "$RED")
read -r bn _ < <(colour_box "$work/one.png" "$BLUE")
[ "$rn" -gt 1000 ] && [ "$bn" -eq 0 ] || ui_fail "one-channel page: red $rn, blue $bn pixels"
[[ $(pdftotext "$pdf" -) != *"ch.2"* ]] || ui_fail "one-channel page shows ch.2"
ui_ok "one channel: two files, 630-pixel table without the ch.2 block (name byte 0xE9 kept), page with one picture"

# ---- a drive root: no doubled backslash
print_into 'R:\' 2 "$NAME2" 57.9 37.566535 126.977969
s=$STAMPS
ui_assert_eq "${s}.html ${s}_A.bmp ${s}_B.bmp" "$(ls "$OUTDIR" | sort | tr '\n' ' ' | sed 's/ $//')" "files in R:\\"
cmp -s "$OUTDIR/$s.html" <(expected_report 1 "$NAME2" "$GPS2" "R:\\${s}_A.bmp" "R:\\${s}_B.bmp") ||
  ui_fail "drive-root report: $(grep -a 'img src' "$OUTDIR/$s.html")"
ui_ok "drive root: files in R:\\, pictures named R:\\${s}_A.bmp"

# ---- two prints in a row: distinct names
print_into 'C:\export-test\print\twice' 2 "$NAME2" 1 2 3 --repeat 2
ui_assert_eq "1 1" "$(host_result)" "both prints"
read -r s1 s2 < <(echo $STAMPS)
[ -n "$s1" ] && [ -n "$s2" ] && [ "$s1" != "$s2" ] || ui_fail "two prints gave stamps '$STAMPS'"
ui_assert_eq 6 "$(ls "$OUTDIR" | wc -l)" "files of two prints"
ui_ok "two prints: $s1 and $s2 ($( [ "${s1:0:15}" = "${s2:0:15}" ] && echo same second || echo different seconds))"

# ---- snapshots that fail: the report still names them
print_into 'C:\export-test\print\nograb' 2 "$NAME2" 57.9 37.566535 126.977969 --grab none
s=$STAMPS
ui_assert_eq "${s}.html" "$(ls "$OUTDIR")" "files without snapshots"
grep -aq "img src=\"C:\\\\export-test\\\\print\\\\nograb\\\\${s}_B.bmp\"" "$OUTDIR/$s.html" ||
  ui_fail "report without snapshots does not name _B.bmp"
printed_pdf "$s" >/dev/null
ui_ok "failed snapshots: only the report, still naming both bitmaps, and it is printed"
