#!/usr/bin/env bash
# Makes the music the tests play: a little pentatonic tune of soft sine notes,
# four a second, encoded with lame at a small constant bitrate. The bitrates are
# the smallest whose frames leave lame room for its tag, which carries the
# encoder delay and padding, so a gapless decoder gets back exactly SECONDS of
# audio.
#
#   scripts/make-test-music.sh                     writes tests/data/tone.mp3 (3 s, 44.1 kHz)
#                                                  and tests/data/tone22k.mp3 (2 s, 22.05 kHz)
#   scripts/make-test-music.sh OUT SECONDS [RATE]  writes one file (RATE in Hz, default 44100)
set -euo pipefail

tune() {  # tune OUT SECONDS RATE
  local out="$1" seconds="$2" rate="$3" kbps=64 khz
  if [ "$rate" -lt 32000 ]; then kbps=56; fi
  khz="$(awk -v r="$rate" 'BEGIN { printf "%g", r / 1000 }')"
  perl -e '
    use strict; use warnings;
    my ($seconds, $rate) = @ARGV;
    my @steps = (0, 2, 4, 7, 9, 7, 4, 2, 12, 9, 7, 4);
    my $pi = 4 * atan2(1, 1);
    my $noteLen = $rate / 4;
    my $total = int($seconds * $rate + 0.5);
    binmode STDOUT;
    # A WAV header: 16-bit mono PCM.
    print "RIFF", pack("V", 36 + 2 * $total), "WAVEfmt ",
      pack("VvvVVvv", 16, 1, 1, $rate, 2 * $rate, 2, 16), "data", pack("V", 2 * $total);
    for (my $i = 0; $i < $total; $i++) {
      my $note = int($i / $noteLen);
      my $t = ($i - $note * $noteLen) / $rate;
      my $f = 220 * 2 ** ($steps[$note % @steps] / 12);
      my $env = ($t < 0.01 ? $t / 0.01 : 1) * exp(-3 * $t);
      my $v = 0.4 * $env * (sin(2 * $pi * $f * $t) + 0.3 * sin(4 * $pi * $f * $t));
      print pack("s<", int($v * 32767));
    }
  ' "$seconds" "$rate" >"$wav"
  # --resample keeps lame from lowering the rate to suit the small bitrate.
  lame --quiet -m m --cbr -b "$kbps" --resample "$khz" "$wav" "$out"
}

wav="$(mktemp --suffix=.wav)"
trap 'rm -f "$wav"' EXIT

if [ $# -ge 2 ]; then
  tune "$1" "$2" "${3:-44100}"
else
  cd "$(dirname "$0")/.."
  mkdir -p tests/data
  tune tests/data/tone.mp3 3 44100
  tune tests/data/tone22k.mp3 2 22050
fi
