#!/usr/bin/env python3
"""Writes the PNG and TIFF fixtures of image_codec_test.cpp byte by byte and
the greyscale PGM that cjpeg turns into grey.jpg:
    python3 make_fixtures.py && cjpeg -quality 95 grey.pgm > grey.jpg && rm grey.pgm
"""
import struct
import zlib


def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(width, height, depth, colour, rows_bytes, interlace=0, extra=b""):
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, interlace)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + extra +
            png_chunk(b"IDAT", zlib.compress(rows_bytes)) + png_chunk(b"IEND", b""))


def palette_png():
    """4 x 2, 8-bit palette of red, green, blue; tRNS makes red clear and
    green half transparent."""
    indexes = [[0, 1, 2, 1], [2, 2, 0, 1]]
    rows = b"".join(b"\0" + bytes(row) for row in indexes)
    palette = png_chunk(b"PLTE", bytes([255, 0, 0, 0, 255, 0, 0, 0, 255]))
    transparency = png_chunk(b"tRNS", bytes([0, 128]))
    return png(4, 2, 8, 3, rows, extra=palette + transparency)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def grey16_interlaced_png():
    """3 x 3, 16-bit grey with alpha, Adam7: pixel (x, y) has grey
    0x1000 * (3y + x) + 0xFF and alpha 0xFFFF, but (1, 1) has alpha 0."""
    def sample(x, y):
        return struct.pack(">HH", 0x1000 * (3 * y + x) + 0xFF, 0 if (x, y) == (1, 1) else 0xFFFF)
    data = b""
    for x0, y0, dx, dy in ADAM7:
        for y in range(y0, 3, dy):
            row = b"".join(sample(x, y) for x in range(x0, 3, dx))
            if row:
                data += b"\0" + row
    return png(3, 3, 16, 4, data, interlace=1)


def tiff_entry(tag, kind, count, value):
    return struct.pack(">HHI", tag, kind, count) + value


def rgba16_tiff():
    """3 x 2, big-endian, 16 bits per sample, RGB and unassociated alpha,
    uncompressed, one strip."""
    pixels = [(0x1234, 0x5678, 0x9ABC, 0xFFFF), (0xFFFF, 0, 0, 0xFFFF), (0, 0xFFFF, 0, 0xFFFF),
              (0, 0, 0xFFFF, 0xFFFF), (0xFFFF, 0x8080, 0, 0x8000), (0xFFFF, 0xFFFF, 0xFFFF, 0)]
    strip = b"".join(struct.pack(">HHHH", *p) for p in pixels)
    short, long_ = 3, 4
    entries = 11
    ifd_size = 2 + 12 * entries + 4
    bits_at = 8 + ifd_size
    strip_at = bits_at + 8
    ifd = struct.pack(">H", entries) + b"".join([
        tiff_entry(256, short, 1, struct.pack(">HH", 3, 0)),          # ImageWidth
        tiff_entry(257, short, 1, struct.pack(">HH", 2, 0)),          # ImageLength
        tiff_entry(258, short, 4, struct.pack(">I", bits_at)),        # BitsPerSample
        tiff_entry(259, short, 1, struct.pack(">HH", 1, 0)),          # Compression: none
        tiff_entry(262, short, 1, struct.pack(">HH", 2, 0)),          # Photometric: RGB
        tiff_entry(273, long_, 1, struct.pack(">I", strip_at)),       # StripOffsets
        tiff_entry(277, short, 1, struct.pack(">HH", 4, 0)),          # SamplesPerPixel
        tiff_entry(278, short, 1, struct.pack(">HH", 2, 0)),          # RowsPerStrip
        tiff_entry(279, long_, 1, struct.pack(">I", len(strip))),     # StripByteCounts
        tiff_entry(284, short, 1, struct.pack(">HH", 1, 0)),          # PlanarConfig: contiguous
        tiff_entry(338, short, 1, struct.pack(">HH", 2, 0)),          # ExtraSamples: unassociated alpha
    ]) + struct.pack(">I", 0)
    return b"MM\0\x2A" + struct.pack(">I", 8) + ifd + struct.pack(">HHHH", 16, 16, 16, 16) + strip


def grey_pgm():
    """16 x 8: the left 8 x 8 block grey 40, the right one grey 200. Flat
    blocks survive JPEG almost exactly."""
    rows = bytes(([40] * 8 + [200] * 8) * 8)
    return b"P5 16 8 255\n" + rows


for name, data in [("palette.png", palette_png()), ("grey16_interlaced.png", grey16_interlaced_png()),
                   ("rgba16.tiff", rgba16_tiff()), ("grey.pgm", grey_pgm())]:
    with open(name, "wb") as out:
        out.write(data)
