#!/usr/bin/env bash
# The winmm path of the volume control. The prefix reports Windows XP to the
# test host while this runs. First on Wine's own mixer, then on the stand-in
# mixer beside the host; each query failure's message box is read with the
# uidriver and dismissed. Runs inside `scripts/bench run`; HOST and UIDRIVER
# come from CTest.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../lib/ui.sh"

app="HKCU\\Software\\Wine\\AppDefaults\\$(basename "$HOST")"
log=$(mktemp)
cleanup() {
  wine reg delete "$app" /f >/dev/null 2>&1
  rm -f "$log"
}
trap cleanup EXIT
wine reg add "$app" /v Version /d winxp /f >/dev/null 2>&1 || ui_fail "cannot set the host's Windows version"
base_overrides=${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}

run_host() {  # OVERRIDE FILTER: run the host in the foreground
  WINEDLLOVERRIDES="${base_overrides}winmm=$1" wine "$HOST" --gtest_filter="$2"
}

run_host b 'WinmmVersion.*:WinmmHost.*' || ui_fail "on Wine's mixer"
ui_ok "Wine's mixer"
run_host n 'StandinQuiet.*' || ui_fail "on the stand-in mixer"
ui_ok "stand-in mixer"

box=(--class '#32770' --visible)
no_box() { ! ui find "${box[@]}" >/dev/null 2>&1; }

# CASE TITLE TEXT: the case shows exactly one message box with this title and
# text, and passes once it is dismissed.
expect_box() {
  local case=$1 title=$2 text=$3 pid
  WINEDLLOVERRIDES="${base_overrides}winmm=n" wine "$HOST" --gtest_filter="MixerMessage.$case" >"$log" 2>&1 &
  pid=$!
  # The driver is asked again when it ends early: once, on a new machine, a
  # wait for the box ended at once with no word from the driver.
  if ! ui_wait_for 20000 ui wait "${box[@]}" --timeout 2000 >/dev/null; then
    kill "$pid" 2>/dev/null; wait "$pid"; cat "$log"
    ui_fail "$case: no message box"
  fi
  ui_assert_eq "$title" "$(ui text "${box[@]}")" "$case: title"
  ui_assert_eq "$text" "$(ui text "${box[@]}" --id 65535)" "$case: text"
  ui click "${box[@]}" --id 2 --post >/dev/null 2>&1 || ui click "${box[@]}" --id 1 --post >/dev/null ||
    ui_fail "$case: cannot dismiss the box"
  # It ends without another box.
  ui_wait_for 20000 bash -c "! kill -0 $pid 2>/dev/null" || {
    no_box || ui_fail "$case: a second message box: $(ui text "${box[@]}")"
    kill "$pid" 2>/dev/null
  }
  if ! wait "$pid"; then cat "$log"; ui_fail "$case: host failed"; fi
  ui_ok "$case: \"$title\" / \"$text\""
}

expect_box CapabilitiesThroughTheHandle "시스템 정보 오류" "등록된 장치의 정보를 읽을 수 없습니다."
expect_box SpeakersLineInfo "장치 정보 오류" "내부함수 수행중 오류(MixerGetLineInfo)"
expect_box SpeakersLineWithoutControls "장치 오류" "사용 가능한 기능 부재"
expect_box SpeakersLineControls "장치 정보 오류" "내부함수 수행중 오류(mixerGetLineControls)"
expect_box ReadingTheVolume "내부 함수 오류" "내부함수 오류(mixerGetControlDetails)"
expect_box WritingTheVolume "내부 함수 오류" "내부 함수 오류(mixerSetControlDetails)"
