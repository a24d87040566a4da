#!/usr/bin/env python3
"""Builds the application icon from the text pictures beside this file.

    python3 resources/icon/make-icon.py [OUTDIR]   # writes pixel-sampler.ico and the six PNGs

Each picture is one character per pixel, a hexadecimal index into the 16-colour
palette below ('.' is transparent). The .ico holds exactly three images, in this
order: 32 x 32 in 2 colours, 32 x 32 in 16 colours, 16 x 16 in 16 colours. The
PNGs are the 16-colour pictures for the Linux desktop's icon theme, in the sizes
the themes and software centres ask for; the larger ones repeat each pixel a
whole number of times, so the pixel art stays sharp (48 is the 16 x 16 picture
three times over: 32 does not go into 48).
"""
import pathlib
import struct
import zlib

HERE = pathlib.Path(__file__).resolve().parent

# The 16 colours every Windows display could show, as (red, green, blue).
PALETTE_16 = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
# Two colours: '0' black, 'F' white.
PALETTE_2 = [(0x00, 0x00, 0x00), (0xFF, 0xFF, 0xFF)]

IMAGES = [  # (picture, size, bits per pixel)
    ("icon-32x32-2.txt", 32, 1),
    ("icon-32x32-16.txt", 32, 4),
    ("icon-16x16-16.txt", 16, 4),
]


def read_picture(name, size):
    rows = (HERE / name).read_text().split()
    if len(rows) != size or any(len(r) != size for r in rows):
        raise SystemExit(f"{name}: expected {size} rows of {size} characters")
    return rows


def index_of(ch, bits):
    if ch == ".":
        return None
    value = int(ch, 16)
    return (1 if value else 0) if bits == 1 else value


def packed_rows(rows, bits, value_of):
    """Bottom-up rows of `bits`-bit values, each padded to 4 bytes, as a BMP stores them."""
    out = bytearray()
    for row in reversed(rows):
        acc, count, line = 0, 0, bytearray()
        for ch in row:
            acc = acc << bits | value_of(ch)
            count += bits
            if count == 8:
                line.append(acc)
                acc, count = 0, 0
        if count:
            line.append(acc << (8 - count))
        line.extend(b"\0" * (-len(line) % 4))
        out += line
    return bytes(out)


def icon_image(rows, size, bits):
    palette = PALETTE_2 if bits == 1 else PALETTE_16
    colours = packed_rows(rows, bits, lambda ch: index_of(ch, bits) or 0)
    mask = packed_rows(rows, 1, lambda ch: 1 if ch == "." else 0)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0,
                         len(colours) + len(mask), 0, 0, len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + colours + mask, len(palette)


def write_ico(path):
    images = []
    for name, size, bits in IMAGES:
        data, colours = icon_image(read_picture(name, size), size, bits)
        images.append((size, bits, colours, data))
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    blobs = b""
    for size, bits, colours, data in images:
        directory += struct.pack("<BBBBHHII", size, size, colours, 0, 1, bits, len(data),
                                 offset + len(blobs))
        blobs += data
    path.write_bytes(directory + blobs)


# Size of the PNG: (picture, how many times each pixel is repeated).
PNGS = {
    16: ("icon-16x16-16.txt", 1),
    32: ("icon-32x32-16.txt", 1),
    48: ("icon-16x16-16.txt", 3),
    64: ("icon-32x32-16.txt", 2),
    128: ("icon-32x32-16.txt", 4),
    256: ("icon-32x32-16.txt", 8),
}


def scaled(rows, times):
    """Nearest-neighbour scaling by a whole number: each pixel becomes a times x times square."""
    return ["".join(ch * times for ch in row)
            for row in rows for _ in range(times)]


def write_png(path, rows):
    raw = bytearray()
    for row in rows:
        raw.append(0)
        for ch in row:
            index = index_of(ch, 4)
            raw += bytes(PALETTE_16[index]) + b"\xff" if index is not None else b"\0\0\0\0"

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    size = len(rows)
    png = (b"\x89PNG\r\n\x1a\n" +
           chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    path.write_bytes(png)


if __name__ == "__main__":
    import sys
    out = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else HERE
    write_ico(out / "pixel-sampler.ico")
    for size, (name, times) in PNGS.items():
        rows = scaled(read_picture(name, size // times), times)
        write_png(out / f"pixel-sampler-{size}.png", rows)
