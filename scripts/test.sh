#!/usr/bin/env bash
# Builds everything and runs all tests headless (offscreen video, dummy audio).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$BUILD_DIR/Makefile" ]; then generator=(-G Ninja); fi
cmake -S . -B "$BUILD_DIR" "${generator[@]}" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_ARGS:-}
cmake --build "$BUILD_DIR" -j"$(nproc)"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 300
