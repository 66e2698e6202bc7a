#!/usr/bin/env python3
"""Writes chart.wal: a palette texture showing all 256 palette entries as a
16 x 16 chart of square swatches, entry 0 at the top left, rows of 16."""
import struct
import sys

SWATCH = 16          # pixels per swatch side
SIDE = 16 * SWATCH   # image width and height
PIXEL_OFFSET = 100   # the header proper is 44 bytes; the rest is padding


def chart_pixels():
    rows = []
    for y in range(SIDE):
        row = bytes((y // SWATCH) * 16 + x // SWATCH for x in range(SIDE))
        rows.append(row)
    return b"".join(rows)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "chart.wal"
    header = bytearray(PIXEL_OFFSET)
    header[0:5] = b"chart"
    struct.pack_into("<iii", header, 32, SIDE, SIDE, PIXEL_OFFSET)
    with open(out, "wb") as f:
        f.write(bytes(header) + chart_pixels())


if __name__ == "__main__":
    main()
