#!/usr/bin/env python3
"""Writes the example demo's two small images: a 24-bit BMP and a
run-length encoded 32-bit TGA, both 32 x 32, drawn from simple formulas."""
import math
import struct
import sys
from pathlib import Path

SIZE = 32


def bmp(path):
    # Rows bottom-up, blue-green-red, no padding needed at 96 bytes a row.
    pixels = bytearray()
    for y in range(SIZE):
        for x in range(SIZE):
            checker = ((x // 8) + (y // 8)) % 2
            r = 230 if checker else 40
            g = 180 if checker else 90
            b = 60 + 5 * y
            pixels += bytes((b, g, r))
    info = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info))
    path.write_bytes(header + info + pixels)


def tga(path):
    # A soft ring with alpha, one run-length packet per row stretch.
    def pixel(x, y):
        d = math.hypot(x - 15.5, y - 15.5)
        a = max(0, 255 - int(abs(d - 10) * 80))
        return bytes((255, 200, 120, a)) if a else bytes((0, 0, 0, 0))

    data = bytearray()
    for y in range(SIZE):
        row = [pixel(x, y) for x in range(SIZE)]
        x = 0
        while x < SIZE:
            run = 1
            while x + run < SIZE and run < 128 and row[x + run] == row[x]:
                run += 1
            if run > 1:
                data += bytes((128 + run - 1,)) + row[x]
                x += run
            else:
                data += bytes((0,)) + row[x]
                x += 1
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, SIZE, SIZE, 32, 8)
    path.write_bytes(header + data)


if __name__ == "__main__":
    out = Path(sys.argv[1] if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "examples")
    bmp(out / "logo.bmp")
    tga(out / "ring.tga")
