"""What the Wine tests know about an installer image: the scrambled 640-byte
install record inside the stub, found by its signature; the record's words
and text slots; the seal over the record and the payload; and the container
streams of a compressed payload, as kestrune-pack lists them.

The record's layout and constants are read from format/record.h and
format/seal.h, where the C++ code takes them from. Words are 32-bit
little-endian. Standard library only.
"""
import os
import re
import struct
import subprocess
import tempfile
import zlib



def read_layout():
    """The record's constants and fields from format/record.h and the seal's
    from format/seal.h, where the C++ code takes them from: each OFFSET_<NAME>
    of INSTALL_RECORD_FIELDS and each name = number of their enums."""
    here = os.path.dirname(os.path.abspath(__file__))
    found = {}
    for header in ("record.h", "seal.h"):
        with open(os.path.join(here, "..", "..", "format", header)) as f:
            text = f.read()
        for kind, body in re.findall(r"\b(WORD|AREA|TEXT)\(([^)]*)\)", text):
            parts = [p.strip() for p in body.split(",")]
            if parts[-1].isdigit():
                upper, offset = (parts[2], parts[3]) if kind == "WORD" else (parts[1], parts[2])
                found["OFFSET_" + upper] = int(offset)
        for name, value in re.findall(r"^\s+([A-Z_0-9]+) = (0x[0-9A-Fa-f]+|[0-9]+),", text, re.M):
            found[name] = int(value, 0)
    # The seal's word offsets count from its area, which is the record's seal field.
    for name, step in (("MARKER", 0), ("RECORD_CRC", 4), ("PAYLOAD_LENGTH", 8), ("PAYLOAD_CRC", 12)):
        found["OFFSET_SEAL_" + name] = found["OFFSET_SEAL"] + step
    return found


LAYOUT = read_layout()
globals().update(LAYOUT)
RECORD_SIGNATURE = b"Kestrune install record\0"
SEAL_AREA_OFFSET, SEAL_AREA_SIZE = LAYOUT["OFFSET_SEAL"], LAYOUT["SEAL_SIZE"]

# A stream's first data byte: after its 10-byte size block and the 6-byte
# header of its first data block.
STREAM_FIRST_DATA = 16


class ImageError(Exception):
    """The image holds no single install record, or no stream where one
    was expected."""


def scramble(data):
    """XOR with CONFIG_KEY: scrambles a plain record and unscrambles a
    scrambled one."""
    return bytes(b ^ CONFIG_KEY for b in data)


def record_starts(image):
    """Where a record starts for each copy of the scrambled signature in the
    image, in order (a start can lie before the image for a stray copy)."""
    marker = scramble(RECORD_SIGNATURE)
    starts = []
    at = image.find(marker)
    while at >= 0:
        starts.append(at - OFFSET_RECORD_SIGNATURE)
        at = image.find(marker, at + 1)
    return starts


def record_offset(image):
    """Offset of the one scrambled record; ImageError unless there is exactly
    one and it lies wholly inside the image."""
    starts = record_starts(image)
    if len(starts) != 1 or starts[0] < 0 or starts[0] + CONFIG_SIZE > len(image):
        raise ImageError("no single install record in the image")
    return starts[0]


def get_record(image):
    """(offset, plain record as a bytearray) of the image's one record."""
    at = record_offset(image)
    return at, bytearray(scramble(image[at:at + CONFIG_SIZE]))


def put_record(image, at, record):
    """The image with the plain record scrambled back in at offset at."""
    return bytes(image[:at]) + scramble(bytes(record)) + bytes(image[at + CONFIG_SIZE:])


def put_text(record, offset, text):
    """Writes text, zero-filled, into the text slot at offset."""
    data = text.encode("latin-1")
    if len(data) >= TEXT_SLOT_SIZE:
        raise ImageError("%r does not fit a text slot" % text)
    record[offset:offset + TEXT_SLOT_SIZE] = data + bytes(TEXT_SLOT_SIZE - len(data))


def word(record, offset):
    return struct.unpack_from("<I", record, offset)[0]


def put_word(record, offset, value):
    struct.pack_into("<I", record, offset, value & 0xFFFFFFFF)


def text_slot(record, offset):
    """The bytes of the text slot at offset, up to its terminating zero."""
    return bytes(record[offset:offset + TEXT_SLOT_SIZE]).split(b"\0", 1)[0]


def header_check_holds(record):
    """Whether the record's header_check matches the words it covers; the
    installer installs nothing when it does not."""
    covered = (OFFSET_PAYLOAD_OFFSET, OFFSET_MAIN_SIZE, OFFSET_SECOND_SIZE, OFFSET_RESERVED_16)
    check = 0
    for offset in covered:
        check ^= word(record, offset)
    return check == word(record, OFFSET_HEADER_CHECK)


def payload_offset(image):
    return word(get_record(image)[1], OFFSET_PAYLOAD_OFFSET)


def reseal(image):
    """Recomputes the seal of a changed installer as the package tool does,
    so that a test reaches the installer's own checks behind the seal: the
    payload from payload_offset to the end of the image, then the CRC of the
    record with the seal area counted as zero. An unsealed image comes back
    unchanged."""
    image = bytes(image)
    at, record = get_record(image)
    if word(record, OFFSET_SEAL_MARKER) != SEAL_MARKER:
        return image
    payload = word(record, OFFSET_PAYLOAD_OFFSET)
    put_word(record, OFFSET_SEAL_PAYLOAD_LENGTH, len(image) - payload)
    put_word(record, OFFSET_SEAL_PAYLOAD_CRC, zlib.crc32(image[payload:]))
    after = SEAL_AREA_OFFSET + SEAL_AREA_SIZE
    plain = bytes(record[:SEAL_AREA_OFFSET]) + bytes(SEAL_AREA_SIZE) + bytes(record[after:])
    put_word(record, OFFSET_SEAL_RECORD_CRC, zlib.crc32(plain))
    return put_record(image, at, record)


def unseal(image):
    """The installer with the seal area of its record zeroed, as a packer
    that does not seal writes it: the installer then trusts the record as it
    stands and only its own checks of the words and names remain."""
    at, record = get_record(image)
    record[SEAL_AREA_OFFSET:SEAL_AREA_OFFSET + SEAL_AREA_SIZE] = bytes(SEAL_AREA_SIZE)
    return put_record(image, at, record)


def stream_starts(pack, image, offset):
    """Offsets of the container streams that follow each other from offset
    on, as `kestrune-pack streams` (at path pack) decodes them; ImageError
    when there is none."""
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "image.exe")
        with open(path, "wb") as f:
            f.write(image)
        result = subprocess.run([pack, "streams", path, "--offset", str(offset)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if result.returncode != 0:
        raise ImageError("kestrune-pack streams: " + result.stderr.decode(errors="replace"))
    return [int(line.split()[0]) for line in result.stdout.decode().splitlines()]
