#!/usr/bin/env bash
# Start-up checks of the playback filters in the viewer: without the source
# filter (and without the decoder) only the source is reported, "Can not find
# source filter." / "Filter error2"; with only the decoder missing, "Can not
# find video filter (ffdshow)." / "Filter error"; start-up goes on either way.
# The filters are registered again at the end.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../../.." && pwd)
. "$here/../lib/ui.sh"
. "$here/../ui/viewer.sh"
restore() {
  viewer_end
  "$top/scripts/filters" register "$VIEWER_DIR"
}
trap restore EXIT
source_key='HKCR\CLSID\{0998B6CF-702F-4F08-9638-53CC7C3A86D5}'
decoder_key='HKCR\CLSID\{2BD6A557-9A76-4DAF-805E-C1FA73C9CF0D}'

# Starts the viewer, expects the message $1 titled $2, answers it, checks that start-up went on.
expect_message() {
  viewer_fresh
  ui_server_start
  ui_start "$VIEWER_DIR/Tessaro.exe"
  VIEWER_PID=$UI_LAST_PID
  notify_wait "$1"
  ui_assert_eq "$2" "$(ui text "${NOTIFY[@]}" --id "$IDC_NOTIFY_TITLE")" "caption"
  ui click "${NOTIFY[@]}" --id "$IDC_NOTIFY_YES" --post
  ui wait-gone "${NOTIFY[@]}" --timeout 5000 >/dev/null || ui_fail "message stayed"
  ui wait-text "${MAIN[@]}" --id "$IDC_CLOCK" --match '^Time : ' --timeout 5000 >/dev/null || ui_fail "start-up stopped"
  ui_assert_eq 1 "$(viewer_count)" "viewer still running"
  viewer_end
}

"$top/scripts/filters" register "$VIEWER_DIR"
wine reg delete "$source_key" /f >/dev/null 2>&1
wine reg delete "$decoder_key" /f >/dev/null 2>&1
expect_message '^Can not find source filter\.$' "Filter error2"
ui_ok "source and decoder missing: only the source reported"

"$top/scripts/filters" register "$VIEWER_DIR"
wine reg delete "$decoder_key" /f >/dev/null 2>&1
expect_message '^Can not find video filter \(ffdshow\)\.$' "Filter error"
ui_ok "decoder missing reported"

# All there: no message; the main window comes up by itself.
"$top/scripts/filters" register "$VIEWER_DIR"
viewer_fresh
ui_server_start
viewer_start
sleep 1
if ui find "${NOTIFY[@]}" >/dev/null 2>&1; then ui_fail "a message with every filter registered"; fi
ui_ok "no message with every filter there"
