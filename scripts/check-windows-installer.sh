#!/usr/bin/env bash
# Tries the Windows installer as IT and a technician would, in a fresh Wine prefix that sees nothing
# of this machine, on an Xvfb screen:
#   1. the setup program and the installed executable are 64-bit and carry the product, the maker,
#      the version and the icon in their file properties
#   2. silent install ("/S"): the files in Program Files\<maker>\<product>, FTD2XX.DLL not among
#      them, a Start-menu shortcut to the installed executable, no desktop shortcut, the uninstall
#      entry of Settings, Apps (name, version, publisher, icon, size)
#   3. started from the Start-menu shortcut, with the virtual cable copied beside the installed
#      executable for the test: "VEK-340 - Ready"
#   4. installed again by hand over it, desktop shortcut ticked: the last page says the tool needs
#      FTDI's D2XX driver (the prefix has none), and the desktop shortcut is made
#   5. silent uninstall: no file, folder, shortcut or registry key left
#   6. an older version (this one renumbered, with a file this one lacks, made here) installed
#      silently, then this one over it: the older version's file is gone
#   7. installed again by hand with FTD2XX.DLL in the system folder: no word of the driver
# Run scripts/package-windows.sh first. Screenshots land in build-mingw/installer-check/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/wine-desktop.sh

version=$(sed -n 's/^project(ZYLVEK_RDM VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
product=$(sed -n 's/^set(ZYL_PRODUCT_NAME "\(.*\)")$/\1/p' cmake/ZylPackageInfo.cmake)
maker=$(sed -n 's/^set(ZYL_MAKER "\(.*\)")$/\1/p' cmake/ZylPackageInfo.cmake)
setup=dist/ZYLVEK_RDM-$version-win64-setup.exe
tree=build-mingw/package/installed # what the installer carries (cmake/ZylWindowsInstall.cmake)
vcable=build-mingw/demo/FTD2XX.dll
work=$PWD/build-mingw/installer-check

for f in "$setup" "$tree/ZYLVEK_RDM.exe" "$vcable"; do
  [ -f "$f" ] || { echo "check-windows-installer: $f is missing (run scripts/package-windows.sh)" >&2; exit 1; }
done

failures=0
fail() {
  echo "check-windows-installer: FAILED: $*" >&2
  failures=$((failures + 1))
}
say() { echo "check-windows-installer: [$SECONDS s] $*"; }
# step_done <what the step shows>: says it, or that the step failed (the reasons are above).
step_failures=0
step_done() {
  if [ $failures -eq $step_failures ]; then say "$*"; else say "FAILED: $*"; fi
  step_failures=$failures
}

/usr/bin/python3 scripts/check-windows-resources.py "$setup" "$version" "$product" "$maker" >/dev/null ||
  fail "the setup program's file properties"

rm -rf "$work"
mkdir -p "$work"
trap desktop_stop EXIT
desktop_start "$work"
drive_c=$WINEPREFIX/drive_c
dir_win="C:\\Program Files\\$maker\\$product"
dir=$drive_c/Program\ Files/$maker/$product
start_menu=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/$product.lnk
start_menu_win="C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\$product.lnk"
desktop_link=$drive_c/users/Public/Desktop/$product.lnk
key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"

# wine_c <program> [args...]: runs a Windows program from C:\ to its end.
wine_c() { (cd "$drive_c" && "$desktop_wine" "$@" </dev/null >/dev/null 2>&1); }
# An uninstaller hands over to a copy of itself and returns at once: wait for every program.
wine_c_all() {
  wine_c "$@"
  "$desktop_wineserver" -w
}
# read_key: reads the uninstall entry; key_value <name>: one of its values as "reg query" prints
# it ("" when absent).
read_key() {
  (cd "$drive_c" && "$desktop_wine" reg query "$key" 2>/dev/null) | tr -d '\r' >"$work/key.txt" || true
}
key_value() {
  sed -n "s/^ *$1 *REG_[A-Z_]* *//p" "$work/key.txt"
}
end_programs() {
  "$desktop_wineserver" -k >/dev/null 2>&1 || true
  wait "$desktop_program" 2>/dev/null || true
}

# install_by_hand <name> <tick the desktop shortcut: yes|no>: the pages as a user steps through
# them with the Enter key; leaves the last page on screen.
install_by_hand() {
  local name=$1 desktop=$2
  cp "$setup" "$drive_c/setup.exe"
  desktop_open 'C:\setup.exe'
  desktop_wait_text "Welcome to" 60 && desktop_key Return &&
    desktop_wait_text "Choose Components" 30 &&
    { [ "$desktop" = no ] || desktop_click_text Desktop -12; } && desktop_key Return &&
    desktop_wait_text "Choose Install Location" 30 && desktop_key Return &&
    desktop_wait_text "Completing" 120 || {
    desktop_screenshot "$work/$name.png"
    fail "$name: the installer's pages did not run through; screenshot $work/$name.png"
    return 1
  }
  desktop_screenshot "$work/$name.png"
}
finish_by_hand() {
  desktop_key Return
  wait "$desktop_program" 2>/dev/null || true
  "$desktop_wineserver" -w
}

# --- 2. Silent install into the fresh prefix ---
cp "$setup" "$drive_c/setup.exe"
wine_c 'C:\setup.exe' /S || fail "silent install ended with an error"
"$desktop_wineserver" -w
[ -f "$dir/ZYLVEK_RDM.exe" ] || { fail "silent install: nothing in $dir"; exit 1; }
(cd "$tree" && find . -type f) | sort >"$work/expected-files"
(cd "$dir" && find . -type f ! -name Uninstall.exe) | sort >"$work/installed-files"
diff -u "$work/expected-files" "$work/installed-files" >&2 || fail "installed files differ from the zip's"
[ -n "$(find "$dir" -iname ftd2xx.dll)" ] && fail "the installer ships FTD2XX.DLL"
[ -f "$dir/Uninstall.exe" ] || fail "no uninstaller"
/usr/bin/python3 scripts/check-windows-resources.py "$dir/ZYLVEK_RDM.exe" "$version" "$product" "$maker" ||
  fail "the installed executable's file properties"
[ -f "$start_menu" ] || fail "no Start-menu shortcut $start_menu"
# A shortcut holds its target's path as text (LinkInfo), in the file's code page or in UTF-16.
{ strings "$start_menu"; strings -el "$start_menu"; } | grep -iF "$dir_win\\ZYLVEK_RDM.exe" >/dev/null ||
  fail "the Start-menu shortcut does not name $dir_win\\ZYLVEK_RDM.exe"
[ -e "$desktop_link" ] && fail "a desktop shortcut without asking"
read_key
[ "$(key_value DisplayName)" = "$product" ] || fail "uninstall entry: DisplayName"
[ "$(key_value DisplayVersion)" = "$version" ] || fail "uninstall entry: DisplayVersion"
[ "$(key_value Publisher)" = "$maker" ] || fail "uninstall entry: Publisher"
[ "$(key_value DisplayIcon)" = "$dir_win\\ZYLVEK_RDM.exe,0" ] || fail "uninstall entry: DisplayIcon"
[ "$(key_value UninstallString)" = "\"$dir_win\\Uninstall.exe\"" ] || fail "uninstall entry: UninstallString"
size_kib=$(($(key_value EstimatedSize)))
actual_kib=$(du -sk --apparent-size "$dir" | cut -f1)
# Settings, Apps shows the size in KiB; it should be the folder's within rounding of each file.
[ "$size_kib" -gt $((actual_kib * 9 / 10)) ] && [ "$size_kib" -le $((actual_kib + 100)) ] ||
  fail "uninstall entry: EstimatedSize $size_kib KiB for a folder of $actual_kib KiB"
step_done "silent install: $(wc -l <"$work/installed-files") files, Start-menu shortcut, uninstall entry ($size_kib KiB)"

# --- 3. Started from the Start menu, beside the virtual cable ---
cp "$vcable" "$dir/FTD2XX.DLL"
desktop_open "$start_menu_win"
desktop_wait_text "VEK-340 - Ready" 120 || fail "started from the Start menu: \"VEK-340 - Ready\" not shown"
sleep 1 # the rest of the reading shown on the screenshot
desktop_screenshot "$work/started-from-start-menu.png"
step_done "started from the Start menu: \"VEK-340 - Ready\""
end_programs
rm "$dir/FTD2XX.DLL"

# --- 4. By hand over the installed copy, desktop shortcut ticked; the prefix has no D2XX driver ---
if install_by_hand by-hand-no-driver yes; then
  desktop_wait_text "needs FTDI's D2XX driver" 10 300 || fail "the last page does not name FTDI's D2XX driver"
  finish_by_hand
  [ -f "$desktop_link" ] || fail "no desktop shortcut though ticked"
  [ -f "$dir/ZYLVEK_RDM.exe" ] || fail "installed by hand over the installed copy: no executable"
fi
end_programs
step_done "by hand: the last page names FTDI's D2XX driver; desktop shortcut made"

# --- 5. Silent uninstall ---
wine_c_all "$dir_win\\Uninstall.exe" /S || fail "silent uninstall ended with an error"
[ -e "$drive_c/Program Files/$maker" ] && fail "left after uninstall: $(find "$drive_c/Program Files/$maker" | head -5)"
[ -e "$start_menu" ] && fail "Start-menu shortcut left after uninstall"
[ -e "$desktop_link" ] && fail "desktop shortcut left after uninstall"
wine_c reg query "$key" && fail "uninstall entry left after uninstall"
step_done "silent uninstall: no file, shortcut or key left"

# --- 6. Over an older version with a file this one lacks ---
old=$work/older
mkdir -p "$old/extra/platforms"
echo "a plug-in of the older version" >"$old/extra/platforms/qminimal.dll"
(cd build-mingw && cpack -G NSIS -D CPACK_PACKAGE_VERSION=1.0.0 -D CPACK_PACKAGE_FILE_NAME=older-setup \
  -D "CPACK_INSTALLED_DIRECTORIES=$PWD/package/installed;.;$old/extra;." \
  -D "CPACK_PACKAGE_DIRECTORY=$old" -D CPACK_NSIS_COMPRESSOR=zlib >"$old/cpack.log")
cp "$old/older-setup.exe" "$drive_c/older-setup.exe"
wine_c 'C:\older-setup.exe' /S || fail "silent install of the older version ended with an error"
read_key
[ -f "$dir/platforms/qminimal.dll" ] && [ "$(key_value DisplayVersion)" = 1.0.0 ] ||
  fail "the older version did not install"
wine_c 'C:\setup.exe' /S || fail "silent install over the older version ended with an error"
read_key
[ -e "$dir/platforms/qminimal.dll" ] && fail "the older version's platforms/qminimal.dll left behind"
[ -f "$dir/ZYLVEK_RDM.exe" ] && [ "$(key_value DisplayVersion)" = "$version" ] ||
  fail "installed over the older version: not version $version"
step_done "installed over version 1.0.0: its extra file is gone, version $version registered"

# --- 7. By hand with FTDI's library in the system folder ---
cp "$vcable" "$drive_c/windows/system32/FTD2XX.DLL"
if install_by_hand by-hand-with-driver no; then
  desktop_text 300 >"$work/by-hand-with-driver.txt"
  grep -F "is installed" "$work/by-hand-with-driver.txt" >/dev/null || fail "the last page does not say the tool is installed"
  grep -F "needs FTDI" "$work/by-hand-with-driver.txt" >/dev/null && fail "the last page asks for the driver the PC has"
  finish_by_hand
  [ -e "$desktop_link" ] && fail "a desktop shortcut though not ticked"
fi
step_done "by hand with the driver present: no word of it"

if [ $failures -eq 0 ]; then say "all passed; screenshots in $work"; fi
[ $failures -eq 0 ]
