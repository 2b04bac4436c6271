#!/usr/bin/env bash
# Capture speed against render speed. For a built demo directory (default
# build/example) at 800x600 and 1280x720 prints the --timedemo frame rate,
# the PNG capture frame rate, their ratio, and the video export frame rate.
# All three are frames over wall time of the whole run (start-up and loading
# included), so they compare like with like.
#
#   bench/capture_bench.sh [DEMO_DIR] [RATE]      (RATE: frames a second, default 60)
# QVLPLAY names the player (default build/qvlplay).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
demo="$(cd "${1:-$root/build/example}" && pwd)"
rate="${2:-60}"
player="${QVLPLAY:-$root/build/qvlplay}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

fps() {  # fps FRAMES SECONDS
  awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", (s > 0 ? n / s : 0) }'
}
seconds_of() {  # seconds_of COMMAND...: runs it and prints its wall time
  local start end
  start=$(date +%s.%N)
  "$@" >"$out/line" 2>"$out/err" || { cat "$out/err" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

printf '%-10s %8s %12s %12s %7s %12s\n' size frames timedemo png-capture ratio video-mp4
for size in 800x600 1280x720; do
  s=$(seconds_of "$player" -C "$demo" --timedemo --rate "$rate" --size "$size")
  frames=$(sed -n 's/.*timedemo: \([0-9]*\) frames in .*/\1/p' "$out/line")
  td=$(fps "$frames" "$s")
  rm -rf "$out/png"
  s=$(seconds_of "$player" -C "$demo" --capture "$out/png" --rate "$rate" --size "$size")
  png=$(fps "$(find "$out/png" -name '*.png' | wc -l)" "$s")
  rm -f "$out/v.mp4"
  if command -v ffmpeg >/dev/null; then
    s=$(seconds_of "$player" -C "$demo" --capture "$out/v.mp4" --rate "$rate" --size "$size")
    video=$(fps "$frames" "$s")
  else
    video="no-ffmpeg"
  fi
  ratio=$(awk -v p="$png" -v t="$td" 'BEGIN { printf "%.2f", (t > 0 ? p / t : 0) }')
  printf '%-10s %8s %12s %12s %7s %12s\n' "$size" "$frames" "$td" "$png" "$ratio" "$video"
done
