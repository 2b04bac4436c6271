#!/usr/bin/env bash
# Cross-builds qvl for 64-bit Windows on Linux and writes
# dist/qvl-windows-x64.zip:
#   qvl-windows-x64/qvlplay.exe, qvl.exe, the DLLs they load, a font with
#     Arial's metrics (and its licence), README.txt
#   qvl-windows-x64/showcase/ the showcase demo with its own qvlplay.exe and
#     DLLs, so that double-clicking it there plays it
# Steps: system packages (scripts/install-deps.sh), the libraries from
# Debian's sources (scripts/windows-deps.sh, cached), the showcase demo from
# the native build, the cross build with warnings as errors, the folder, the
# DLL check (scripts/check-windows-dlls.sh), the zip.
# BUILD_DIR (default build-windows) holds everything but the zip; the native
# build is NATIVE_BUILD_DIR (default build).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT="$PWD"
OUT="${BUILD_DIR:-build-windows}"
NATIVE="${NATIVE_BUILD_DIR:-build}"
NAME=qvl-windows-x64
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

bash scripts/install-deps.sh
bash scripts/windows-deps.sh "$ROOT/$OUT/deps"

# The showcase demo, made by the native tool (the same bytes on either system).
if [ ! -f "$NATIVE/CMakeCache.txt" ]; then
  cmake -S . -B "$NATIVE" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$NATIVE" -j"$(nproc)" --target example qvl qvlplay

cmake -S . -B "$OUT/qvl" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" -DQVL_WINDOWS_PREFIX="$ROOT/$OUT/deps/prefix" \
  -DQVL_BENCH=OFF -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$OUT/qvl" -j"$(nproc)"

# ------------------------------------------------------------------ the folder
STAGE="$OUT/zip/$NAME"
rm -rf "$OUT/zip"
mkdir -p "$STAGE/showcase"
DLLS=(SDL2.dll SDL2_ttf.dll libmpg123.dll)
FONT=/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf
for dir in "$STAGE" "$STAGE/showcase"; do
  for dll in "${DLLS[@]}"; do cp "$OUT/deps/prefix/bin/$dll" "$dir/"; done
  x86_64-w64-mingw32-strip -o "$dir/qvlplay.exe" "$OUT/qvl/qvlplay.exe"
  cp "$FONT" "$dir/"
  cp /usr/share/doc/fonts-liberation2/copyright "$dir/LiberationSans-LICENSE.txt"
done
x86_64-w64-mingw32-strip -o "$STAGE/qvl.exe" "$OUT/qvl/qvl.exe"
find "$NATIVE/example" -maxdepth 1 -type f -exec cp {} "$STAGE/showcase/" \;
sed 's/$/\r/' > "$STAGE/README.txt" <<'EOF'
qvl for Windows (64-bit)
========================

qvlplay.exe plays demo.qvl from the folder it is started in: copy it (with the
DLLs beside it) into a demo's folder and double-click it, or run it from a
command prompt there. "qvlplay.exe --help" lists its options. The showcase
folder is a demo with its player already beside it: open it and double-click
qvlplay.exe.

qvl.exe is the command-line tool: "qvl.exe --help" lists its commands (build a
demo.qvl from a JSON description, dump one, check one, render an image).

Nothing is installed and nothing on the machine is changed: the programs run
from this folder, also from a read-only medium.

Video export ("qvlplay.exe --capture film.mp4 --rate 60") needs ffmpeg.exe
beside qvlplay.exe or on PATH. File and folder names may hold any letters
(Windows 10 version 1903 or later). Where Windows has no Arial, the frame-rate text uses
LiberationSans-Regular.ttf beside the program (SIL Open Font License,
LiberationSans-LICENSE.txt).

Included libraries: SDL2 and SDL2_ttf (zlib licence), FreeType (FreeType
licence), mpg123 (LGPL 2.1, as the replaceable libmpg123.dll), libjpeg-turbo,
libdeflate, zlib and Dear ImGui (their permissive licences), each built from
Debian's source package.
EOF

bash scripts/check-windows-dlls.sh "$STAGE"

mkdir -p dist
rm -f "dist/$NAME.zip"
(cd "$OUT/zip" && zip -q -r -X "$ROOT/dist/$NAME.zip" "$NAME")
echo "build-windows: dist/$NAME.zip ($(du -k "dist/$NAME.zip" | cut -f1) KiB)"
