#!/usr/bin/env bash
# Makes the Windows zips in dist/:
#   ZYLVEK_RDM-win64.zip       the tool, its help file, the Qt and MinGW runtime DLLs and README.txt
#   ZYLVEK_RDM-win64-demo.zip  the same with the virtual cable as FTD2XX.DLL beside the executable
# Builds Qt for MinGW-w64 first when the cache lacks it (scripts/build-qt-mingw.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
export ZYL_QT_MINGW_PREFIX=${ZYL_QT_MINGW_PREFIX:-$(bash scripts/build-qt-mingw.sh)}
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target ZYLVEK_RDM vcable

version=$(sed -n 's/^project(ZYLVEK_RDM VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=build-mingw/package
rm -rf "$stage"
mkdir -p "$stage" dist

# The shipped folder is what `cmake --install` puts together (the one list of what the tool loads).
plain=$stage/ZYLVEK_RDM-win64
cmake --install build-mingw --prefix "$plain" >/dev/null
# Debugging symbols stay in the build; what ships is stripped.
find "$plain" -iname '*.exe' -o -iname '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
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
