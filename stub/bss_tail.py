#!/usr/bin/env python3
"""Makes the zeros that end kestrune.exe's .data section its uninitialised
tail: the linker (stub/kestrune.ld) writes the .bss buffers out as zeros
after the initialised data, and this cuts them from the file.

    bss_tail.py EXE

The image must hold exactly .text, .data and .rsrc, in that order. The
.data section's raw data is cut after its last non-zero byte, rounded up to
FileAlignment, and the resource section moved down behind it; nothing in
memory changes, because the loader fills a section's VirtualSize past its
SizeOfRawData with zeros. Section addresses, the record's place and the
resources (whose directory holds RVAs) stay as they are; SizeOfInitializedData,
SizeOfUninitializedData and the checksum follow. Running it twice changes
nothing the second time. Standard library only.
"""
import struct
import sys

SECTIONS = [".text", ".data", ".rsrc"]
SECTION_HEADER = 40


def checksum(image, field):
    """The PE checksum: 16-bit words summed with their carries folded back,
    the CheckSum field left out, plus the file's length."""
    total = 0
    padded = image + b"\0" * (len(image) % 2)
    for at in range(0, len(padded), 2):
        if field <= at < field + 4:
            continue
        total += padded[at] | padded[at + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(image)) & 0xFFFFFFFF


def read_sections(image, table, count):
    sections = []
    for i in range(count):
        at = table + SECTION_HEADER * i
        name = image[at:at + 8].rstrip(b"\0").decode()
        vsize, vaddr, rsize, raddr = struct.unpack_from("<IIII", image, at + 8)
        sections.append(dict(name=name, at=at, vsize=vsize, vaddr=vaddr, rsize=rsize, raddr=raddr))
    return sections


def cut_tail(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from("<H", image, pe + 20)[0]
    opt = pe + 24
    file_alignment = struct.unpack_from("<I", image, opt + 36)[0]
    sections = read_sections(image, opt + optional_size, count)
    if [s["name"] for s in sections] != SECTIONS:
        raise ValueError("sections %s, expected %s" % ([s["name"] for s in sections], SECTIONS))
    data, rsrc = sections[1], sections[2]
    if data["raddr"] + data["rsize"] != rsrc["raddr"] or rsrc["raddr"] + rsrc["rsize"] != len(image):
        raise ValueError(".data and .rsrc do not end the file back to back")
    raw = image[data["raddr"]:data["raddr"] + data["rsize"]]
    used = len(raw.rstrip(b"\0"))
    kept = -(-used // file_alignment) * file_alignment
    removed = data["rsize"] - kept
    if removed == 0:
        return image
    out = bytearray(image[:data["raddr"] + kept]) + image[rsrc["raddr"]:]
    struct.pack_into("<I", out, data["at"] + 8, data["vsize"] or data["rsize"])
    struct.pack_into("<I", out, data["at"] + 16, kept)
    struct.pack_into("<I", out, rsrc["at"] + 20, rsrc["raddr"] - removed)
    initialised, uninitialised = struct.unpack_from("<II", out, opt + 8)
    struct.pack_into("<II", out, opt + 8, initialised - removed, uninitialised + removed)
    struct.pack_into("<I", out, opt + 64, checksum(bytes(out), opt + 64))
    return bytes(out)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: bss_tail.py EXE\n")
        return 2
    with open(argv[1], "rb") as f:
        image = f.read()
    try:
        out = cut_tail(image)
    except (ValueError, struct.error) as error:
        sys.stderr.write("bss_tail.py: %s: %s\n" % (argv[1], error))
        return 1
    if out != image:
        with open(argv[1], "wb") as f:
            f.write(out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
