#!/usr/bin/env python3
"""Draws the progress dialog's icon: a small monitor showing a night sky with
a crescent moon and a hovering kestrel. Writes a Windows .ico with exactly one
32x32, 16-colour image (4 bits per pixel, one plane): 40 bytes of header, 64
of palette, 512 of pixels and 128 of transparency mask, 744 bytes in all.

    make_icon.py OUT.ico [--png PREVIEW.png]

Standard library only; the output is the same bytes on every run.
"""
import struct
import sys
import zlib

SIZE = 32

# The 16 colours every 16-colour display shows without dithering.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, OLIVE, NAVY, SILVER, GREY, YELLOW, WHITE = 0, 1, 3, 4, 7, 8, 11, 15

# Hovering kestrel seen from below: swept wings, body, fanned tail.
KESTREL = [
    "#...........#",
    "##....#....##",
    ".###.###.###.",
    "..#########..",
    ".....###.....",
    ".....###.....",
    "....#####....",
]


def draw():
    """Returns (pixels, opaque): 32x32 lists, rows top to bottom."""
    pixels = [[BLACK] * SIZE for _ in range(SIZE)]
    opaque = [[False] * SIZE for _ in range(SIZE)]

    def fill(x0, y0, x1, y1, colour):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                pixels[y][x] = colour
                opaque[y][x] = True

    # Monitor: light bezel with a bevel, dark screen inside.
    fill(1, 2, 30, 24, SILVER)
    fill(1, 2, 30, 2, WHITE)
    fill(1, 2, 1, 24, WHITE)
    fill(1, 24, 30, 24, GREY)
    fill(30, 2, 30, 24, GREY)
    fill(4, 5, 27, 21, NAVY)
    fill(4, 5, 27, 5, GREY)
    fill(4, 5, 4, 21, GREY)
    # Stand.
    fill(13, 25, 18, 26, GREY)
    fill(8, 27, 23, 29, SILVER)
    fill(8, 29, 23, 29, GREY)
    fill(8, 27, 23, 27, WHITE)

    # Crescent moon: a disc with a smaller disc cut out of its upper right.
    for y in range(6, 18):
        for x in range(16, 27):
            in_moon = (x - 22.0) ** 2 + (y - 10.5) ** 2 <= 4.2 ** 2
            in_cut = (x - 24.0) ** 2 + (y - 9.0) ** 2 <= 3.6 ** 2
            if in_moon and not in_cut:
                pixels[y][x] = YELLOW

    for x, y in [(7, 7), (12, 6), (16, 8), (25, 18), (6, 20), (14, 20), (26, 14)]:
        pixels[y][x] = WHITE
    for x, y in [(9, 10), (20, 19), (24, 6)]:
        pixels[y][x] = SILVER

    # Kestrel: olive wings and body, maroon wing tips and tail band.
    left, top = 5, 12
    for row, line in enumerate(KESTREL):
        for column, mark in enumerate(line):
            if mark == "#":
                tip = row < 2 or row == len(KESTREL) - 1
                pixels[top + row][left + column] = MAROON if tip else OLIVE
    return pixels, opaque


def icon_image(pixels, opaque):
    """The 744-byte DIB of one icon image: header, palette, XOR, AND."""
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0,
                         SIZE * SIZE // 2 + SIZE * SIZE // 8, 0, 0, 16, 0)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(SIZE)):  # DIB rows run bottom to top
        for x in range(0, SIZE, 2):
            left = pixels[y][x] if opaque[y][x] else 0
            right = pixels[y][x + 1] if opaque[y][x + 1] else 0
            colour.append(left << 4 | right)
        bits = 0
        for x in range(SIZE):
            bits = bits << 1 | (0 if opaque[y][x] else 1)
        mask += struct.pack(">I", bits)
    image = header + palette + bytes(colour) + bytes(mask)
    assert len(image) == 744
    return image


def icon_file(image):
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def png_preview(pixels, opaque, scale):
    """A scaled RGBA PNG of the icon, for the docs and for looking at it."""
    rows = []
    for y in range(SIZE * scale):
        row = bytearray(b"\0")
        for x in range(SIZE * scale):
            px, py = x // scale, y // scale
            r, g, b = PALETTE[pixels[py][px]]
            row += bytes((r, g, b, 255 if opaque[py][px] else 0))
        rows.append(bytes(row))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    side = SIZE * scale
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) +
            chunk(b"IEND", b""))


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--png"):
        sys.stderr.write("usage: make_icon.py OUT.ico [--png PREVIEW.png]\n")
        return 2
    pixels, opaque = draw()
    with open(argv[1], "wb") as out:
        out.write(icon_file(icon_image(pixels, opaque)))
    if len(argv) == 4:
        with open(argv[3], "wb") as out:
            out.write(png_preview(pixels, opaque, 8))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
