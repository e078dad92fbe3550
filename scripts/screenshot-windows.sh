#!/usr/bin/env bash
# Starts the Windows demo copy (the executable beside the virtual cable) under Wine on an Xvfb
# screen, waits for "Ready" and saves docs/screenshot-windows.png. Makes the zips first when
# dist/ lacks the demo one.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-desktop.sh

[ -f dist/ZYLVEK_RDM-win64-demo.zip ] || bash scripts/package-windows.sh
work=$PWD/build-mingw/screenshot
trap desktop_stop EXIT
rm -rf "$work"
desktop_start "$work"
unzip -q dist/ZYLVEK_RDM-win64-demo.zip -d "$WINEPREFIX/drive_c"
desktop_run ZYLVEK_RDM-win64-demo ZYLVEK_RDM.exe
desktop_wait_text "VEK-340 - Ready" 120
sleep 1 # the rest of the reading shown
desktop_screenshot docs/screenshot-windows.png
echo "screenshot-windows: docs/screenshot-windows.png"
