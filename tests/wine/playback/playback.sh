# shellcheck shell=bash
# Helpers of the playback tests. Source after tests/wine/lib/ui.sh and
# tests/wine/ui/viewer.sh.

TBM_GETPOS=0x400        # the trackbar queries the bitmap sliders answer
TBM_GETRANGEMAX=0x402

label() { ui text "${MAIN[@]}" --id "$1"; }
label_matches() { [[ "$(label "$1")" =~ $2 ]]; }
slider_pos() { ui send "${MAIN[@]}" --id "$IDC_POSITION_SLIDER" "$TBM_GETPOS"; }
slider_max() { ui send "${MAIN[@]}" --id "$IDC_POSITION_SLIDER" "$TBM_GETRANGEMAX"; }
not_visible() { [ "$(ui visible "${MAIN[@]}" --id "$1")" = 0 ]; }

# The frame code shown in surface $1: "FRAME CHANNEL MIRRORED FLIPPED", or fails.
code_of() { ui framecode "${MAIN[@]}" --id "$1" 2>/dev/null; }
frame_of() { local c; c=$(code_of "$1") || { echo -1; return 1; }; echo "${c%% *}"; }
frame_between() { local f; f=$(frame_of "$1"); [ "$f" -ge "$2" ] && [ "$f" -le "$3" ]; }
# Waits until surface $1 is visible and shows a readable frame code.
playing_wait() {
  ui_wait_for "${2:-8000}" surface_visible "$1" && ui_wait_for "${2:-8000}" code_of "$1" >/dev/null
}
surface_visible() { [ "$(ui visible "${MAIN[@]}" --id "$1")" = 1 ]; }

# A photo surface (a child dialog of the main window) is shown with a size.
photo_shown() {
  ui children "${MAIN[@]}" | awk -F'\t' '$3 == "#32770" && $6 == 1 { split($5, r, ","); if (r[3] - r[1] > 100) found = 1 }
                                          END { exit !found }'
}

# Drags the position slider's thumb to a fraction (0..1) of its track, with real input.
slider_drag_to() {
  local l t r b w h pos max x0 x1 y
  read -r l t r b w h < <(ui rect "${MAIN[@]}" --id "$IDC_POSITION_SLIDER")
  pos=$(slider_pos); max=$(slider_max)
  [ "$max" -gt 0 ] || max=1
  # Thumb centre: 8 px from each end of the track (a 17 px thumb).
  x0=$((l + 8 + (w - 17) * pos / max))
  x1=$(awk -v l="$l" -v w="$w" -v f="$1" 'BEGIN { printf "%d", l + 8 + (w - 17) * f }')
  y=$((t + h / 2))
  xdotool mousemove "$x0" "$y" mousedown 1
  local i
  for i in 1 2 3 4 5 6; do xdotool mousemove $((x0 + (x1 - x0) * i / 6)) "$y"; sleep 0.05; done
  xdotool mouseup 1
}

# Fails when the program folder holds more than $1 play files.
play_files_at_most() {
  local n
  n=$(find "$VIEWER_DIR" -maxdepth 1 -iname '*.avi' | wc -l)
  [ "$n" -le "$1" ] || ui_fail "$n play files in the program folder: $(cd "$VIEWER_DIR" && ls *.avi | xargs)"
}

# Checksum of every file on the card mapped as E:.
card_checksum() {
  local dir
  dir=$(readlink -f "$WINEPREFIX/dosdevices/e:")
  (cd "$dir" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum)
}

# "CHANNEL MIRRORED FLIPPED" of the frame code shown in surface $1, or fails.
code_flags() { local c; c=$(code_of "$1") || return 1; echo "${c#* }"; }
flags_are() { [ "$(code_flags "$1")" = "$2" ]; }

# A copy of the program folder (viewer, device library, map pages) in a new
# temporary folder, printed; the stand-in filters stay registered where they are.
program_copy() {
  local d
  d=$(mktemp -d "${TMPDIR:-/tmp}/program.XXXXXX")
  cp "$VIEWER_DIR/Tessaro.exe" "$VIEWER_DIR/KRVLib.dll" "$d/"
  cp -r "$VIEWER_DIR"/*.htm "$VIEWER_DIR/map" "$d/" 2>/dev/null
  printf '%s\n' "$d"
}
