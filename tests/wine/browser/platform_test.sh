#!/usr/bin/env bash
# The map window with Wine's own browser control: the stand-in is taken out
# of the prefix for the run and registered again afterwards.
set -euo pipefail
top=$(cd "$(dirname "$0")/../../.." && pwd)
trap '"$top/scripts/browser" register --force "$PROGRAM_DIR"' EXIT
"$top/scripts/browser" unregister "$PROGRAM_DIR"
echo "control's server: $("$top/scripts/browser" status "$PROGRAM_DIR")"
"$top/scripts/wine-run" "$BROWSER_TEST" --gtest_filter='PlatformControl.*'
