#!/usr/bin/env python3
"""Writes the showcase demo: examples/demo.json and the images it names.

The demo runs 60 s at 120 beats a minute (500 ms a beat, 2000 ms a bar),
the tempo of examples/music.mp3 (scripts/make-showcase-music.py); every
event starts on a beat. Five scenes:

  0 s  tunnel of clouds, drifting sparks; lines join with the kick at 4 s
 16 s  script shapes: a shadowed box, a lit sphere, ring, disc, cone, rays
 32 s  a lit torus mesh and images on movement paths
 40 s  render to texture: a star tube and sparks rendered into a texture,
       then shown wobbling and as a picture in the corner
 48 s  image distortion, lines, the logo on a sine path; fade out, End Demo

Everything is drawn from formulas here; nothing is taken from elsewhere.
Usage: make-showcase.py [OUTDIR]   (default: examples/ beside this script)
The JPEG is encoded by cjpeg or ffmpeg when one is installed; the committed
clouds.jpg is kept otherwise.
"""
import json
import math
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

BEAT = 500
BAR = 4 * BEAT
END = 30 * BAR  # 60 s


# ---------------------------------------------------------------- images

def write_bmp(path, w, h, pixel):
    """24-bit BMP, rows bottom-up, blue-green-red, rows padded to 4 bytes."""
    pad = (4 - (w * 3) % 4) % 4
    rows = bytearray()
    for y in range(h):  # y = 0 is the bottom row
        for x in range(w):
            r, g, b = pixel(x, y)
            rows += bytes((b, g, r))
        rows += b"\0" * pad
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    header = b"BM" + struct.pack("<IHHI", 14 + len(info) + len(rows), 0, 0, 14 + len(info))
    path.write_bytes(header + info + rows)


def write_tga(path, w, h, depth, pixel, rle):
    """TGA of 24 or 32 bits, bottom-up rows, blue-green-red(-alpha);
    run-length encoded packets within a row when rle is set."""
    bpp = depth // 8
    data = bytearray()
    for y in range(h):
        row = []
        for x in range(w):
            p = pixel(x, y)
            row.append(bytes((p[2], p[1], p[0])) + (bytes((p[3],)) if bpp == 4 else b""))
        if not rle:
            data += b"".join(row)
            continue
        x = 0
        while x < w:
            run = 1
            while x + run < w and run < 128 and row[x + run] == row[x]:
                run += 1
            if run > 1:
                data += bytes((128 + run - 1,)) + row[x]
                x += run
                continue
            # a raw packet of the pixels up to the next repeat
            start = x
            while x < w and x - start < 128 and not (x + 1 < w and row[x + 1] == row[x]):
                x += 1
            if x == start:
                x += 1
            data += bytes((x - start - 1,)) + b"".join(row[start:x])
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, 10 if rle else 2, 0, 0, 0, 0, 0, w, h, depth, 8 if bpp == 4 else 0)
    path.write_bytes(header + data)


def clamp(v):
    return max(0, min(255, int(round(v))))


def checker(x, y):
    """Blue and amber checker with a soft diagonal sheen, 128 x 128."""
    c = ((x // 16) + (y // 16)) % 2
    sheen = 0.5 + 0.5 * math.sin((x + y) / 20.0)
    if c:
        return clamp(230 * (0.7 + 0.3 * sheen)), clamp(160 * (0.7 + 0.3 * sheen)), 40
    return 30, clamp(70 + 40 * sheen), clamp(150 + 60 * sheen)


def clouds(x, y):
    """Plasma of a few sines, seamless on a 256 x 256 tile."""
    t = 2 * math.pi / 256
    v = (math.sin(x * t * 2) + math.sin(y * t * 3) + math.sin((x + y) * t * 1)
         + math.sin((x - 2 * y) * t * 2) * 0.5)
    v = (v + 3.5) / 7.0
    return clamp(40 + 120 * v), clamp(20 + 90 * v * v), clamp(120 + 135 * v)


def spark(x, y):
    """A soft white dot with alpha falling off from the centre, 64 x 64."""
    d = math.hypot(x - 31.5, y - 31.5) / 32.0
    a = clamp(255 * max(0.0, 1.0 - d) ** 2) if d < 1 else 0
    if a < 8:
        return (0, 0, 0, 0)
    return (255, 240, 200, a)


def stripes(x, y):
    """Warm horizontal bands with a green stripe, 128 x 64."""
    band = (y // 8) % 2
    if 28 <= x < 36:
        return (60, 220, 90)
    return (240, 120 + 80 * band, 40) if band else (120, 30, 60)


def logo(x, y):
    """The letters QVL as thick strokes on dark blue, 96 x 32."""
    dark = (16, 24, 60)
    light = (250, 250, 255)

    def q(px, py):
        d = math.hypot(px - 14, py - 16)
        return 8 <= d <= 13 or (px - py > 8 and 18 <= px <= 28 and py <= 12)

    def v(px, py):
        px -= 36
        return 0 <= px <= 24 and 4 <= py <= 28 and abs(abs(px - 12) - (py - 4) / 2.0) < 3

    def l(px, py):
        px -= 68
        return (0 <= px <= 6 and 4 <= py <= 28) or (0 <= px <= 22 and 4 <= py <= 10)

    return light if (q(x, y) or v(x, y) or l(x, y)) else dark


def write_jpeg(path, w, h, pixel):
    ppm = b"P6 %d %d 255\n" % (w, h) + b"".join(
        bytes(pixel(x, h - 1 - y)) for y in range(h) for x in range(w))
    with tempfile.TemporaryDirectory() as tmp:
        src = Path(tmp) / "clouds.ppm"
        src.write_bytes(ppm)
        if shutil.which("cjpeg"):
            with open(path, "wb") as out:
                subprocess.run(["cjpeg", "-quality", "90", str(src)], stdout=out, check=True)
        elif shutil.which("ffmpeg"):
            subprocess.run(["ffmpeg", "-loglevel", "error", "-y", "-i", str(src), "-q:v", "3", str(path)], check=True)
        elif not path.exists():
            sys.exit("make-showcase: needs cjpeg or ffmpeg to write " + path.name)


# ---------------------------------------------------------------- mesh

def torus(R=1.0, r=0.38, seg=32, sides=16):
    verts, norms, faces = [], [], []
    for i in range(seg):
        u = 2 * math.pi * i / seg
        for j in range(sides):
            v = 2 * math.pi * j / sides
            n = (math.cos(u) * math.cos(v), math.sin(u) * math.cos(v), math.sin(v))
            verts.append([round((R + r * math.cos(v)) * math.cos(u), 5),
                          round((R + r * math.cos(v)) * math.sin(u), 5), round(r * math.sin(v), 5)])
            norms.append([round(c, 5) for c in n])
    idx = lambda i, j: (i % seg) * sides + (j % sides)
    for i in range(seg):
        for j in range(sides):
            a, b, c, d = idx(i, j), idx(i + 1, j), idx(i + 1, j + 1), idx(i, j + 1)
            for k in (a, b, c, a, c, d):
                faces.append([k, k, 0])
    return {"FileName": "torus", "Vertices": verts, "Normals": norms,
            "Groups": [{"Mode": 4, "Faces": faces, "Tex1": 0, "Alpha": 1}]}


# ---------------------------------------------------------------- scripts
# Assembly, one instruction a line. Pushes are in call order: TRANSLATE
# takes x, y, z pushed in that order; SHADOW takes z, y, x (x last).

def f(*values):
    return ["PUSHF %g" % v for v in values]


def translate(x, y, z):
    return f(x, y, z) + ["TRANSLATE"]


def spin(speed, x, y, z):
    """Rotate by elapsed * speed degrees about (x, y, z)."""
    return ["ELAPSED", "ITOF"] + f(speed) + ["MULF"] + f(x, y, z) + ["ROTATE"]


def pulse():
    """Leaves 0.7 + 0.2 * (1 - beat phase) on the float stack: a throb on every beat."""
    return f(0.7, 0.2, 1) + ["PUSHI 1"] + f(120) + ["BEAT", "SUBF", "MULF", "ADDF"]


SHAPES_BOX_SPHERE = (
    ["; a shadowed, textured box on the left and a lit, pulsing sphere on the right"]
    + f(0, -0.2, 0.2) + ["SHADOW"]
    + ["PUSHI GL_TEXTURE_2D", "ENABLE", "PUSHI 0", "BINDTEX"]
    + f(1, 1, 1) + ["COLOR3"]
    + ["PUSHMATRIX"] + translate(-1.5, 0.1, -5) + spin(0.09, 1, 1, 0)
    + f(0.6, 0.6, 0.6) + ["BOX", "POPMATRIX"]
    + ["PUSHI GL_LIGHTING", "ENABLE", "LIGHT1"]
    + ["PUSHI GL_LIGHT1", "PUSHI GL_DIFFUSE"] + f(1, 0.4, 0.8, 1) + ["LIGHTV"]
    + ["PUSHMATRIX"] + translate(1.5, 0.1, -5) + spin(0.05, 0, 1, 0)
    + pulse() + ["STOREF 0", "LOADF 0", "PUSHI 24", "SPHERE", "POPMATRIX"]
    + ["PUSHI GL_LIGHTING", "DISABLE"]
)

SHAPES_RING_DISC_CONE = (
    ["; ring, disc and cone turning above the middle"]
    + ["PUSHI GL_TEXTURE_2D", "ENABLE", "PUSHI 1", "BINDTEX"]
    + f(1, 0.9, 0.6) + ["COLOR3"]
    + ["PUSHMATRIX"] + translate(0, 1.6, -6) + spin(0.12, 0, 0, 1)
    + f(1.0, 0.6) + ["PUSHI 24", "RING"]
    + f(0.4) + ["PUSHI 16", "DISC"]
    + f(0.8, 0.3) + ["PUSHI 12", "CONE", "POPMATRIX"]
)

SHAPES_RAYS_QUAD = (
    ["; a burst of rays and a textured quad below the middle"]
    + ["PUSHI GL_TEXTURE_2D", "DISABLE", "PUSHI GL_BLEND", "ENABLE"]
    + ["PUSHI GL_SRC_ALPHA", "PUSHI GL_ONE", "BLENDFUNC"]
    + ["PUSHMATRIX"] + translate(0, -1.5, -6) + spin(0.07, 0, 1, 0)
    + ["LOADF 0"] + f(0.5) + ["MULF"] + f(2.2) + ["PUSHI 16", "RAYS", "POPMATRIX"]
    + ["PUSHI GL_BLEND", "DISABLE", "PUSHI GL_TEXTURE_2D", "ENABLE", "PUSHI 3", "BINDTEX"]
    + f(1, 1, 1) + ["COLOR3"]
    + ["PUSHMATRIX"] + translate(0, -1.2, -3.5)
    # QUAD takes y0, x1, y1, x0: a quad from (-0.4, -0.2) to (0.4, 0.2)
    + f(-0.2, 0.4, 0.2, -0.4) + ["QUAD", "POPMATRIX"]
)

STAR_TUBE = (
    ["; a star tube flowing away from the viewer"]
    + ["PUSHI GL_TEXTURE_2D", "ENABLE", "PUSHI 0", "BINDTEX"]
    + ["PUSHMATRIX"] + spin(0.05, 0, 0, 1)
    # r0, r1, t0, t1: texture flows with the time
    + f(0.6, 1.1) + ["ELAPSED", "ITOF"] + f(0.0005) + ["MULF", "STOREF 1", "LOADF 1", "LOADF 1"] + f(2) + ["ADDF"]
    + ["PUSHI 12", "STARTUBE", "POPMATRIX"]
    + ["; beats so far, kept in IntVars[0] for any script that wants them"]
    + ["TIME", "PUSHI 500", "DIVI", "STOREI 0"]
)


# ---------------------------------------------------------------- timeline

def ev(op, track, start, length, ps=0):
    return {"Op": op, "Track": track, "Start": start, "Length": length, "ParamSet": ps}


def build():
    # Scenes follow the music's sections: pad and hi-hats, kick and bass at
    # 8 s, the lead at 16 s, a break at 32 s, everything at 40 s, the fade at 56 s.
    A, B, C, D, E = 0, 8 * BAR, 16 * BAR, 20 * BAR, 24 * BAR
    # lengths end one ms before the next scene, so a track's next event starts after its last has ended
    LA, LB, LC, LD, LE = B - A - 1, C - B - 1, D - C - 1, E - D - 1, END - E - 1
    events = [
        # scene A: tunnel, sparks, lines
        ev("Fader", 0, A, LA, 0),
        ev("Tunnel", 1, A, LA, 0),
        ev("Particles 1", 2, A, LA, 0),
        ev("Linear", 3, A + 4 * BAR, LA - 4 * BAR, 2),
        ev("0815 - Lines", 4, A + 4 * BAR, LA - 4 * BAR, 0),
        ev("Fader", 30, A, 2 * BAR - 1, 1),  # from black
        # scene B: script shapes
        ev("Fader", 0, B, LB, 2),
        ev("Scripter", 1, B, LB, 0),
        ev("Scripter", 2, B + BAR, LB - BAR, 1),
        ev("Scripter", 3, B + 2 * BAR, LB - 2 * BAR, 2),
        # scene C: torus on a line, stripes on a sine path through an Effect Fader, logo on a curve
        ev("Fader", 0, C, LC, 3),
        ev("Linear", 1, C, LC, 0),
        ev("Simple DrawMesh", 2, C, LC, 0),
        ev("Sinemove", 3, C + BAR, LC - BAR, 0),
        ev("Effect Fader", 4, C + BAR, LC - BAR, 0),
        ev("Show Image", 5, C + BAR, LC - BAR, 0),
        ev("Bezier", 6, C + BAR, LC - BAR, 0),
        ev("Show Image", 7, C + BAR, LC - BAR, 1),
        # scene D: render to texture first (it clears the screen), then what shows the texture
        ev("Render To Texture", 0, D, LD, 0),
        ev("Scripter", 1, D, LD, 3),
        ev("Particles 1", 2, D, LD, 1),
        ev("Fader", 3, D, LD, 4),
        ev("Wobble Image", 4, D, LD, 0),
        ev("Linear", 5, D + 2 * BAR, LD - 2 * BAR, 1),
        ev("Show Image", 6, D + 2 * BAR, LD - 2 * BAR, 2),
        # scene E: distortion, lines, logo, fade out, end
        ev("Fader", 0, E, LE, 5),
        ev("Image Distortion", 1, E, LE, 0),
        ev("Bezier", 2, E + BAR, LE - BAR, 1),
        ev("0815 - Lines", 3, E + BAR, LE - BAR, 1),
        ev("Sinemove", 4, E + 2 * BAR, LE - 2 * BAR, 1),
        ev("Show Image", 5, E + 2 * BAR, LE - 2 * BAR, 1),
        ev("Fader", 30, END - 2 * BAR, 2 * BAR - 1, 6),  # to black
        ev("End Demo", 31, END, 200, 0),
    ]

    def fader(r0, g0, b0, r1, g1, b1, a0=1.0, a1=1.0):
        return {"StartRed": r0, "StartGreen": g0, "StartBlue": b0, "EndRed": r1, "EndGreen": g1,
                "EndBlue": b1, "StartAlpha": a0, "EndAlpha": a1}

    operators = {
        "Fader": [
            fader(0.02, 0.0, 0.08, 0.08, 0.0, 0.15),
            fader(0, 0, 0, 0, 0, 0, 1.0, 0.0),
            fader(0.05, 0.07, 0.12, 0.12, 0.05, 0.10),
            fader(0.10, 0.08, 0.02, 0.02, 0.06, 0.10),
            fader(0.0, 0.0, 0.0, 0.05, 0.0, 0.08),
            fader(0.05, 0.02, 0.0, 0.0, 0.02, 0.06),
            fader(0, 0, 0, 0, 0, 0, 0.0, 1.0),
        ],
        "Tunnel": [
            {"Texture": 2, "Length": 6.0, "Radius": 0.9, "Alpha": 1.0, "Rotation": 40,
             "Animation": 2000, "Blending": 0},
        ],
        "Particles 1": [
            {"Texture": 3, "Amount": 300, "RandomSeed": 4711, "GlobalSpeed": 4000,
             "StartPos": [-3, -2, -7], "Size": [6, 4, 6], "Color": [1.0, 0.8, 0.5],
             "ParticleSize": 0.08, "XSpeed": 10, "YSpeed": 40, "ZSpeed": 150},
            {"Texture": 3, "Amount": 200, "RandomSeed": 99, "GlobalSpeed": 3000,
             "StartPos": [-2, -2, -6], "Size": [4, 4, 4], "Color": [0.5, 0.8, 1.0],
             "ParticleSize": 0.12, "XSpeed": -60, "YSpeed": 0, "ZSpeed": 80},
        ],
        "0815 - Lines": [
            {"Red": 0.4, "Green": 1.0, "Blue": 0.7, "Opacity": 3.0,
             "LineSteps": 24, "TimeScale": 1000, "Shape": 0, "FixedEnds": 0},
            {"Red": 1.0, "Green": 0.6, "Blue": 0.2, "Opacity": 4.0,
             "LineSteps": 40, "TimeScale": 700, "Shape": 1, "FixedEnds": 0},
        ],
        "Linear": [
            {"StartPos": [-3, 0, -8], "EndPos": [0, 0, -5], "StartRot": [0, 0, 0],
             "EndRot": [360, 180, 90], "HoldPosition": 0},
            {"StartPos": [1.2, 0.8, -3], "EndPos": [0.9, 0.6, -2.5], "StartRot": [0, 0, -10],
             "EndRot": [0, 0, 10], "HoldPosition": 0},
            {"StartPos": [-0.8, 0, -5], "EndPos": [-0.8, 0, -3.5], "StartRot": [0, 0, 0],
             "EndRot": [0, 0, 45], "HoldPosition": 0},
        ],
        "Simple DrawMesh": [
            {"Position": [0, 0, 0], "Rotation": [30, 0, 0],
             "Lighting": 1, "Mesh": 1},
        ],
        "Sinemove": [
            {"StartPos": [-1.2, -0.9, -1], "EndPos": [1.2, -0.9, -1], "StartRot": [0, 0, -15],
             "EndRot": [0, 0, 15], "Speed": 1000},
            {"StartPos": [-0.5, 0.45, -0.5], "EndPos": [0.5, 0.45, -0.5], "StartRot": [0, 0, 0],
             "EndRot": [0, 0, 0], "Speed": 2000},
        ],
        "Effect Fader": [{"StartAlpha": 0.0, "EndAlpha": 1.0}],
        "Show Image": [
            {"Texture": 4, "X": 0, "Y": 0, "Zoom": 0.35, "Alpha": 1, "DrawMode": 0, "BlendMode": 0},
            {"Texture": 6, "X": 0, "Y": 0, "Zoom": 0.3, "Alpha": 1, "DrawMode": 0, "BlendMode": 0},
            {"Texture": 5, "X": 0, "Y": 0, "Zoom": 0.3, "Alpha": 1, "DrawMode": 0, "BlendMode": 0},
        ],
        "Bezier": [
            {"StartPos": [1.5, -1, -4], "MiddlePos": [0, 2, -3], "EndPos": [-1.2, 0.8, -3],
             "StartRot": [0, 0, 0], "MiddleRot": [0, 0, 0], "EndRot": [0, 0, 30]},
            {"StartPos": [-0.8, -0.5, -5], "MiddlePos": [0, 1.5, -4], "EndPos": [-0.8, 0, -3.5],
             "StartRot": [0, 0, 0], "MiddleRot": [0, 0, 0], "EndRot": [0, 0, -40]},
        ],
        "Render To Texture": [{"Texture": 5, "RenderBeneath": 2}],
        "Wobble Image": [
            {"Texture": 5, "Grid": 16, "Randomize": 40, "Blur": 2, "Twirl": 0, "XAnim": 0, "YAnim": 0},
        ],
        "Image Distortion": [
            {"Texture": 1, "X": 1.5, "Y": 0.2, "Damage": 1.0, "Quality": 60, "Speed": 800},
        ],
        "End Demo": [{"Value": 0}],
    }
    return {
        "title": "qvl showcase",
        "music": "music.mp3",
        "textures": [
            {"Name": "checker", "FileName": "checker.bmp", "Typ": 3},
            {"Name": "clouds", "FileName": "clouds.jpg", "Typ": 3},
            {"Name": "spark", "FileName": "spark.tga", "Typ": 1},
            {"Name": "stripes", "FileName": "stripes.tga", "Typ": 1},
            {"Name": "target", "FileName": "", "Typ": 1},
            {"Name": "logo", "FileName": "logo.bmp", "Typ": 1},
        ],
        "meshes": [torus()],
        "events": events,
        "operators": operators,
        "scripts": {
            "ScrICount": 4,
            "ScrFCount": 4,
            # the star tube lives in a file of its own, as an author editing it would keep it
            "programs": [{"Asm": p} for p in (SHAPES_BOX_SPHERE, SHAPES_RING_DISC_CONE, SHAPES_RAYS_QUAD)]
            + [{"AsmFile": "startube.s"}],
        },
    }


def pretty(v, indent=""):
    """JSON with every list or object that holds no list or object on one line."""
    flat = lambda x: not isinstance(x, (list, dict)) or all(not isinstance(y, (list, dict)) or
                                                            (isinstance(y, list) and all(not isinstance(z, (list, dict)) for z in y))
                                                            for y in (x.values() if isinstance(x, dict) else x))
    if flat(v) and not (isinstance(v, list) and len(v) > 4 and all(isinstance(x, str) for x in v)):
        return json.dumps(v)
    inner = indent + "  "
    if isinstance(v, dict):
        items = [inner + json.dumps(k) + ": " + pretty(x, inner) for k, x in v.items()]
        return "{\n" + ",\n".join(items) + "\n" + indent + "}"
    items = [inner + pretty(x, inner) for x in v]
    return "[\n" + ",\n".join(items) + "\n" + indent + "]"


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "examples"
    out.mkdir(parents=True, exist_ok=True)
    write_bmp(out / "checker.bmp", 128, 128, checker)
    write_bmp(out / "logo.bmp", 96, 32, logo)
    write_tga(out / "spark.tga", 64, 64, 32, spark, rle=True)
    write_tga(out / "stripes.tga", 128, 64, 24, stripes, rle=False)
    write_jpeg(out / "clouds.jpg", 256, 256, clouds)
    d = build()
    (out / "demo.json").write_text(pretty(d) + "\n")
    (out / "startube.s").write_text("\n".join(STAR_TUBE) + "\n")
    print("make-showcase: %d events, %d ms at 120 bpm" % (len(d["events"]), END))


if __name__ == "__main__":
    main()
