#!/usr/bin/env bash
# Tries both Windows zips as a technician would: each is unpacked into an empty folder of a fresh
# Wine prefix that sees nothing of this machine, and started on an Xvfb screen.
#   ZYLVEK_RDM-win64.zip       no cable: the missing-cable box is shown
#   ZYLVEK_RDM-win64-demo.zip  the virtual cable beside it: "VEK-340 - Ready"
# Run scripts/package-windows.sh first. Screenshots of both land in build-mingw/zip-check/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-desktop.sh

work=$PWD/build-mingw/zip-check
trap desktop_stop EXIT

try_zip() {
  local name=$1 expected=$2
  local zip=dist/$name.zip
  [ -f "$zip" ] || { echo "check-windows-zips: $zip is missing (run scripts/package-windows.sh)" >&2; return 1; }
  rm -rf "$work/$name"
  desktop_start "$work/$name"
  unzip -q "$zip" -d "$WINEPREFIX/drive_c"
  desktop_run "$name" ZYLVEK_RDM.exe
  local status=0
  desktop_wait_text "$expected" 120 || status=1
  desktop_screenshot "$work/$name.png"
  desktop_stop
  if [ $status -eq 0 ]; then
    echo "check-windows-zips: $name shows \"$expected\""
  else
    echo "check-windows-zips: $name FAILED, screenshot $work/$name.png" >&2
  fi
  return $status
}

failed=0
try_zip ZYLVEK_RDM-win64 "Unable to locate ZYL USB/DMX cable" || failed=1
try_zip ZYLVEK_RDM-win64-demo "VEK-340 - Ready" || failed=1
exit $failed
