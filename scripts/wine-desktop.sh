# Shell functions for trying a Windows folder of the tool as a user would, under Wine on an Xvfb
# screen; sourced by check-windows-zips.sh and screenshot-windows.sh.
#
#   desktop_start <work folder>        an Xvfb screen and a fresh Wine prefix in <work folder>, whose
#                                      C: drive is the only drive: nothing of this machine is seen
#   desktop_run <folder in C:> <exe>   starts the program there, in Wine's virtual desktop
#   desktop_open <Windows path>        opens a file there as a double-click would: a program or
#                                      shortcut starts (a shortcut's target in its working folder)
#   desktop_wait_text <text> <secs> [<scale>]
#                                      waits until the screen shows <text> (read by OCR, the
#                                      screen enlarged to <scale> per cent, 200 unless given)
#   desktop_click_text <word> [<dx>]   clicks the first <word> OCR finds, or <dx> pixels left or
#                                      right of its left edge (a check box before its label)
#   desktop_key <key>                  presses a key (xdotool's names: Return, Tab, ...)
#   desktop_screenshot <file.png>      saves the virtual desktop
#   desktop_stop                       ends Wine and the screen

source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

wine_find
desktop_wine=$wine
desktop_wineserver=$wineserver
desktop_size=720x760

desktop_start() {
  desktop_dir=$1
  mkdir -p "$desktop_dir"
  # No menu entries on this machine's desktop for the shortcuts a program makes in the prefix.
  wine_use_prefix "$desktop_dir/wineprefix" "winemenubuilder.exe=d"
  unset WINEPATH QT_PLUGIN_PATH QT_QPA_PLATFORM ZYL_VIRTUAL_CABLE
  xvfb_start 200 1024x900x24
  desktop_xvfb=$xvfb_pid
  export DISPLAY=":$xvfb_number"
  "$desktop_wine" wineboot -i >/dev/null 2>&1 || true
  "$desktop_wineserver" -w
  # Only C: remains: the program cannot reach this machine's files (Qt's build folder, say).
  rm -f "$WINEPREFIX/dosdevices/z:"
}

desktop_run() {
  local folder=$1 exe=$2
  (cd "$WINEPREFIX/drive_c/$folder" &&
    exec "$desktop_wine" explorer "/desktop=ZYL,$desktop_size" "C:\\$folder\\$exe" >/dev/null 2>&1) &
  desktop_program=$!
}

desktop_open() {
  (cd "$WINEPREFIX/drive_c" &&
    exec "$desktop_wine" explorer "/desktop=ZYL,$desktop_size" start.exe "$1" >/dev/null 2>&1) &
  desktop_program=$!
}

desktop_screenshot() {
  import -window root -crop "$desktop_size+0+0" +repage "$1"
}

desktop_text() {
  local shot
  shot=$(mktemp --suffix=.png)
  desktop_screenshot "$shot"
  xvfb_read_text "$shot" "${1:-200}"
  rm -f "$shot"
}

desktop_wait_text() {
  local text=$1 seconds=$2 scale=${3:-200} end=$((SECONDS + $2))
  while [ $SECONDS -lt $end ]; do
    if desktop_text "$scale" | grep -qF "$text"; then return 0; fi
    sleep 2
  done
  echo "wine-desktop: \"$text\" not shown within $seconds s; the screen read:" >&2
  desktop_text "$scale" | sed 's/^/  | /' >&2
  return 1
}

desktop_click_text() {
  local word=$1 dx=${2:-0} shot position
  shot=$(mktemp --suffix=.png)
  desktop_screenshot "$shot"
  convert "$shot" -resize 200% -colorspace Gray -normalize "$shot"
  # tesseract's table: one row per word, its left, top, width and height in columns 7 to 10.
  position=$(tesseract "$shot" - tsv 2>/dev/null |
    awk -F'\t' -v word="$word" -v dx="$dx" \
      '$12 == word { printf "%d %d", $7 / 2 + dx, ($8 + $10 / 2) / 2; exit }')
  rm -f "$shot"
  if [ -z "$position" ]; then
    echo "wine-desktop: \"$word\" not found on the screen" >&2
    return 1
  fi
  # shellcheck disable=SC2086 # "x y"
  xdotool mousemove $position click 1
}

desktop_key() {
  xdotool key "$1"
}

desktop_stop() {
  "$desktop_wineserver" -k >/dev/null 2>&1 || true
  if [ -n "${desktop_xvfb:-}" ]; then kill "$desktop_xvfb" 2>/dev/null || true; fi
  wait 2>/dev/null || true
}
