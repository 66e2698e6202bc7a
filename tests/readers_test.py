#!/usr/bin/python3
"""Opens Tavlick's Targa files with readers that share no code with it and
checks what they see against the indices written into each texture and the
texture palette.

    readers_test.py pillow|identify TAVLICK [CHART_PNG]

pillow:   Pillow (Debian python3-pil) must see a TGA of the right size in
          RGB, top row first, every pixel equal to palette[index]; with
          CHART_PNG it also checks that picture against the sample chart.
identify: ImageMagick's identify (Debian imagemagick) must see a TGA of the
          right size, 8 bits per channel, sRGB, no compression, either
          orientation, and the right colour at a few pixels of the picture.

Exits 77 (skipped) when the reader is not installed, except under CI
(CI=true), where a missing reader is a failure.
Run with /usr/bin/python3: a python3 found first on PATH may lack Pillow.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

# The texture palette as the tests know it (palette.txt beside this file),
# typed out apart from the program's table: a fault in either shows up as a
# difference.
with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "palette.txt")) as f:
    PALETTE = bytes.fromhex("".join(line for line in f if not line.startswith("#")))
assert len(PALETTE) == 768

SKIP = 77
IDENTIFY = "/usr/bin/identify"  # /usr/local/bin may hold a stand-in


def rgb(index):
    return tuple(PALETTE[3 * index:3 * index + 3])


def make_texture(width, height, offset, pixels):
    """A palette texture: 44-byte header (junk where unread), padding to
    the pixel offset, then the pixel block."""
    header = bytearray(b"\x5a" * max(offset, 44))
    struct.pack_into("<iii", header, 32, width, height, offset)
    return bytes(header) + bytes(pixels)


def chart_indices():
    """The sample chart: 16 x 16 swatches of 16 pixels, entry 0 top left."""
    return bytes((y // 16) * 16 + x // 16 for y in range(256) for x in range(256))


# name, width, height, pixel offset, indices (top row first)
CASES = [
    ("one.wal", 1, 1, 44, bytes([255])),
    ("odd.wal", 3, 2, 44, bytes([16, 208, 224, 243, 0, 127])),
    ("pattern.wal", 37, 23, 100, bytes((i * 11 + 5) % 256 for i in range(37 * 23))),
    ("wide.wal", 300, 3, 64, bytes((x + 7 * y) % 256 for y in range(3) for x in range(300))),
    ("tall.wal", 2, 300, 44, bytes((3 * y + x) % 256 for y in range(300) for x in range(2))),
    ("photo.wal", 640, 480, 44, bytes((x ^ y) % 256 for y in range(480) for x in range(640))),
    ("chart.wal", 256, 256, 100, chart_indices()),
]


def expected_rgb(width, height, indices):
    return b"".join(PALETTE[3 * i:3 * i + 3] for i in indices)


def convert_all(tavlick, workdir):
    """Writes every case and converts it; returns the failures found."""
    faults = []
    for name, width, height, offset, indices in CASES:
        with open(os.path.join(workdir, name), "wb") as f:
            f.write(make_texture(width, height, offset, indices))
        out = name[:-3] + "tga"
        run = subprocess.run([tavlick, name], cwd=workdir, capture_output=True)
        want = f"Converted: {name} -> {out}\n".encode()
        if run.stdout != want or run.stderr or run.returncode != 0:
            faults.append(f"{name}: Tavlick printed {run.stdout!r}, {run.stderr!r}, "
                          f"status {run.returncode}")
    return faults


def check_pillow(workdir, chart_png):
    from PIL import Image

    faults = []
    for name, width, height, _, indices in CASES:
        path = os.path.join(workdir, name[:-3] + "tga")
        with Image.open(path) as im:
            seen = (im.format, im.size, im.mode, im.info.get("compression"))
            want = ("TGA", (width, height), "RGB", None)
            if seen != want:
                faults.append(f"{name}: Pillow sees {seen}, not {want}")
                continue
            got = im.tobytes()
        exp = expected_rgb(width, height, indices)
        if got != exp:
            first = next(i for i in range(len(exp)) if got[i] != exp[i]) // 3
            x, y = first % width, first // width
            faults.append(f"{name}: Pillow sees {tuple(got[3 * first:3 * first + 3])} "
                          f"at ({x}, {y}), not {rgb(indices[first])} "
                          f"(index {indices[first]})")
    if chart_png:
        with Image.open(chart_png) as im:
            got = im.convert("RGB").tobytes() if im.size == (256, 256) else None
        if got != expected_rgb(256, 256, chart_indices()):
            faults.append(f"{chart_png} does not show the sample chart as converted")
    return faults


def identify(path, fmt):
    run = subprocess.run([IDENTIFY, "-format", fmt, path], capture_output=True, text=True)
    return run.stdout.strip() if run.returncode == 0 else f"error: {run.stderr.strip()}"


def check_identify(workdir):
    faults = []
    for name, width, height, _, indices in CASES:
        path = os.path.join(workdir, name[:-3] + "tga")
        # Fields that read the same in ImageMagick 6 and 7. How it reports a
        # bottom-up file differs: 6 keeps the rows as stored and says
        # BottomLeft, 7 turns the picture upright as it reads it and says
        # TopLeft. Either is right; the pixels below follow what it said.
        seen = identify(path, "%m|%w|%h|%z|%[colorspace]|%C|%[orientation]")
        fields = seen.split("|")
        want = ["TGA", str(width), str(height), "8", "sRGB", "None"]
        if len(fields) != 7 or fields[:6] != want or fields[6] not in ("BottomLeft", "TopLeft"):
            faults.append(f"{name}: identify sees '{seen}', not "
                          f"'{'|'.join(want)}|BottomLeft' or '...|TopLeft'")
            continue
        stored = fields[6] == "BottomLeft"
        # The corners, the middle and one pixel of every tenth row, asked for
        # by picture row: where identify keeps the stored order, picture row
        # y is stored row height - 1 - y.
        points = {(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1),
                  (width // 2, height // 2)}
        points |= {((7 * y) % width, y) for y in range(0, height, 10)}
        points = sorted(points)
        fmt = " ".join(f"%[hex:p{{{x},{height - 1 - y if stored else y}}}]" for x, y in points)
        colours = identify(path, fmt).split()
        for (x, y), colour in zip(points, colours):
            want_hex = "%02X%02X%02X" % rgb(indices[y * width + x])
            if colour.upper() != want_hex:
                faults.append(f"{name}: identify sees {colour} at ({x}, {y}), not {want_hex}")
        if len(colours) != len(points):
            faults.append(f"{name}: identify gave {len(colours)} colours for {len(points)} pixels")
    return faults


def reader_missing(reader):
    if reader == "pillow":
        try:
            import PIL.Image  # noqa: F401
        except ImportError:
            return "Pillow (Debian package python3-pil) is not installed"
        return None
    if not os.access(IDENTIFY, os.X_OK):
        return f"{IDENTIFY} (Debian package imagemagick) is not installed"
    return None


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("pillow", "identify"):
        print(__doc__)
        return 2
    reader, tavlick = sys.argv[1], os.path.abspath(sys.argv[2])
    chart_png = sys.argv[3] if len(sys.argv) > 3 else None
    missing = reader_missing(reader)
    if missing:
        print(missing)
        return 1 if os.environ.get("CI") == "true" else SKIP
    workdir = tempfile.mkdtemp(prefix="readers-test-")
    try:
        faults = convert_all(tavlick, workdir)
        if not faults:
            faults = check_pillow(workdir, chart_png) if reader == "pillow" else \
                check_identify(workdir)
    finally:
        shutil.rmtree(workdir)
    for fault in faults:
        print(fault)
    print(f"{reader}: {len(CASES)} Targa files checked, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
