#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/.

texture/: valid palette textures of several sizes and shapes, and headers
that are wrong in each way the reader checks. lights/: the sample light
list, the documented two-light example and the awkward texts (line ends,
high bytes, a zero byte, long words and strings, deep braces).
Run it from anywhere; it replaces the corpus directories whole.
"""
import shutil
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent
CORPUS = HERE / "corpus"


def texture(width, height, offset, pixels=None):
    """A 44-byte header (unread bytes hold junk), padding up to `offset` when
    it lies past the header, then the pixel block (by default width x height
    bytes of every index)."""
    if pixels is None:
        count = max(width, 0) * max(height, 0)
        pixels = bytes((i * 37 + i // 7) & 0xFF for i in range(count))
    head = bytearray(b"\x5a" * 44)
    struct.pack_into("<iii", head, 32, width, height, offset)
    padding = offset - 44 if 44 <= offset <= 4096 else 0
    return bytes(head) + b"\xcc" * padding + pixels


def textures():
    yield "2x2-example", texture(2, 2, 44, bytes([16, 208, 224, 243]))
    yield "1x1", texture(1, 1, 44)
    yield "3x5-odd", texture(3, 5, 44)
    yield "16x16-offset-100", texture(16, 16, 100)
    yield "64x32-offset-100-tail", texture(64, 32, 100) + b"\x77" * 300
    yield "64x64", texture(64, 64, 44)
    yield "300x2-wide", texture(300, 2, 44)
    yield "0x9-empty", texture(0, 9, 44)
    yield "9x0-empty", texture(9, 0, 44)
    yield "0x0-header-only", texture(0, 0, 0, b"")
    yield "4x11-overlaps-header", texture(4, 11, 0, b"")
    yield "block-ends-at-end", texture(4, 4, 48, b"\x05" * 16)
    yield "empty-block-at-end", texture(0, 5, 44)
    yield "len-0", b""
    yield "len-1", b"\x01"
    yield "len-43", texture(1, 1, 44)[:43]
    yield "negative-width", texture(-1, 2, 44, b"\x00" * 8)
    yield "negative-height", texture(2, -2147483648, 44, b"\x00" * 8)
    yield "negative-offset", texture(1, 1, -44, b"\x00")
    yield "huge-width", texture(2147483647, 2, 44, b"")
    yield "wraps-32-bits", texture(65537, 65537, 44, b"\x00" * 64)
    yield "past-end-by-one", texture(16, 16, 44, b"\x01" * 255)
    yield "offset-past-end", texture(0, 0, 2147483647, b"")


def lights():
    sample = (HERE.parent / "samples" / "base1.txt").read_bytes()
    yield "sample", sample
    yield "two-lights", (
        b"{\norigin 16 32 48\nradius 200 200 200\nstyle 0\ncolor 1 0.5 0.25\n"
        b"center 0 0 0\nmaterial lights/bulb\nnoShadows\nparallel\n}\n"
        b"// second light\n{\n\"origin\" \"0\" \"0\" \"64\"\nangles 0 90 0\n"
        b"materialParm3 1\n}\n")
    yield "crlf", b"// lights\r\n{\r\n\"origin\" \"1\" \"2\" \"3\"\r\nstyle 2\r\n}\r\n"
    yield "high-bytes", b"{ origin\xa01\xe92\xff3 style \"caf\xe9\" }\n"
    yield "zero-byte", b"{ origin 1 2 3 }\n\x00bogus { }\n"
    yield "comment-at-end", b"{ }\n// no newline after this"
    yield "missing-last-value", b"origin 1 2"
    yield "no-shadows-value", b"{ noShadows 1 }"
    yield "brace-against-word", b"{origin 1 2 3 }"
    yield "unknown-key", b"{ } { } brightness 5 { }"
    yield "word-511", b"style " + b"w" * 511
    yield "word-512", b"{ " + b"w" * 512 + b" }"
    yield "quoted-600", b"style \"" + b"q" * 600 + b"\""
    yield "quoted-unterminated", b"color \"abc"
    yield "empty-quotes", b"style \"\" color \"\" \"\" \"\""
    yield "nested-braces", b"{ " * 200 + b"} " * 200
    yield "braces-as-one-word", b"{" * 300 + b"}" * 300
    yield "slashes", b"a// b /x //\n//\n\n// c\n{"


def write(name, items):
    out = CORPUS / name
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    for stem, data in items:
        (out / stem).write_bytes(data)


write("texture", textures())
write("lights", lights())
