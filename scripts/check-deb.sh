#!/usr/bin/env bash
# Tries the Debian package as a technician would: makes it with cpack, installs it with apt, starts
# the installed command on an Xvfb screen, and removes it again.
#   no cable (this machine's USB stack)            the missing-cable box
#   the emulated FT232R chip in place of libusb    "VEK-340 - Ready", through the installed driver
#                                                  library and Debian's libftdi1
#   removed                                        nothing the package installed is left
# Run as root (or with sudo) after the default build: scripts/check-deb.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/xvfb.sh

build=$PWD/${1:-build}
work=$build/deb-check
chip=$build/usb-chip
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

[ -f "$chip/libusb-1.0.so.0" ] || { echo "check-deb: no emulated chip in $chip (build first)" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
rm -f dist/zylvek-rdm_*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log")
deb=$(ls dist/zylvek-rdm_*_"$(dpkg --print-architecture)".deb)
echo "check-deb: made $deb"

# A machine that had it already installed would hide a missing dependency or file.
if dpkg-query -W zylvek-rdm >/dev/null 2>&1; then $SUDO apt-get purge -y zylvek-rdm >/dev/null; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o Acquire::Retries=3 install -y --no-install-recommends "./$deb" >"$work/install.log"
dpkg-query -L zylvek-rdm >"$work/files"

failed=0
fail() {
  echo "check-deb: FAILED: $*" >&2
  failed=1
}

for f in /usr/bin/zylvek-rdm /usr/lib/zylvek-rdm/ZYLVEK_RDM /usr/lib/zylvek-rdm/ZYLVEK_RDM.chm \
  /usr/lib/zylvek-rdm/libftd2xx.so /usr/share/applications/zylvek-rdm.desktop \
  /usr/share/icons/hicolor/256x256/apps/zylvek-rdm.png /usr/lib/udev/rules.d/70-zylvek-rdm.rules; do
  [ -e "$f" ] || fail "$f not installed"
done
desktop-file-validate /usr/share/applications/zylvek-rdm.desktop || fail "desktop entry not valid"
grep -q 'ATTR{idVendor}=="0403", ATTR{idProduct}=="6001", TAG+="uaccess"' \
  /usr/lib/udev/rules.d/70-zylvek-rdm.rules || fail "udev rule lacks the FT232R uaccess tag"
# The installed driver library is the one built on libftdi1, and the system resolves all it needs.
# (ldd's output is taken whole first: a grep that stops at its first match would cut ldd off, and
# under pipefail that broken pipe reads as a failure.)
driver_libraries=$(ldd /usr/lib/zylvek-rdm/libftd2xx.so)
grep -q 'libftdi1\.so\.2 => /' <<<"$driver_libraries" || fail "libftd2xx.so is not bound to libftdi1"
all_libraries=$(ldd /usr/lib/zylvek-rdm/ZYLVEK_RDM /usr/lib/zylvek-rdm/libftd2xx.so)
if grep -q 'not found' <<<"$all_libraries"; then
  fail "a library the installed files need is missing"
fi

# start_and_read <name> <expected text> [env assignments...]: the installed command on a screen of
# its own, with a home of its own so no setting of this machine reaches it.
start_and_read() {
  local name=$1 expected=$2 status=1 end
  shift 2
  mkdir -p -m 700 "$work/$name-home"
  xvfb_start 300 1024x900x24
  (exec env -u ZYL_VIRTUAL_CABLE -u ZYL_VIRTUAL_CABLE_CAPTURE -u QT_QPA_PLATFORM -u LD_LIBRARY_PATH \
    DISPLAY=":$xvfb_number" HOME="$work/$name-home" XDG_RUNTIME_DIR="$work/$name-home" "$@" \
    zylvek-rdm >"$work/$name.log" 2>&1) &
  local program=$!
  end=$((SECONDS + 90))
  while [ $SECONDS -lt $end ]; do
    sleep 2
    import -display ":$xvfb_number" -window root "$work/$name.png" 2>/dev/null || continue
    if xvfb_read_text "$work/$name.png" | grep -qF "$expected"; then
      status=0
      break
    fi
  done
  kill "$program" 2>/dev/null || true
  wait "$program" 2>/dev/null || true
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  if [ $status -eq 0 ]; then
    echo "check-deb: installed program, $name: shows \"$expected\""
  else
    fail "installed program, $name: \"$expected\" not shown within 90 s; screenshot $work/$name.png"
  fi
}

start_and_read no-cable "Unable to locate ZYL USB/DMX cable"
# libftdi1 loads libusb-1.0.so.0 by name: the emulated chip's folder first makes it the USB stack.
start_and_read emulated-chip "VEK-340 - Ready" LD_LIBRARY_PATH="$chip"

$SUDO apt-get purge -y zylvek-rdm >"$work/remove.log"
while IFS= read -r path; do
  if [ -L "$path" ] || [ -f "$path" ]; then
    fail "$path left after removal"
  elif [ -d "$path" ] && [ -z "$(ls -A "$path")" ]; then
    fail "empty folder $path left after removal"
  fi
done <"$work/files"
[ -e /usr/lib/zylvek-rdm ] && fail "/usr/lib/zylvek-rdm left after removal"
[ $failed -eq 0 ] && echo "check-deb: installed, started and removed cleanly"
exit $failed
