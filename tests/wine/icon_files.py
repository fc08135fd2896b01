"""Icon files for the tests, made here: device-independent bitmaps of any
size and depth, a PNG image (as in 256x256 icons), and an .ico of them.
Standard library only.
"""
import struct
import zlib


def dib(side, bits):
    palette = bytes((i * 37 + c) & 0xFF for i in range(1 << bits) for c in (0, 85, 170, 0))
    row = ((side * bits + 31) // 32) * 4
    pixels = bytes((x * 7 + y * 3) & 0xFF for y in range(side) for x in range(row))
    mask = bytes(((side + 31) // 32) * 4 * side)
    return struct.pack("<IiiHHIIiiII", 40, side, 2 * side, 1, bits, 0, 0, 0, 0, 0, 0) + palette + pixels + mask


def png(side):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    rows = b"".join(b"\0" + bytes(4 * side) for _ in range(side))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def ico(images):
    """images: (side, colours, bits, bytes)"""
    out = struct.pack("<HHH", 0, 1, len(images))
    at = 6 + 16 * len(images)
    for side, colours, bits, data in images:
        out += struct.pack("<BBBBHHII", side & 0xFF, side & 0xFF, colours, 0, 1, bits, len(data), at)
        at += len(data)
    return out + b"".join(data for _, _, _, data in images)


def test_icon(path):
    """Writes an .ico with a 16x16 4-bit and a 32x32 8-bit bitmap and a
    256x256 PNG (which the package tool leaves out) and returns path."""
    with open(path, "wb") as out:
        out.write(ico([(16, 16, 4, dib(16, 4)), (256, 0, 32, png(256)), (32, 0, 8, dib(32, 8))]))
    return path


def moon_icon(path):
    """Writes an .ico of a 32x32 16-colour bitmap of a pale crescent moon on
    a night-blue disc, a picture of an author's own icon, and returns path."""
    palette = [(0, 0, 0), (16, 24, 64), (250, 240, 200), (200, 170, 90)] + [(0, 0, 0)] * 12
    rows = []
    for y in range(31, -1, -1):  # bottom-up, as bitmaps are stored
        pixels, mask = [], 0
        for x in range(32):
            dx, dy = x - 15.5, y - 15.5
            inside = dx * dx + dy * dy < 15.5 ** 2
            moon = (dx + 3) ** 2 + dy * dy < 10 ** 2 and (dx - 3) ** 2 + (dy - 2) ** 2 >= 9 ** 2
            pixels.append(2 if moon else 1 if inside else 0)
            mask = mask << 1 | (0 if inside else 1)
        rows.append((bytes(pixels[i] << 4 | pixels[i + 1] for i in range(0, 32, 2)), mask))
    colour = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    image = (struct.pack("<IiiHHIIiiII", 40, 32, 64, 1, 4, 0, 0, 0, 0, 16, 0) + colour +
             b"".join(row for row, _ in rows) + b"".join(struct.pack(">I", mask) for _, mask in rows))
    with open(path, "wb") as out:
        out.write(ico([(32, 16, 4, image)]))
    return path
