#!/usr/bin/env bash
# Cross-builds Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base source, the same version
# the Linux build uses, and installs it into a cache folder outside the repository:
#
#   ${ZYL_QT_MINGW_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/zylvek-rdm/qt6-mingw-<version>}
#
# Only what the tool and its tests load is built: Core, Gui, Widgets, Test, the windows and offscreen
# platform plugins and the Windows styles. Idempotent: a complete install (marked by a stamp file
# written last) is reused; a partial one is installed again, carrying on with the build folder of an
# interrupted run of the same recipe. Prints the prefix on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

bash scripts/install-deps.sh >&2

qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)   # e.g. 6.4.2+dfsg-10
qt_upstream=${qt_version%%+*}
cache_root=${XDG_CACHE_HOME:-$HOME/.cache}/zylvek-rdm
prefix=${ZYL_QT_MINGW_PREFIX:-$cache_root/qt6-mingw-$qt_upstream}
stamp=$prefix/.zylvek-complete
# What Qt is built with; the stamp records it, so a change here or to the source version rebuilds.
options=(
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF
  # Debian's source leaves out the Wintab header the pen-tablet code needs; the tool needs touch only.
  -DFEATURE_tabletevent=OFF
  # Without OpenGL the windows platform plugin builds only with dynamic GL off too.
  -DFEATURE_dynamicgl=OFF
  # The DirectWrite font database is built only with Direct2D, which the tool does not use: GDI fonts.
  -DFEATURE_directwrite3=OFF
  -DFEATURE_direct2d=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF
  -DFEATURE_zstd=OFF -DFEATURE_openssl=OFF -DFEATURE_sql_sqlite=OFF
  -DFEATURE_androiddeployqt=OFF -DFEATURE_windeployqt=OFF -DFEATURE_qmake=OFF
)
recipe="qt6-base $qt_version; ${options[*]}"

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$recipe" ]; then
  echo "build-qt-mingw: Qt $qt_upstream for MinGW-w64 is complete in $prefix" >&2
  echo "$prefix"
  exit 0
fi

start=$SECONDS
work=${ZYL_QT_MINGW_WORK:-$cache_root/qt6-mingw-work}
rm -rf "$prefix"
if [ -f "$work/build/build.ninja" ] && [ "$(cat "$work/recipe" 2>/dev/null)" = "$recipe" ]; then
  echo "build-qt-mingw: carrying on with the build in $work" >&2
else
  rm -rf "$work"
  mkdir -p "$work"

  # The source comes from the same archive and suite as the binary packages: add a deb-src entry once.
  src_list=/etc/apt/sources.list.d/zylvek-qt-source.sources
  if ! apt-get source --print-uris "qt6-base=$qt_version" >/dev/null 2>&1; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO tee "$src_list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    $SUDO apt-get -o Acquire::Retries=3 update >&2
  fi

  echo "build-qt-mingw: fetching qt6-base $qt_version source" >&2
  (cd "$work" && apt-get -o Acquire::Retries=3 source --only-source "qt6-base=$qt_version" >&2)
  src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
  if [ -z "$src" ]; then
    echo "build-qt-mingw: no qt6-base source folder in $work" >&2
    exit 1
  fi

  # Qt links the MinGW runtime dynamically (libstdc++-6.dll and friends), as the tool does: one C++
  # runtime per process, shared by the executable, Qt and every other DLL.
  echo "build-qt-mingw: configuring" >&2
  cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" -DZYL_TOOLCHAIN_FOR_QT=ON \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${options[@]}" \
    >"$work/configure.log" 2>&1 || {
      tail -n 60 "$work/configure.log" >&2
      exit 1
    }
  echo "$recipe" >"$work/recipe"
fi

echo "build-qt-mingw: building (about 1,000 steps)" >&2
cmake --build "$work/build" --parallel "$(nproc)" >"$work/build.log" 2>&1 || {
  tail -n 60 "$work/build.log" >&2
  exit 1
}
cmake --install "$work/build" >"$work/install.log" 2>&1 || {
  tail -n 40 "$work/install.log" >&2
  exit 1
}

rm -rf "$work"
echo "$recipe" >"$stamp"
echo "build-qt-mingw: Qt $qt_upstream for MinGW-w64 installed in $prefix in $(((SECONDS - start) / 60)) min $(((SECONDS - start) % 60)) s" >&2
echo "$prefix"
