#!/usr/bin/env bash
# Every speed figure of the project in one run.
#  1. The showcase (build/example) at 800x600, 1280x720 and 1920x1080:
#     --timedemo, PNG capture and video export (.mp4) in frames a second,
#     each over the wall time of the whole run (start-up and loading
#     included, so they compare like with like), with the CPU time per frame
#     of the run (the player and, for video, ffmpeg); ffmpeg alone encoding
#     the same frames as raw RGB from a file (the limit of video export);
#     and the ratios png/timedemo and video/min(ffmpeg alone, timedemo).
#  2. The PNG writer against libpng at level 1 on the captured 800x600 and
#     1920x1080 frames: CPU time per frame on one core, and file sizes.
#  3. The load time of the sixteen-JPEG demo (bench/load_bench.sh).
#  4. The per-frame timeline search cost at 1k .. 1M events (bench_lookup).
#
#   bench/bench.sh [BUILD_DIR]            (default build)
# BENCH_TO: last demo time in ms (default 20000); BENCH_RATE: frames a
# second (default 60). Figures from a busy machine are low and noisy: the
# load average is printed first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
demo="$build/example"
player="$build/qvlplay"
to="${BENCH_TO:-20000}"
rate="${BENCH_RATE:-60}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

echo "qvl benchmarks, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

# run NAME COMMAND...: runs it; leaves wall and CPU seconds (with children) in $out/NAME.time
run() {
  local name="$1"
  shift
  /usr/bin/time -f "%e %U %S" -o "$out/$name.time" "$@" >"$out/$name.out" 2>"$out/$name.err" || {
    cat "$out/$name.err" >&2
    exit 1
  }
}
wall() { cut -d' ' -f1 "$out/$1.time"; }
cpu() { awk '{ print $2 + $3 }' "$out/$1.time"; }
div() { awk -v a="$1" -v b="$2" -v f="${3:-%.1f}" 'BEGIN { printf f, (b > 0 ? a / b : 0) }'; }
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }

echo
echo "1. Showcase, ${rate} frames/s up to ${to} ms: frames a second (CPU ms a frame)"
printf '%-10s %6s %14s %14s %14s %14s %8s %8s\n' size frames timedemo png-capture video-mp4 ffmpeg-alone png/td vid/lim
have_ffmpeg=0
command -v ffmpeg >/dev/null && have_ffmpeg=1
for size in 800x600 1280x720 1920x1080; do
  play=("$player" -C "$demo" --rate "$rate" --to "$to" --size "$size")
  run td "${play[@]}" --timedemo
  frames=$(sed -n 's/.*timedemo: \([0-9]*\) frames in .*/\1/p' "$out/td.out")
  td=$(div "$frames" "$(wall td)")
  rm -rf "$out/png"
  run png "${play[@]}" --capture "$out/png"
  pngs=$(find "$out/png" -name '*.png' | wc -l)
  png=$(div "$pngs" "$(wall png)")
  video="-" alone="-" vratio="-"
  if [ "$have_ffmpeg" = 1 ]; then
    run mp4 "${play[@]}" --capture "$out/v.mp4"
    video=$(div "$frames" "$(wall mp4)")
    # The same frames as raw RGB in a file, then ffmpeg alone with the
    # options the export uses.
    ffmpeg -hide_banner -loglevel error -y -i "$out/png/%06d.png" -f rawvideo -pix_fmt rgb24 "$out/raw.rgb"
    run alone ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt rgb24 -s "$size" -framerate "$rate" \
      -i "$out/raw.rgb" -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -f matroska "$out/alone.mkv"
    alone=$(div "$frames" "$(wall alone)")
    vratio=$(div "$video" "$(min "$alone" "$td")" %.2f)
    video="$video ($(div "$(cpu mp4)e3" "$frames"))"
    alone="$alone ($(div "$(cpu alone)e3" "$frames"))"
    rm -f "$out/raw.rgb" "$out/v.mp4" "$out/alone.mkv"
  fi
  printf '%-10s %6s %14s %14s %14s %14s %8s %8s\n' "$size" "$frames" "$td ($(div "$(cpu td)e3" "$frames"))" \
    "$png ($(div "$(cpu png)e3" "$pngs"))" "$video" "$alone" "$(div "$png" "$td" %.2f)" "$vratio"
  if [ "$size" = 800x600 ] || [ "$size" = 1920x1080 ]; then
    rm -rf "$out/frames-$size"
    mv "$out/png" "$out/frames-$size"
  fi
done

echo
echo "2. PNG writer against libpng level 1, on the captured frames"
for size in 800x600 1920x1080; do
  if [ -x "$build/bench_png" ]; then
    "$build/bench_png" "$out/frames-$size" 40 | sed 's/^/  /'
  else
    echo "  bench_png: not built"
  fi
done

echo
echo "3. Loading the sixteen-JPEG demo"
if [ -x "$root/bench/load_bench.sh" ] || [ -f "$root/bench/load_bench.sh" ]; then
  bash "$root/bench/load_bench.sh" "$build" | sed 's/^/  /'
else
  echo "  load_bench.sh: not built"
fi

echo
echo "4. Timeline search per frame"
if [ -x "$build/bench_lookup" ]; then
  "$build/bench_lookup" 2>/dev/null | sed 's/^/  /'
else
  echo "  bench_lookup: not built"
fi
