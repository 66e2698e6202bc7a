#!/usr/bin/python3
"""Opens Tavlick's Targa files with readers that share no code with it and
checks what they see against the indices written into each texture and the
texture palette.

    readers_test.py pillow|identify TAVLICK [CHART_PNG]

pillow:   Pillow (Debian python3-pil) must see a TGA of the right size in
          RGB, top row first, every pixel equal to palette[index]; with
          CHART_PNG it also checks that picture against the sample chart.
identify: ImageMagick's identify (Debian imagemagick) must see a TGA of the
          right size, 8 bits per channel, sRGB, no compression, stored bottom
          row first, and the right colour at a few pixels.

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

# The texture palette, red-green-blue, eight entries a line. Kept here as a
# second copy on purpose: a fault in the program's table shows up as a
# difference between the two.
PALETTE_HEX = """
    000000 0f0f0f 1f1f1f 2f2f2f 3f3f3f 4b4b4b 5b5b5b 6b6b6b
    7b7b7b 8b8b8b 9b9b9b ababab bbbbbb cbcbcb dbdbdb ebebeb
    634b23 5b431f 533f1f 4f3b1b 47371b 3f2f17 3b2b17 332713
    2f2313 2b1f13 271b0f 23170f 1b130b 170f0b 130f07 0f0b07
    5f5f6f 5b5b67 5b535f 574f5b 534b53 4f474b 473f43 3f3b3b
    3b3737 332f2f 2f2b2b 272727 232323 1b1b1b 171717 131313
    8f7753 7b6343 735b3b 674f2f cf974b a77b3b 8b672f 6f5327
    eb9f27 cb8b23 af771f 93631b 774f17 5b3b0f 3f270b 231707
    a73b2b 9f2f23 972b1b 8b2713 7f1f0f 73170b 671707 571300
    4b0f00 430f00 3b0f00 330b00 2b0b00 230b00 1b0700 130700
    7b5f4b 735743 6b533f 674f3b 5f4737 574333 533f2f 4b372b
    433327 3f2f23 37271b 2f2317 271b13 1f170f 170f0b 0f0b07
    6f3b17 5f3717 532f17 432b17 372313 271b0f 1b130b 0f0b07
    b35b4f bf7b6f cb9b93 d7bbb7 cbd7df b3c7d3 9fb7c3 87a7b7
    7397a7 5b879b 47778b 2f677f 17536f 134b67 0f435b 0b3f53
    07374b 072f3f 072733 001f2b 00171f 000f13 00070b 000000
    8b5757 834f4f 7b4747 734343 6b3b3b 633333 5b2f2f 572b2b
    4b2323 3f1f1f 331b1b 2b1313 1f0f0f 130b0b 0b0707 000000
    979f7b 8f9773 878b6b 7f8363 777b5f 737357 6b6b4f 636347
    5b5b43 4f4f3b 434333 37372b 2f2f23 23231b 171713 0f0f0b
    9f4b3f 934337 8b3b2f 7f3727 772f23 6b2b1b 632317 571f13
    4f1b0f 43170b 37130b 2b0f07 1f0b07 170700 0b0000 000000
    777bcf 6f73c3 676bb7 6363a7 5b5b9b 53578f 4b4f7f 474773
    3f3f67 373757 2f2f4b 27273f 231f2f 1b1723 130f17 0b0707
    9bab7b 8f9f6f 879763 7b8b57 73834b 677743 5f6f3b 576733
    4b5b27 3f4f1b 374313 2f3b0b 232f07 1b2300 131700 0b0f00
    00ff00 23e70f 3fd31b 53bb27 5fa72f 5f8f33 5f7b33 ffffff
    ffffd3 ffffa7 ffff7f ffff53 ffff27 ffeb1f ffd717 ffbf0f
    ffab07 ff9300 ef7f00 e36b00 d35700 c74700 b73b00 ab2b00
    9b1f00 8f1700 7f0f00 730700 5f0000 470000 2f0000 1b0000
    ef0000 3737ff ff0000 0000ff 2b2b23 1b1b17 13130f eb977f
    c37353 9f5733 7b3f1b ebd3c7 c7ab9b a78b77 876b57 9f5b53
"""
PALETTE = bytes.fromhex("".join(PALETTE_HEX.split()))
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
        seen = identify(path, "%m %w %h %z %[channels] %C %[orientation]")
        want = f"TGA {width} {height} 8 srgb None BottomLeft"
        if seen != want:
            faults.append(f"{name}: identify sees '{seen}', not '{want}'")
            continue
        # The corners, the middle and one pixel of every tenth row. identify
        # addresses pixels as stored, and the file stores the bottom row
        # first, so picture row y is stored row height - 1 - y.
        points = {(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1),
                  (width // 2, height // 2)}
        points |= {((7 * y) % width, y) for y in range(0, height, 10)}
        points = sorted(points)
        fmt = " ".join(f"%[hex:p{{{x},{height - 1 - y}}}]" for x, y in points)
        colours = identify(path, fmt).split()
        for (x, y), colour in zip(points, colours):
            want_hex = "%02X%02X%02X" % rgb(indices[y * width + x])
            if colour != want_hex:
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
