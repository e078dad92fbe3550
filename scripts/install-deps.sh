#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent: asks apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libgtest-dev libgmock-dev googletest
  nlohmann-json3-dev
  libchm-dev fp-utils
  libftdi1-dev libusb-1.0-0-dev
  xvfb xauth imagemagick x11-apps x11-utils
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-x86-64 wine64 nsis python3-pefile xdotool
  dpkg-dev zip unzip tesseract-ocr tesseract-ocr-eng desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
# A mirror that drops a connection now and then should not fail a build.
$SUDO apt-get -o Acquire::Retries=3 update
$SUDO apt-get -o Acquire::Retries=3 install -y --no-install-recommends "${missing[@]}"
