#!/usr/bin/env python3
"""Checks a built kestrune.exe without running it: a 32-bit (or, for the
test build, 64-bit) Windows GUI executable within the size budget, in the
layout of stub/kestrune.ld (below), importing only from KERNEL32, USER32 and
COMCTL32, with the progress dialog template and its icon exactly as the
dialog code expects them, and with exactly one scrambled install record,
unfilled (its header check fails, so the bare stub installs nothing).

The layout: the headers in the first 512 bytes, FileAlignment 512 and
SectionAlignment 4096, and three sections: .text (code and read-only data;
read and execute, not write), .data (the record, the import table and the
buffers as its uninitialised tail; read and write, not execute) and .rsrc,
whose raw data ends the file.

    check_stub.py STUB [--limit BYTES]

Standard library only. Prints what it checked; exit 1 on any mismatch.
"""
import struct
import sys

from package_image import (OFFSET_MAIN_FILE_NAME, ImageError, get_record, header_check_holds,
                           record_starts, text_slot)

IDD_PROGRESS, IDI_PROGRESS = 1010, 1020
IDC_PROGRESS_TEXT, IDC_PROGRESS_BAR = 1001, 1000
RT_ICON, RT_DIALOG, RT_GROUP_ICON = 3, 5, 14
LANG_EN_US = 1033


class PE:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        self.subsystem_version = struct.unpack_from("<HH", data, opt + 48)
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", data, opt + 32)
        self.size_of_headers = struct.unpack_from("<I", data, opt + 60)[0]
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        self.layout = []  # (name, virtual size, raw size, raw offset, flags)
        table = opt + optional_size
        for i in range(sections):
            name, vsize, vaddr, rsize, raddr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            name = name.rstrip(b"\0").decode()
            self.sections.append((name, vaddr, max(vsize, rsize), raddr))
            self.layout.append((name, vsize, rsize, raddr, struct.unpack_from("<I", data, table + 40 * i + 36)[0]))

    def offset(self, rva):
        for _, vaddr, size, raddr in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raddr
        raise ValueError("RVA %x outside every section" % rva)

    def cstring(self, rva):
        at = self.offset(rva)
        return self.data[at:self.data.index(b"\0", at)].decode()

    def imports(self):
        """{dll name (upper case): [function names]}"""
        rva, _ = self.directories[1]
        result = {}
        at = self.offset(rva)
        wide = self.magic == 0x20B
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, at)
            if name == 0:
                return result
            functions = []
            entry = self.offset(lookup or thunks)
            while True:
                value = struct.unpack_from("<Q" if wide else "<I", self.data, entry)[0]
                if value == 0:
                    break
                by_ordinal = value >> (63 if wide else 31)
                functions.append("#%d" % (value & 0xFFFF) if by_ordinal
                                 else self.cstring((value & 0x7FFFFFFF) + 2))
                entry += 8 if wide else 4
            result[self.cstring(name).upper()] = functions
            at += 20

    def resources(self):
        """{(type, name, language): bytes} for numeric ids."""
        rva, _ = self.directories[2]
        base = self.offset(rva)
        found = {}

        def walk(at, path):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, at + 16 + 8 * i)
                key = path + [ident]
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), key)
                else:
                    data_rva, size = struct.unpack_from("<II", self.data, base + target)
                    start = self.offset(data_rva)
                    found[tuple(key)] = self.data[start:start + size]
        walk(base, [])
        return found


def utf16(text):
    return (text + "\0").encode("utf-16-le")


def expected_dialog():
    """The progress dialog template, byte for byte (DLGTEMPLATE layout)."""
    out = bytearray(struct.pack("<IIHhhhh", 0x800000C0, 0, 3, 0, 0, 140, 33))
    out += b"\0\0" + b"\0\0" + utf16("")          # no menu, standard class, empty title
    out += struct.pack("<H", 8) + utf16("MS Sans Serif")
    items = [
        (0x50000003, 8, 6, 20, 20, 0xFFFF, b"\xff\xff\x82\x00",
         struct.pack("<HH", 0xFFFF, IDI_PROGRESS)),
        (0x50020000, 36, 8, 100, 10, IDC_PROGRESS_TEXT, b"\xff\xff\x82\x00",
         utf16("Installing screensaver...")),
        (0x50800000, 35, 20, 90, 6, IDC_PROGRESS_BAR, utf16("msctls_progress32"),
         utf16("Progress1")),
    ]
    for style, x, y, cx, cy, ident, window_class, title in items:
        while len(out) % 4:
            out += b"\0"
        out += struct.pack("<IIhhhhH", style, 0, x, y, cx, cy, ident)
        out += window_class + title + b"\0\0"   # no creation data
    return bytes(out)


SCN_CODE = 0x20
SCN_EXECUTE, SCN_READ, SCN_WRITE = 0x20000000, 0x40000000, 0x80000000
# Each section's flags among code, execute, read and write, exactly.
SECTION_FLAGS = [(".text", SCN_CODE | SCN_EXECUTE | SCN_READ), (".data", SCN_READ | SCN_WRITE),
                 (".rsrc", SCN_READ | SCN_WRITE)]
ACCESS = SCN_CODE | SCN_EXECUTE | SCN_READ | SCN_WRITE


def layout_problems(pe, size):
    """What differs from the layout of stub/kestrune.ld."""
    problems = []
    if (pe.file_alignment, pe.section_alignment) != (512, 4096):
        problems.append("FileAlignment %d and SectionAlignment %d, expected 512 and 4096"
                        % (pe.file_alignment, pe.section_alignment))
    if pe.size_of_headers > 512:
        problems.append("headers of %d bytes, over 512" % pe.size_of_headers)
    names = [s[0] for s in pe.layout]
    if names != [name for name, _ in SECTION_FLAGS]:
        return problems + ["sections %s, expected .text, .data, .rsrc" % names]
    for (name, vsize, rsize, raddr, flags), (_, wanted) in zip(pe.layout, SECTION_FLAGS):
        if flags & ACCESS != wanted:
            problems.append("%s flags %08x, expected %08x among code/execute/read/write"
                            % (name, flags, wanted))
    if pe.layout[0][3] != 512:
        problems.append(".text starts at %d, not right after 512 bytes of headers" % pe.layout[0][3])
    _, data_vsize, data_rsize, data_raw, _ = pe.layout[1]
    if data_vsize <= data_rsize:
        problems.append(".data has no uninitialised tail (virtual %d, raw %d bytes)" % (data_vsize, data_rsize))
    imports = pe.directories[1][0]
    data_rva = pe.sections[1][1]
    if not data_rva <= imports < data_rva + data_rsize:
        problems.append("the import table (RVA %x) is not in .data's initialised bytes" % imports)
    _, _, rsrc_rsize, rsrc_raw, _ = pe.layout[2]
    if rsrc_raw + rsrc_rsize != size or pe.directories[2][0] != pe.sections[2][1]:
        problems.append(".rsrc is not the resource directory's section at the end of the file")
    return problems


def check(stub, limit):
    data = open(stub, "rb").read()
    pe = PE(data)
    problems = []

    def expect(condition, message):
        if not condition:
            problems.append(message)

    bits = {0x10B: 32, 0x20B: 64}.get(pe.magic)
    expect(bits is not None, "unknown optional header magic %x" % pe.magic)
    expect((pe.machine, bits) in ((0x14C, 32), (0x8664, 64)), "machine %x" % pe.machine)
    expect(pe.subsystem == 2, "subsystem %d, expected Windows GUI (2)" % pe.subsystem)
    expect(len(data) <= limit, "%d bytes, over the limit of %d" % (len(data), limit))
    if bits == 32:
        expect(pe.subsystem_version == (4, 0),
               "subsystem version %d.%d, expected 4.0" % pe.subsystem_version)

    problems += layout_problems(pe, len(data))

    imports = pe.imports()
    expect(set(imports) <= {"KERNEL32.DLL", "USER32.DLL", "COMCTL32.DLL"},
           "imports from %s" % sorted(imports))
    for needed, dll in (("CreateFileA", "KERNEL32.DLL"), ("ExitProcess", "KERNEL32.DLL"),
                        ("DialogBoxParamA", "USER32.DLL"),
                        ("InitCommonControlsEx", "COMCTL32.DLL")):
        expect(needed in imports.get(dll, []), "%s not imported from %s" % (needed, dll))

    resources = pe.resources()
    dialog = resources.get((RT_DIALOG, IDD_PROGRESS, LANG_EN_US))
    expect(dialog == expected_dialog(), "dialog %d differs from the template:\n  got  %s\n  want %s"
           % (IDD_PROGRESS, dialog.hex() if dialog else None, expected_dialog().hex()))

    group = resources.get((RT_GROUP_ICON, IDI_PROGRESS, LANG_EN_US))
    expect(group is not None, "no icon group %d in language %d" % (IDI_PROGRESS, LANG_EN_US))
    if group:
        reserved, kind, count = struct.unpack_from("<HHH", group, 0)
        expect((reserved, kind, count) == (0, 1, 1), "icon group holds %d images" % count)
        width, height, colours, _, planes, bit_count, size, ident = struct.unpack_from(
            "<BBBBHHIH", group, 6)
        expect((width, height, colours, planes, bit_count, size) == (32, 32, 16, 1, 4, 744),
               "icon entry %r" % ((width, height, colours, planes, bit_count, size),))
        image = resources.get((RT_ICON, ident, LANG_EN_US))
        expect(image is not None and len(image) == 744, "icon image %d missing or not 744 bytes"
               % ident)
        if image:
            header = struct.unpack_from("<IiiHH", image, 0)
            expect(header == (40, 32, 64, 1, 4), "icon bitmap header %r" % (header,))

    starts = record_starts(data)
    expect(len(starts) == 1, "%d scrambled install records, expected one" % len(starts))
    if len(starts) == 1:
        try:
            _, record = get_record(data)
            expect(not header_check_holds(record), "the unfilled record passes its header check")
            expect(text_slot(record, OFFSET_MAIN_FILE_NAME) == b"",
                   "the unfilled record names a main file")
        except ImageError as error:
            problems.append(str(error))

    print("%s: %d-bit GUI executable, %d bytes; imports %s" %
          (stub, bits or 0, len(data),
           ", ".join("%s (%d)" % (dll, len(f)) for dll, f in sorted(imports.items()))))
    for p in problems:
        print("  - " + p)
    return not problems


def main(argv):
    if len(argv) not in (2, 4):
        sys.stderr.write("usage: check_stub.py STUB [--limit BYTES]\n")
        return 2
    limit = int(argv[3]) if len(argv) == 4 else 32768
    return 0 if check(argv[1], limit) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
