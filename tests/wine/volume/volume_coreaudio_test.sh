#!/usr/bin/env bash
# The Core Audio path of the volume control: first against the stand-in
# endpoint volume, registered in the prefix in place of the platform's device
# enumerator while the host runs, then against Wine's own once the platform's
# registration is back. Runs inside `scripts/bench run`; HOST and STANDIN come
# from CTest.
set -uo pipefail
key='HKLM\Software\Classes\CLSID\{BCDE0395-E52F-467C-8E3D-C4579291692E}\InprocServer32'
platform_server='C:\windows\system32\mmdevapi.dll'

server_now() {
  wine reg query "$key" /ve 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ[[:space:]]*//p'
}
restore() {
  wine reg add "$key" /ve /d "$original" /f >/dev/null 2>&1
}

# What the prefix has now; a stand-in left behind by an interrupted run is
# replaced by the platform's server.
original=$(server_now)
case "$original" in
  *endpoint_standin*|'') original=$platform_server ;;
esac
trap restore EXIT

standin=$(winepath -w "$STANDIN" 2>/dev/null)
wine reg add "$key" /ve /d "$standin" /f >/dev/null 2>&1 || { echo "FAIL: cannot register the stand-in"; exit 1; }
[ "$(server_now)" = "$standin" ] || { echo "FAIL: stand-in not registered ($(server_now))"; exit 1; }

rc=0
wine "$HOST" --gtest_filter='VersionTest.*:CoreAudio.*' || rc=1

restore
[ "$(server_now)" = "$original" ] || { echo "FAIL: platform registration not restored ($(server_now))"; exit 1; }
wine "$HOST" --gtest_filter='PlatformEndpoint.*' || rc=1
exit $rc
