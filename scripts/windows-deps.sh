#!/usr/bin/env bash
# Builds the libraries qvl needs for 64-bit Windows from Debian's own source
# packages, with the MinGW-w64 cross compilers, into a cache folder:
#   $DEPS/prefix      include/, lib/ (static libs, import libs), bin/ (DLLs)
#   $DEPS/stamps/P    "<source version> <build hash>" of the build in place
# A package is rebuilt only when Debian's version, its build steps here or
# the toolchain file changed, so a second run with nothing changed takes seconds.
#
# The sources come through a private apt configuration under $DEPS/apt: its
# own sources.list (deb-src lines for the suites the machine already uses),
# its own lists and cache. The machine's own apt setup is not touched.
#
# SDL2, SDL2_ttf and mpg123 become DLLs (mpg123 is LGPL: shipped as a DLL it
# stays replaceable); zlib, libdeflate, libpng, libjpeg-turbo, FreeType,
# Dear ImGui and googletest are static.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
DEPS="${1:-$ROOT/build-windows/deps}"
HOST=x86_64-w64-mingw32
TOOLCHAIN="$ROOT/cmake/mingw-w64-x86_64.cmake"
PREFIX="$DEPS/prefix"
JOBS="${JOBS:-$(nproc)}"
NICE=(nice -n 10)
mkdir -p "$DEPS"/{apt/etc,apt/state/lists/partial,apt/cache/archives/partial,src,build,stamps} "$PREFIX"

# ---------------------------------------------------------------- private apt
APT=(-o Dir::Etc::SourceList="$DEPS/apt/etc/sources.list" -o Dir::Etc::SourceParts="$DEPS/apt/etc/none"
     -o Dir::State="$DEPS/apt/state" -o Dir::State::status=/var/lib/dpkg/status -o Dir::Cache="$DEPS/apt/cache"
     -o APT::Sandbox::User=root -o Debug::NoLocking=1 -q)

write_sources() {
  # One deb-src line for every Debian suite and component apt already reads.
  apt-cache policy | awk '
    /^ +[0-9]+ (https?|file):\/\//{u=$2; split($3,a,"/"); s=a[1]; c=a[2]; next}
    /release .*o=Debian,/{ if (u!="") print "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] " u, s, c; u="" }' \
    | sort -u > "$DEPS/apt/etc/sources.list.new"
  if [ ! -s "$DEPS/apt/etc/sources.list.new" ]; then
    echo "windows-deps: apt names no Debian suite to take sources from" >&2
    exit 1
  fi
  mv "$DEPS/apt/etc/sources.list.new" "$DEPS/apt/etc/sources.list"
}

lists_fresh() {
  # Source lists younger than a week are reused without asking the mirror.
  [ -n "$(find "$DEPS/apt/state/lists" -maxdepth 1 -name '*Sources*' -mtime -7 2>/dev/null | head -1)" ]
}

if ! lists_fresh; then
  write_sources
  apt-get "${APT[@]}" update >/dev/null
fi

versions_of() {  # every version of source package $1 the lists hold, newest first
  apt-cache "${APT[@]}" showsrc "$1" 2>/dev/null | sed -n "s/^Version: //p" | sort -u | sort -r -V
}

fetch() {  # fetch() PKG: unpacks the newest fetchable version into $DEPS/src/PKG, prints the version
  local pkg="$1" v dir="$DEPS/src/$pkg"
  touch "$dir.unfetchable"
  for v in $(versions_of "$pkg"); do
    if [ -f "$dir/.version" ] && [ "$(cat "$dir/.version")" = "$v" ]; then echo "$v"; return 0; fi
    if grep -qxF "$v" "$dir.unfetchable"; then continue; fi
    rm -rf "$dir.tmp" && mkdir -p "$dir.tmp"
    # A suite's index can name a version its mirror lacks: fall back to the next one.
    # Some mirrors lack upstream's optional signature (.asc) of a tarball apt
    # did fetch and check against the index: unpack without it then.
    if (cd "$dir.tmp" && { apt-get "${APT[@]}" source "$pkg=$v" >.log 2>&1 ||
        { ls ./*.dsc >/dev/null 2>&1 && dpkg-source --no-check -x ./*.dsc >>.log 2>&1; }; } &&
        [ -n "$(find . -mindepth 1 -maxdepth 1 -type d)" ]); then
      rm -rf "$dir" && mv "$dir.tmp" "$dir" && echo "$v" > "$dir/.version"
      echo "$v"
      return 0
    fi
    echo "$v" >> "$dir.unfetchable"
  done
  echo "windows-deps: no version of $pkg could be fetched" >&2
  return 1
}

srcdir() {  # the unpacked tree of package $1
  find "$DEPS/src/$1" -mindepth 1 -maxdepth 1 -type d | head -1
}

cmake_build() {  # cmake_build NAME SOURCEDIR ARGS...: configure, build, install into $PREFIX
  local name="$1" src="$2"; shift 2
  rm -rf "$DEPS/build/$name"
  "${NICE[@]}" cmake -S "$src" -B "$DEPS/build/$name" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQVL_WINDOWS_PREFIX="$PREFIX" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_C_COMPILER_LAUNCHER= -DCMAKE_CXX_COMPILER_LAUNCHER= "$@" >"$DEPS/build/$name.log" 2>&1 \
    || { tail -30 "$DEPS/build/$name.log"; return 1; }
  "${NICE[@]}" cmake --build "$DEPS/build/$name" -j"$JOBS" >>"$DEPS/build/$name.log" 2>&1 \
    || { tail -30 "$DEPS/build/$name.log"; return 1; }
  cmake --install "$DEPS/build/$name" >>"$DEPS/build/$name.log" 2>&1
}

# ------------------------------------------------------------------ packages
build_zlib() {
  # Debian's zlib tree has no Windows makefile: its fifteen C files make libz.a.
  local s o=() f; s="$(srcdir zlib)"
  mkdir -p "$DEPS/build/zlib" "$PREFIX/include" "$PREFIX/lib"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees trees uncompr zutil; do
    "${NICE[@]}" $HOST-gcc-posix -O2 -c "$s/$f.c" -o "$DEPS/build/zlib/$f.o" &
    o+=("$DEPS/build/zlib/$f.o")
    if (( ${#o[@]} % JOBS == 0 )); then wait; fi
  done
  wait
  rm -f "$PREFIX/lib/libz.a"
  $HOST-ar rcs "$PREFIX/lib/libz.a" "${o[@]}"
  cp "$s/zlib.h" "$s/zconf.h" "$PREFIX/include/"
}

build_libdeflate() {
  # Its own makefile knows MinGW; only the static library, and a .pc file.
  local s; s="$(srcdir libdeflate)"
  make -C "$s" clean >/dev/null 2>&1 || true
  "${NICE[@]}" make -C "$s" -j"$JOBS" CC=$HOST-gcc-posix AR=$HOST-ar libdeflatestatic.lib >"$DEPS/build/libdeflate.log" 2>&1
  mkdir -p "$PREFIX/include" "$PREFIX/lib/pkgconfig"
  cp "$s/libdeflate.h" "$PREFIX/include/"
  cp "$s/libdeflatestatic.lib" "$PREFIX/lib/libdeflate.a"
  cat > "$PREFIX/lib/pkgconfig/libdeflate.pc" <<EOF
prefix=$PREFIX
Name: libdeflate
Description: Fast implementation of DEFLATE, zlib and gzip
Version: $(sed -n 's/^#define LIBDEFLATE_VERSION_STRING[[:space:]]*"\(.*\)"/\1/p' "$s/libdeflate.h")
Libs: -L\${prefix}/lib -ldeflate
Cflags: -I\${prefix}/include
EOF
}

build_libpng() {
  cmake_build libpng "$(srcdir libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$PREFIX" -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include"
}

build_libjpeg() {
  cmake_build libjpeg "$(srcdir libjpeg-turbo)" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF
}

build_freetype() {
  cmake_build freetype "$(srcdir freetype)" -DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_HARFBUZZ=ON \
    -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_BROTLI=ON -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include"
}

build_sdl2() {
  cmake_build sdl2 "$(srcdir libsdl2)" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=OFF
}

build_sdl2_ttf() {
  cmake_build sdl2_ttf "$(srcdir libsdl2-ttf)" -DBUILD_SHARED_LIBS=ON -DSDL2TTF_VENDORED=OFF \
    -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF -DSDL2_DIR="$PREFIX/lib/cmake/SDL2" \
    -DFREETYPE_LIBRARY="$PREFIX/lib/libfreetype.a" -DFREETYPE_INCLUDE_DIRS="$PREFIX/include/freetype2" \
    -DCMAKE_C_STANDARD_LIBRARIES="$PREFIX/lib/libz.a"
}

build_mpg123() {
  cmake_build mpg123 "$(srcdir mpg123)/ports/cmake" -DBUILD_SHARED_LIBS=ON -DBUILD_PROGRAMS=OFF \
    -DBUILD_LIBOUT123=OFF -DNO_MOREINFO=ON
  # This build's DLL exports the 64-bit offset names only (mpg123_seek_64):
  # its users must ask for those.
  sed -i 's|^Cflags: \(.*\)$|Cflags: \1 -DMPG123_LARGESUFFIX=_64|' "$PREFIX/lib/pkgconfig/libmpg123.pc"
}

build_imgui() {
  # Dear ImGui ships no build of its own: the core, the SDL2 and OpenGL 2 back
  # ends and its stb rasteriser go into one static library.
  local s; s="$(srcdir imgui)"
  mkdir -p "$DEPS/src/imgui-cmake"
  cat > "$DEPS/src/imgui-cmake/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.20)
project(imgui CXX)
find_package(SDL2 REQUIRED CONFIG)
add_library(imgui STATIC $s/imgui.cpp $s/imgui_draw.cpp $s/imgui_tables.cpp $s/imgui_widgets.cpp
  $s/imgui_demo.cpp $s/backends/imgui_impl_sdl.cpp $s/backends/imgui_impl_opengl2.cpp)
target_include_directories(imgui PRIVATE $s $s/backends)
target_link_libraries(imgui PRIVATE SDL2::SDL2)
install(TARGETS imgui ARCHIVE DESTINATION lib)
install(FILES $s/imgui.h $s/imconfig.h $s/imgui_internal.h $s/imstb_rectpack.h $s/imstb_textedit.h
  $s/imstb_truetype.h DESTINATION include/imgui)
install(FILES $s/backends/imgui_impl_sdl.h $s/backends/imgui_impl_opengl2.h DESTINATION include/imgui/backends)
EOF
  cmake_build imgui "$DEPS/src/imgui-cmake" -DSDL2_DIR="$PREFIX/lib/cmake/SDL2"
}

build_googletest() {
  cmake_build googletest "$(srcdir googletest)" -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF
}

build_nlohmann() {  # header-only: only installed
  cmake_build nlohmann "$(srcdir nlohmann-json3)" -DJSON_BuildTests=OFF -DJSON_Install=ON
}

# name  Debian source package  build function, in dependency order
PACKAGES=(
  "zlib zlib build_zlib"
  "libdeflate libdeflate build_libdeflate"
  "libpng libpng1.6 build_libpng"
  "libjpeg libjpeg-turbo build_libjpeg"
  "freetype freetype build_freetype"
  "sdl2 libsdl2 build_sdl2"
  "sdl2_ttf libsdl2-ttf build_sdl2_ttf"
  "mpg123 mpg123 build_mpg123"
  "imgui imgui build_imgui"
  "googletest googletest build_googletest"
  "nlohmann nlohmann-json3 build_nlohmann"
)

rebuilt=0
for entry in "${PACKAGES[@]}"; do
  read -r name pkg fn <<<"$entry"
  version="$(fetch "$pkg")"
  # The key: Debian's version, this package's build steps, the shared helpers and the toolchain file.
  hash="$({ declare -f "$fn" cmake_build; cat "$TOOLCHAIN"; } | sha256sum | cut -c1-16)"
  want="$version $hash"
  # A rebuild of an earlier package rebuilds everything after it.
  if [ "$rebuilt" = 0 ] && [ -f "$DEPS/stamps/$name" ] && [ "$(cat "$DEPS/stamps/$name")" = "$want" ]; then
    continue
  fi
  start=$SECONDS
  echo "windows-deps: building $name $version"
  "$fn"
  echo "$want" > "$DEPS/stamps/$name"
  echo "windows-deps: $name done in $((SECONDS - start)) s"
  rebuilt=1
done
echo "windows-deps: libraries ready in $PREFIX"
