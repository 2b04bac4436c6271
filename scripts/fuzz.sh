#!/usr/bin/env bash
# libFuzzer on qvl's readers of untrusted input, under ASan + UBSan.
#
#   scripts/fuzz.sh TARGET SECONDS   fuzz one target (demo, bmp, tga, jpeg, mp3, build, ...)
#   scripts/fuzz.sh all SECONDS      each target in turn, SECONDS each
#   scripts/fuzz.sh replay           every committed corpus file through its target once
#
# Builds the targets with clang in build-fuzz/ (FUZZ_BUILD_DIR to change).
# Seeds and kept regression inputs live in tests/fuzz/corpus/TARGET; new
# inputs found while fuzzing go to build-fuzz/fuzz/corpus/TARGET, crashes to
# build-fuzz/fuzz/artifacts/. A crash, a sanitizer report, one input taking
# over FUZZ_TIMEOUT seconds (10) or the process passing FUZZ_RSS_MB (2048)
# fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD="${FUZZ_BUILD_DIR:-build-fuzz}"
TIMEOUT="${FUZZ_TIMEOUT:-10}"
RSS_MB="${FUZZ_RSS_MB:-2048}"

usage() { sed -n '4,6p' "$0" | sed 's/^# *//' >&2; exit 2; }
[ $# -ge 1 ] || usage
what=$1
seconds=${2:-}
if [ "$what" != replay ] && ! [[ "$seconds" =~ ^[0-9]+$ ]]; then usage; fi

launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
generator=()
if command -v ninja >/dev/null 2>&1 && [ ! -f "$BUILD/Makefile" ]; then generator=(-G Ninja); fi
CC=clang CXX=clang++ cmake -S . -B "$BUILD" "${generator[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQVL_SANITIZE=ON -DQVL_FUZZ=ON -DQVL_TESTS=OFF -DQVL_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target qvl_fuzzers

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export SDL_AUDIODRIVER=dummy
out="$ROOT/$BUILD/fuzz"
mkdir -p "$out/artifacts"
mapfile -t targets < "$out/targets.txt"

max_len_of() {
  local line
  for line in "${targets[@]}"; do
    if [ "${line%% *}" = "$1" ]; then echo "${line#* }"; return 0; fi
  done
  echo "fuzz.sh: no target '$1' (have: $(printf '%s ' "${targets[@]%% *}"))" >&2
  exit 2
}

run() {
  local name=$1 max_len
  max_len=$(max_len_of "$name")
  mkdir -p "$out/corpus/$name" "$ROOT/tests/fuzz/corpus/$name"
  echo "== fuzzing $name for $seconds s"
  "$out/fuzz_$name" "$out/corpus/$name" "$ROOT/tests/fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout="$TIMEOUT" -rss_limit_mb="$RSS_MB" -max_len="$max_len" \
    -artifact_prefix="$out/artifacts/$name-" -print_final_stats=1
}

replay() {
  local name=$1 files
  mapfile -t files < <(find "$ROOT/tests/fuzz/corpus/$name" -type f 2>/dev/null | sort)
  if [ ${#files[@]} -eq 0 ]; then echo "== $name: no corpus"; return 0; fi
  echo "== replaying ${#files[@]} inputs through $name"
  "$out/fuzz_$name" -timeout="$TIMEOUT" -rss_limit_mb="$RSS_MB" "${files[@]}" 2>"$out/replay-$name.log" || {
    tail -n 60 "$out/replay-$name.log"
    echo "fuzz.sh: $name failed on a corpus input" >&2
    return 1
  }
}

case "$what" in
  all) for line in "${targets[@]}"; do run "${line%% *}"; done ;;
  replay)
    passed=0 failed=0
    for line in "${targets[@]}"; do
      if replay "${line%% *}"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    done
    echo "replay: $passed passed, $failed failed"
    [ "$failed" -eq 0 ] ;;
  *) run "$what" ;;
esac
