#!/usr/bin/env bash
# Remakes docs/showcase.png, the README's picture strip: five frames of the
# built showcase (build/example) captured with qvlplay, side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
inputs=()
for ms in 10000 24000 36000 44000 52000; do
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
    build/qvlplay -C build/example --capture "$tmp/$ms" --rate 1 --size 320x240 --from "$ms" --to "$ms" >/dev/null
  inputs+=(-i "$tmp/$ms/000000.png")
done
mkdir -p docs
ffmpeg -loglevel error -y "${inputs[@]}" -filter_complex hstack=inputs=5 -compression_level 9 docs/showcase.png
echo "docs/showcase.png"
