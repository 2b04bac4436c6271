#!/usr/bin/env python3
"""Makes the showcase demo's music: examples/music.mp3.

A small deterministic synthesizer (Python standard library only, then lame):
drums, bass, a lead and a pad, all made from sine tables and a fixed-seed
noise generator, nothing sampled.

Tempo: 120 bpm, so one beat is 500 ms and a bar of four beats is 2 s. The
piece is 30 bars, exactly 60 s:
  bars  0-3   pad and hi-hats          (0 s)
  bars  4-7   kick and bass join       (8 s)
  bars  8-15  snare and the lead tune  (16 s)
  bars 16-19  break: pad and arpeggio  (32 s)
  bars 20-27  everything               (40 s)
  bars 28-29  the last chord fades     (56 s)
Every drum hit starts exactly on its beat or half beat, so demo events placed
at multiples of 500 ms land on the music.

  scripts/make-showcase-music.py [OUT.mp3]     (default examples/music.mp3)
"""
import math
import os
import shutil
import subprocess
import sys
import tempfile
import wave
from array import array
from operator import add

RATE = 44100
BPM = 120
BEAT = 60.0 / BPM            # seconds
BARS = 30
TOTAL = int(BARS * 4 * BEAT * RATE)
TABLE = 4096
CHORDS = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62)]  # Am F C G, root first

def freq(midi):
    return 440.0 * 2 ** ((midi - 69) / 12.0)

def table(harmonics):
    """One cycle of a band-limited wave from (harmonic, amplitude) pairs."""
    t = [sum(a * math.sin(2 * math.pi * h * i / TABLE) for h, a in harmonics) for i in range(TABLE)]
    peak = max(abs(v) for v in t)
    return [v / peak for v in t]

SINE = table([(1, 1)])
SAW = table([(h, 1.0 / h) for h in range(1, 16)])
SQUARE = table([(h, 1.0 / h) for h in range(1, 16, 2)])

class Noise:
    """A fixed-seed linear congruential generator, so every run is the same."""
    def __init__(self, seed):
        self.state = seed
    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0

def osc(wave_table, f, n, vibrato=0.0):
    out = [0.0] * n
    phase, step = 0.0, f * TABLE / RATE
    for i in range(n):
        s = step * (1 + vibrato * math.sin(2 * math.pi * 5.5 * i / RATE)) if vibrato else step
        out[i] = wave_table[int(phase) & (TABLE - 1)]
        phase += s
    return out

def envelope(n, attack, release, sustain=1.0, decay=0.0):
    a, r = max(1, int(attack * RATE)), max(1, int(release * RATE))
    out = [0.0] * n
    for i in range(n):
        level = sustain * math.exp(-decay * i / RATE) if decay else sustain
        if i < a:
            level *= i / a
        if i > n - r:
            level *= (n - i) / r
        out[i] = level
    return out

CACHE = {}

def note(kind, midi, beats):
    key = (kind, midi, beats)
    if key in CACHE:
        return CACHE[key]
    n = int(beats * BEAT * RATE)
    f = freq(midi)
    if kind == "bass":
        body = [0.7 * s + 0.3 * q for s, q in zip(osc(SAW, f, n), osc(SINE, f / 2, n))]
        env = envelope(n, 0.005, 0.03, decay=4.0)
    elif kind == "lead":
        body = [0.6 * s + 0.4 * q for s, q in zip(osc(SQUARE, f, n, 0.004), osc(SAW, f * 1.003, n, 0.004))]
        env = envelope(n, 0.01, 0.08, decay=1.2)
    elif kind == "arp":
        body = osc(SINE, f * 2, n)
        env = envelope(n, 0.003, 0.05, decay=8.0)
    else:  # pad: two detuned saws and a sine an octave down, slow in and out
        body = [(a + b) * 0.35 + 0.3 * c for a, b, c in
                zip(osc(SAW, f * 0.996, n), osc(SAW, f * 1.004, n), osc(SINE, f / 2, n))]
        env = envelope(n, 0.6, 0.6)
    CACHE[key] = [b * e for b, e in zip(body, env)]
    return CACHE[key]

def drum(kind):
    if kind in CACHE:
        return CACHE[kind]
    noise = Noise({"kick": 1, "snare": 2, "hat": 3}[kind])
    if kind == "kick":
        n, out, phase = int(0.3 * RATE), [], 0.0
        for i in range(n):
            t = i / RATE
            phase += 2 * math.pi * (45 + 90 * math.exp(-t * 30)) / RATE
            out.append(math.sin(phase) * math.exp(-t * 9))
    elif kind == "snare":
        n = int(0.2 * RATE)
        out = [(0.7 * noise.next() + 0.5 * math.sin(2 * math.pi * 185 * i / RATE)) * math.exp(-i / RATE * 22)
               for i in range(n)]
    else:
        n, last, out = int(0.05 * RATE), 0.0, []
        for i in range(n):
            v = noise.next()
            out.append((v - last) * 0.5 * math.exp(-i / RATE * 70))
            last = v
    CACHE[kind] = out
    return out

LEFT = array("d", bytes(8 * TOTAL))
RIGHT = array("d", bytes(8 * TOTAL))

def mix(sound, at_beats, gain, pan=0.0):
    """Adds `sound` at a time in beats; pan -1 is left, +1 right."""
    start = int(round(at_beats * BEAT * RATE))
    end = min(TOTAL, start + len(sound))
    if start >= end:
        return
    for buf, g in ((LEFT, gain * (1 - pan) / 2 * 2 ** 0.5), (RIGHT, gain * (1 + pan) / 2 * 2 ** 0.5)):
        buf[start:end] = array("d", map(add, buf[start:end], (s * g for s in sound[: end - start])))

# The tune: per bar, (beat, length in beats, midi note).
PHRASE_A = [
    [(0, 1, 76), (1, 0.5, 72), (1.5, 0.5, 74), (2, 1, 76), (3, 1, 81)],
    [(0, 1.5, 77), (1.5, 0.5, 76), (2, 1, 72), (3, 1, 69)],
    [(0, 1, 72), (1, 0.5, 74), (1.5, 0.5, 76), (2, 1.5, 79), (3.5, 0.5, 76)],
    [(0, 2, 74), (2, 1, 71), (3, 1, 79)],
]
PHRASE_B = [
    [(0, 0.5, 81), (0.5, 0.5, 79), (1, 1, 76), (2, 0.5, 74), (2.5, 0.5, 72), (3, 1, 76)],
    [(0, 1, 77), (1, 1, 81), (2, 2, 84)],
    [(0, 1, 79), (1, 0.5, 76), (1.5, 0.5, 79), (2, 1, 84), (3, 1, 83)],
    [(0, 3, 79), (3, 1, 76)],
]

def section(bar):
    for first, last, name in ((0, 3, "intro"), (4, 7, "build"), (8, 15, "main"), (16, 19, "break"),
                              (20, 27, "full"), (28, 29, "outro")):
        if first <= bar <= last:
            return name

def compose():
    for bar in range(BARS):
        part, beat0 = section(bar), bar * 4
        chord = CHORDS[bar % 4]
        if part == "outro":
            if bar == 28:
                for m in CHORDS[0]:
                    mix(note("pad", m, 8), beat0, 0.16, -0.3 + 0.3 * (m % 3))
                mix(drum("kick"), beat0, 0.9)
                mix(note("bass", CHORDS[0][0] - 24, 2), beat0, 0.35)
            continue
        for m in chord:
            mix(note("pad", m, 4), beat0, 0.13 if part != "break" else 0.18, -0.3 + 0.3 * (m % 3))
        for eighth in range(8):
            hat_gain = 0.12 if eighth % 2 else 0.2
            if part == "intro":
                hat_gain *= (bar * 8 + eighth + 1) / 32
            if part != "break":
                mix(drum("hat"), beat0 + eighth / 2, hat_gain, 0.4)
        if part in ("build", "main", "full"):
            for beat in range(4):
                mix(drum("kick"), beat0 + beat, 0.9)
            for eighth in range(8):
                step = (0, 0, 12, 0, 0, 12, 0, 7)[eighth]
                mix(note("bass", chord[0] - 24 + step, 0.5), beat0 + eighth / 2, 0.35)
        if part in ("main", "full"):
            for beat in (1, 3):
                mix(drum("snare"), beat0 + beat, 0.45, -0.1)
            phrase = PHRASE_A if ((bar - 8) // 4) % 2 == 0 else PHRASE_B
            for beat, length, m in phrase[bar % 4]:
                mix(note("lead", m, length), beat0 + beat, 0.22, -0.25)
        if part in ("break", "full"):
            tones = [chord[0] + 12, chord[1] + 12, chord[2] + 12, chord[1] + 24]
            for sixteenth in range(16):
                mix(note("arp", tones[sixteenth % 4], 0.25), beat0 + sixteenth / 4, 0.12, 0.35)

def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..",
                                                             "examples", "music.mp3")
    if not shutil.which("lame"):
        sys.exit("make-showcase-music: the lame program is needed (scripts/install-deps.sh installs it)")
    print(f"make-showcase-music: {BPM} bpm, {BEAT * 1000:.0f} ms a beat, {BARS} bars of 4 beats, "
          f"{TOTAL / RATE:.0f} s")
    compose()
    peak = max(max(map(abs, LEFT)), max(map(abs, RIGHT)))
    scale = 0.89 * 32767 / peak
    fade = int(4 * BEAT * RATE)  # the last two beats of the outro fade out
    pcm = array("h", bytes(4 * TOTAL))
    for i in range(TOTAL):
        g = scale * min(1.0, (TOTAL - i) / fade)
        pcm[2 * i] = int(round(LEFT[i] * g))
        pcm[2 * i + 1] = int(round(RIGHT[i] * g))
    if sys.byteorder != "little":
        pcm.byteswap()
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "music.wav")
        with wave.open(wav, "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(pcm.tobytes())
        subprocess.run(["lame", "--quiet", "--cbr", "-b", "128", "-q", "2", wav, out], check=True)
    print(f"make-showcase-music: wrote {os.path.normpath(out)}")

if __name__ == "__main__":
    main()
