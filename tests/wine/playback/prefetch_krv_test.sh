#!/usr/bin/env bash
# The next-recording prefetch over the stand-in device library, on a card of
# its own (built once from the plan below) mapped as the removable drive K:.
#   prefetch_krv_test.sh TEST_EXE PROGRAM_DIR WORK_DIR
# Runs inside `scripts/bench run`.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
exe=$1 prog=$2 work=$3
mkdir -p "$work"
cat > "$work/plan" <<'PLAN'
card serial=KRV24A0000001 firmware=T video=640x360 fps=30 quality=60 audio=16000 photo=640x360
rec normal N 240614 090000 12 1 route=seoul
rec normal N 240614 090100 40 2 route=seoul
rec event  E 240614 090200 12 1 route=seoul
rec photo  J 240614 090300
PLAN
card=$("$top/scripts/card" build --plan "$work/plan" --out "$work/card")
winpath() { echo "Z:$1" | tr '/' '\\'; }
"$top/scripts/card" run --no-tmpfs --letter k --card "$card" -- \
  "$top/scripts/wine-run" "$exe" "$(winpath "$prog")" K
