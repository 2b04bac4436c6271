#!/usr/bin/env python3
"""Compares two folders of PNG frames with the same names (ffmpeg decodes).

Usage: compare-frames.py DIR_A DIR_B MAX_SHARE
Prints the frames compared, the largest colour difference of any channel,
the mean difference and the share of pixels off by more than 32 in some
channel. Exits non-zero when a frame is missing on either side, the sizes
differ, or that share exceeds MAX_SHARE (a fraction): two rasterisers may
set an edge pixel differently, but not a picture's worth of them.
"""
import subprocess
import sys
from pathlib import Path

FAR = 32


def size_of(png):
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height", "-of", "csv=p=0", str(png)],
                         check=True, capture_output=True, text=True).stdout
    w, h = out.strip().split(",")
    return int(w), int(h)


def main():
    a, b, max_share = Path(sys.argv[1]), Path(sys.argv[2]), float(sys.argv[3])
    names = sorted(p.name for p in a.glob("*.png"))
    if names != sorted(p.name for p in b.glob("*.png")) or not names:
        print(f"frame lists differ between {a} and {b}")
        return 1
    if size_of(a / names[0]) != size_of(b / names[0]):
        print(f"frame sizes differ: {size_of(a / names[0])} against {size_of(b / names[0])}")
        return 1
    w, h = size_of(a / names[0])
    # Both sequences decoded to RGB; per channel |a - b| as one raw stream.
    diff = subprocess.run(
        ["ffmpeg", "-v", "error", "-start_number", names[0][:-4], "-i", str(a / "%06d.png"),
         "-start_number", names[0][:-4], "-i", str(b / "%06d.png"), "-filter_complex",
         "[0]format=gbrp[x];[1]format=gbrp[y];[x][y]blend=all_mode=difference,format=rgb24",
         "-f", "rawvideo", "-"], check=True, capture_output=True).stdout
    frame = w * h * 3
    frames = len(diff) // frame
    if frames != len(names):
        print(f"decoded {frames} frames of {len(names)}")
        return 1
    largest = max(diff)
    far_table = bytes(1 if v > FAR else 0 for v in range(256))
    far = diff.translate(far_table)
    # A pixel is far off when any of its three channels is.
    far_pixels = sum(1 for i in range(0, len(far), 3) if far[i] or far[i + 1] or far[i + 2]) if far.count(1) else 0
    share = far_pixels / (frames * w * h)
    mean = sum(diff) / len(diff)
    print(f"frames compared: {frames}, largest colour difference: {largest}, mean difference: {mean:.3f}, "
          f"pixels off by more than {FAR}: {share:.5%}")
    return 0 if share <= max_share else 1


if __name__ == "__main__":
    sys.exit(main())
