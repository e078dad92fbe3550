#!/usr/bin/env bash
# Makes the Windows installer and zips in dist/:
#   ZYLVEK_RDM-<version>-win64-setup.exe  the installer of the tool, its help file and the Qt and
#                                         MinGW runtime DLLs
#   ZYLVEK_RDM-win64.zip                  the same files and README.txt, for a portable copy
#   ZYLVEK_RDM-win64-demo.zip             the zip's with the virtual cable as FTD2XX.DLL beside the
#                                         executable
# Builds Qt for MinGW-w64 first when the cache lacks it (scripts/build-qt-mingw.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# Only built here when missing; the toolchain file is what finds it.
bash scripts/build-qt-mingw.sh >/dev/null
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZYLVEK_RDM vcable

version=$(sed -n 's/^project(ZYLVEK_RDM VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=build-mingw/package
rm -rf "$stage"
mkdir -p "$stage" dist

# What ships is what `cmake --install` puts together (the one list of what the tool loads), in the
# folder the installer is made from (cmake/ZylWindowsInstall.cmake).
tree=$stage/installed
cmake --install build-mingw --prefix "$tree" >/dev/null
# Debugging symbols stay in the build; what ships is stripped.
find "$tree" -iname '*.exe' -o -iname '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded

setup=ZYLVEK_RDM-$version-win64-setup.exe
rm -f "dist/$setup"
(cd build-mingw && cpack -G NSIS >/dev/null)
echo "package-windows: dist/$setup ($(du -k "dist/$setup" | cut -f1) KiB)"

plain=$stage/ZYLVEK_RDM-win64
cp -r "$tree" "$plain"
sed "s/@VERSION@/$version/" packaging/windows/README.txt | sed 's/$/\r/' >"$plain/README.txt"

demo=$stage/ZYLVEK_RDM-win64-demo
cp -r "$plain" "$demo"
cp build-mingw/demo/FTD2XX.dll "$demo/FTD2XX.DLL"
x86_64-w64-mingw32-strip --strip-unneeded "$demo/FTD2XX.DLL"
sed "s/@VERSION@/$version/" packaging/windows/README-demo.txt | sed 's/$/\r/' >"$demo/README.txt"

for folder in "$plain" "$demo"; do
  name=$(basename "$folder")
  rm -f "dist/$name.zip"
  (cd "$stage" && zip -q -r -X "../../dist/$name.zip" "$name")
  echo "package-windows: dist/$name.zip ($(du -k "dist/$name.zip" | cut -f1) KiB)"
done
