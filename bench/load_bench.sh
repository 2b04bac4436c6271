#!/usr/bin/env bash
# Load time to the first frame of a demo with sixteen 2048x2048 JPEG
# textures, made here with ffmpeg in a temporary directory. Each figure is
# the player's wall time for one --timedemo frame at time 0 (start-up,
# loading, the frame, shutdown), best of RUNS; an empty demo gives the part
# that is not loading. Prints the images read one after another
# (--load-threads 1) and on one thread a core.
#
#   bench/load_bench.sh [BUILD_DIR] [RUNS]      (default build, 3)
# QVLPLAY and QVL name the player and the tool (default BUILD_DIR/qvlplay, BUILD_DIR/qvl).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
runs="${2:-3}"
player="${QVLPLAY:-$build/qvlplay}"
tool="${QVL:-$build/qvl}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

command -v ffmpeg >/dev/null || { echo "load: needs ffmpeg to make the images" >&2; exit 1; }
mkdir -p "$work/sixteen" "$work/empty"
# A test picture with grain: about 1 MB a file, like a photograph at quality 90.
ffmpeg -v error -f lavfi -i "testsrc2=s=2048x2048:r=1" -vf "noise=alls=10:allf=t" -frames:v 16 -q:v 3 \
  "$work/sixteen/tex%02d.jpg"
{
  printf '{"title": "sixteen", "textures": ['
  for i in $(seq -w 1 16); do
    [ "$i" = 01 ] || printf ', '
    printf '{"Name": "t%s", "FileName": "tex%s.jpg", "Typ": 3}' "$i" "$i"
  done
  printf ']}\n'
} >"$work/sixteen.json"
echo '{"title": "empty"}' >"$work/empty.json"
"$tool" build "$work/sixteen.json" -o "$work/sixteen/demo.qvl"
"$tool" build "$work/empty.json" -o "$work/empty/demo.qvl"

best_of() {  # best_of DIR ARGS...: "WALL CPU" in seconds of the run with the shortest wall time of RUNS
  local dir="$1" best="" line
  shift
  for _ in $(seq "$runs"); do
    # bash's own time: wall, then user + system CPU of the player.
    line=$( { TIMEFORMAT='%R %U %S'; time "$player" -C "$dir" --timedemo --to 0 "$@" >/dev/null 2>"$work/err"; } 2>&1 ) ||
      { cat "$work/err" >&2; exit 1; }
    line=$(awk '{ printf "%.3f %.3f", $1, $2 + $3 }' <<<"$line")
    best=$(awk -v b="$best" -v l="$line" 'BEGIN { split(l, n, " "); split(b, o, " "); print (b == "" || n[1] < o[1]) ? l : b }')
  done
  echo "$best"
}

read -r empty emptyCpu <<<"$(best_of "$work/empty")"
read -r serial serialCpu <<<"$(best_of "$work/sixteen" --load-threads 1)"
read -r parallel parallelCpu <<<"$(best_of "$work/sixteen")"
cores=$(nproc)
echo "load: sixteen 2048x2048 JPEGs to the first frame, best of $runs (wall s / CPU s):"
printf 'load:   one after another %s / %s, %s threads %s / %s, speed-up %.2fx; empty demo %s / %s\n' \
  "$serial" "$serialCpu" "$cores" "$parallel" "$parallelCpu" \
  "$(awk -v s="$serial" -v p="$parallel" 'BEGIN { print (p > 0 ? s / p : 0) }')" "$empty" "$emptyCpu"
