#!/usr/bin/env bash
# The label tests on a 144-dpi screen: the prefix's resolution is set for this
# run only and put back afterwards.
set -uo pipefail
key='HKCU\Control Panel\Desktop'
restore() { wine reg delete "$key" /v LogPixels /f >/dev/null 2>&1; wineserver -w 2>/dev/null; }
trap restore EXIT
wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
wine reg add "$key" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1 || { echo "FAIL: cannot set the resolution" >&2; exit 1; }
wineserver -w 2>/dev/null
SKIN_TEST_DPI=144 WINEDEBUG=-all wine "$SKIN_TEST" --gtest_filter='Label*'
