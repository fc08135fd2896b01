#!/usr/bin/env python3
"""Builds an installer on the real kestrune.exe with a test icon and version
fields (kestrune-pack build --icon ...) and reads it back without the
package library: this file's own reader of the PE headers, the resource tree
and VS_VERSIONINFO; wrestool and icotool when icoutils is installed; and,
with --wine, Windows' own calls (branding_probe.exe under Wine).

    check_branding.py PACK STUB WORK_DIR [--wine BUILD_DIR]

The test icon holds a 16x16 4-bit and a 32x32 8-bit bitmap and a 256x256
PNG, which must be left out. Standard library only (icoutils optional).
Prints what it checked; exit 1 on any mismatch.
"""
import os
import shutil
import struct
import subprocess
import sys
import zlib

from icon_files import dib, ico, png
from check_stub import IDD_PROGRESS, IDI_PROGRESS, RT_DIALOG, RT_GROUP_ICON, RT_ICON, expected_dialog

RT_VERSION, LANG_EN_US = 16, 1033
FIELDS = [  # kestrune-pack option, version string, value (UTF-8, all in code page 1252)
    ("--product-name", "ProductName", "Starfield"),
    ("--product-version", "ProductVersion", "2.0.1"),
    (None, "FileVersion", "2.0.1"),
    ("--company", "CompanyName", "Kestrune Works"),
    ("--copyright", "LegalCopyright", "\u00a9 2024 Kestrune Works"),
    ("--description", "FileDescription", "\u00c9toiles, a screen saver"),
    (None, "OriginalFilename", "STARS.EXE"),  # the output's name
]
# The group Windows should see: (width, height, colours, planes, bits, bytes, id).
GROUP = [(16, 16, 16, 1, 4, 296, 1), (32, 32, 0, 1, 8, 2216, 2)]


class Mismatch(Exception):
    pass


def need(condition, message):
    if not condition:
        raise Mismatch(message)


class Reader:
    """A bounds-checked reader of a PE32 image and its resources."""

    def __init__(self, data):
        self.data = data
        self.problems = []
        pe = self.u32(0x3C)
        need(data[:2] == b"MZ" and data[pe:pe + 4] == b"PE\0\0", "not a PE image")
        count, optional_size = self.u16(pe + 6), self.u16(pe + 20)
        self.opt = pe + 24
        self.init_data, self.size_of_image = self.u32(self.opt + 8), self.u32(self.opt + 56)
        self.section_align, self.file_align = self.u32(self.opt + 32), self.u32(self.opt + 36)
        self.checksum_at = self.opt + 64
        self.resource_dir = (self.u32(self.opt + 112), self.u32(self.opt + 116))
        table = self.opt + optional_size
        self.sections = [struct.unpack_from("<8sIIII12xI", data, table + 40 * i) for i in range(count)]

    def u16(self, at):
        need(0 <= at <= len(self.data) - 2, "read past the end at %#x" % at)
        return struct.unpack_from("<H", self.data, at)[0]

    def u32(self, at):
        need(0 <= at <= len(self.data) - 4, "read past the end at %#x" % at)
        return struct.unpack_from("<I", self.data, at)[0]

    def checksum(self):
        data = self.data + b"\0" * (len(self.data) % 2)
        total = 0
        for at in range(0, len(data), 2):
            if self.checksum_at <= at < self.checksum_at + 4:
                continue
            total += struct.unpack_from("<H", data, at)[0]
            total = (total & 0xFFFF) + (total >> 16)
        return ((total & 0xFFFF) + (total >> 16)) + len(self.data)

    def resources(self):
        """{(type, name, language): bytes}, checking the tree as it goes."""
        _, vsize, rva, _, raw, _ = self.sections[-1]
        base, limit = raw, raw + vsize
        found, seen = {}, set()

        def walk(at, path):
            need(base <= at and at + 16 <= limit and at not in seen, "table at %#x" % at)
            seen.add(at)
            named, ids = self.u16(at + 12), self.u16(at + 14)
            need(at + 16 + 8 * (named + ids) <= limit, "entries at %#x" % at)
            keys = []
            for i in range(named + ids):
                key, target = self.u32(at + 16 + 8 * i), self.u32(at + 20 + 8 * i)
                need(bool(key >> 31) == (i < named), "named entries first at %#x" % at)
                keys.append(key)
                if len(path) < 2:
                    need(target >> 31, "a directory expected at level %d" % len(path))
                    walk(base + (target & 0x7FFFFFFF), path + [key])
                    continue
                entry = base + target
                need(not target >> 31 and entry + 16 <= limit, "data entry at %#x" % entry)
                data_rva, size = self.u32(entry), self.u32(entry + 4)
                need(data_rva % 8 == 0, "data at RVA %#x not on 8 bytes" % data_rva)
                start = raw + data_rva - rva
                need(base <= start and start + size <= limit, "data at RVA %#x" % data_rva)
                found[tuple(path + [key])] = self.data[start:start + size]
            numbers = keys[named:]
            need(numbers == sorted(set(numbers)), "ids not ascending at %#x" % at)
        walk(base, [])
        return found


def version_block(data, at, end):
    """(key, value bytes, children [(start, end)], block end) of one block."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    need(6 <= length and at + length <= end, "block at %#x overruns" % at)
    stop = data.index(b"\0\0", at + 6)
    while (stop - at) % 2:
        stop = data.index(b"\0\0", stop + 1)
    key = data[at + 6:stop].decode("utf-16-le")
    value_at = (stop + 2 + 3) & ~3
    value = data[value_at:value_at + (2 * value_length if kind == 1 else value_length)]
    children, child = [], (value_at + len(value) + 3) & ~3
    while child < at + length:
        child_end = child + struct.unpack_from("<H", data, child)[0]
        children.append((child, child_end))
        child = (child_end + 3) & ~3
    return key, value, children, at + length


def read_version(data):
    key, fixed, children, end = version_block(data, 0, len(data))
    need(key == "VS_VERSION_INFO" and end == len(data), "root %r, %d of %d bytes" % (key, end, len(data)))
    words = struct.unpack_from("<13I", fixed)
    result = {"signature": words[0], "file": words[2:4], "product": words[4:6], "os": words[8],
              "type": words[9], "strings": {}}
    for start, stop in children:
        name, _, tables, _ = version_block(data, start, stop)
        for t_start, t_stop in tables:
            table_key, value, entries, _ = version_block(data, t_start, t_stop)
            if name == "VarFileInfo":
                result["translation"] = struct.unpack("<HH", value)
                continue
            result["table"] = table_key
            for s_start, s_stop in entries:
                s_key, s_value, _, _ = version_block(data, s_start, s_stop)
                need(s_value.endswith(b"\0\0"), "%s not terminated" % s_key)
                result["strings"][s_key] = s_value[:-2].decode("utf-16-le")
    return result


def numbers(ms_ls):
    return "%d.%d.%d.%d" % (ms_ls[0] >> 16, ms_ls[0] & 0xFFFF, ms_ls[1] >> 16, ms_ls[1] & 0xFFFF)


def make_inputs(work, pack, stub):
    """Writes the test icon and builds the installer; returns its path, bytes
    and the bitmaps it must carry."""
    images = [(16, 16, 4, dib(16, 4)), (256, 0, 32, png(256)), (32, 0, 8, dib(32, 8))]
    icon = os.path.join(work, "test.ico")
    with open(icon, "wb") as out:
        out.write(ico(images))
    for name, size in (("saver.scr", 30000), ("readme.txt", 2000)):
        with open(os.path.join(work, name), "wb") as out:
            out.write(bytes((i * 31 + i // 97) & 0xFF for i in range(size)))
    branded = os.path.join(work, "STARS.EXE")
    command = [pack, "build", "--stub", stub, "--main", os.path.join(work, "saver.scr"),
               "--second", os.path.join(work, "readme.txt"), "--icon", icon, "-o", branded]
    for option, _, value in FIELDS:
        command += [option, value] if option else []
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    print(result.stdout.strip())
    need(result.returncode == 0, "kestrune-pack build failed")
    need("left out 1 PNG image (256x256), which Windows 95 cannot show" in result.stdout, "no note on the PNG")
    with open(branded, "rb") as f:
        return branded, f.read(), [data for _, _, _, data in images if data[:4] != b"\x89PNG"]


def check_image(stub_data, data, bitmaps):
    """The headers, the resource tree, the icon group, the version; the
    checksum of the whole installer."""
    old, new = Reader(stub_data), Reader(data)
    last = new.sections[-1]
    name, vsize, rva, raw_size, raw, flags = last
    need(name.rstrip(b"\0") == b".rsrc" and new.resource_dir == (rva, vsize),
         "resource directory %r, last section %r" % (new.resource_dir, last))
    payload = struct.unpack_from("<I", scramble(data[record_at(data):record_at(data) + 8]), 4)[0]
    need(raw_size == -(-vsize // new.file_align) * new.file_align and raw + raw_size == payload,
         "section sizes %d/%d at %d, payload at %d" % (vsize, raw_size, raw, payload))
    need(new.size_of_image == -(-(rva + vsize) // new.section_align) * new.section_align,
         "SizeOfImage %#x" % new.size_of_image)
    need(new.init_data == sum(s[3] for s in new.sections if s[5] & 0x40),
         "SizeOfInitializedData %d" % new.init_data)
    need(new.u32(new.checksum_at) == new.checksum(), "checksum %#x, computed %#x"
         % (new.u32(new.checksum_at), new.checksum()))
    first, record = old.sections[0][4], record_at(data)
    unfilled = stub_data[:record] + bytes(640) + stub_data[record + 640:]
    filled = data[:record] + bytes(640) + data[record + 640:]
    need(old.sections[:-1] == new.sections[:-1] and unfilled[first:raw] == filled[first:raw],
         "the sections before the resources changed beyond the record")
    resources = new.resources()
    need(resources.get((RT_DIALOG, IDD_PROGRESS, LANG_EN_US)) == expected_dialog(), "dialog 1010 changed")
    group = resources.get((RT_GROUP_ICON, IDI_PROGRESS, LANG_EN_US), b"")
    need(group[:6] == struct.pack("<HHH", 0, 1, 2), "icon group header %r" % group[:6])
    entries = [struct.unpack_from("<BBBxHHIH", group, 6 + 14 * i) for i in range(2)]
    need(entries == GROUP, "icon group %r" % entries)
    icons = sorted(k[1] for k in resources if k[0] == RT_ICON)
    need(icons == [1, 2], "RT_ICON ids %r" % icons)
    for (_, _, _, _, _, _, ident), bitmap in zip(GROUP, bitmaps):
        need(resources[(RT_ICON, ident, LANG_EN_US)] == bitmap, "RT_ICON %d differs from the file's" % ident)
    version = read_version(resources[(RT_VERSION, 1, LANG_EN_US)])
    need(version["signature"] == 0xFEEF04BD and (version["os"], version["type"]) == (4, 1),
         "fixed part %r" % version)
    need(numbers(version["file"]) == numbers(version["product"]) == "2.0.1.0", "versions %r" % version)
    need(version["table"] == "040904E4" and version["translation"] == (0x409, 1252), "table %r" % version)
    need(version["strings"] == {key: value for _, key, value in FIELDS}, "strings %r" % version["strings"])
    print("headers, tree (%d resources), icon group 1020 (%d images), version %s: as written"
          % (len(resources), len(entries), numbers(version["file"])))


SIGNATURE = b"Kestrune install record\0"


def scramble(data):
    return bytes(b ^ 0xA7 for b in data)


def record_at(data):
    """Where the install record starts: 576 bytes before its scrambled signature."""
    at = data.find(scramble(SIGNATURE))
    need(at >= 576, "no install record")
    return at - 576


def check_icoutils(branded, work):
    if not shutil.which("wrestool") or not shutil.which("icotool"):
        print("icoutils not installed: wrestool and icotool checks left out")
        return
    listing = subprocess.run(["wrestool", "-l", branded], stdout=subprocess.PIPE, text=True, check=True).stdout
    wanted = ["--type=3 --name=1 --language=1033", "--type=3 --name=2 --language=1033",
              "--type=5 --name=1010 --language=1033", "--type=14 --name=1020 --language=1033",
              "--type=16 --name=1 --language=1033"]
    for line in wanted:
        need(line in listing, "wrestool -l lists no %s:\n%s" % (line, listing))
    icon = os.path.join(work, "extracted.ico")
    subprocess.run(["wrestool", "-x", "--type=14", "--name=1020", "-o", icon, branded], check=True)
    images = subprocess.run(["icotool", "-l", icon], stdout=subprocess.PIPE, text=True, check=True).stdout
    sizes = [line.split()[2:5] for line in images.splitlines()]
    need(sizes == [["--width=16", "--height=16", "--bit-depth=4"], ["--width=32", "--height=32", "--bit-depth=8"]],
         "icotool -l on the extracted group:\n%s" % images)
    print("wrestool -l: %d resources; icotool -l on group 1020: 16x16x4, 32x32x8" % len(listing.splitlines()))


def probe_text(value):
    """What branding_probe prints for a string VerQueryValueA returns in code page 1252."""
    return "".join(chr(b) if 0x20 <= b <= 0x7E and b != 0x5C else "\\x%02X" % b for b in value.encode("cp1252"))


def check_under_wine(branded, work, build_dir):
    from harness import Platform, Xvfb, copy_prefix, make_template, windows_path
    platform = Platform(build_dir)
    probe = os.path.join(platform.windows_dir, "tests", "branding_probe.exe")
    need(os.path.exists(probe), "no %s" % probe)
    make_template(platform)
    prefix = os.path.join(work, "prefix")
    copy_prefix(platform, prefix)
    with Xvfb() as x:
        result = subprocess.run([platform.loader, probe, windows_path(branded)], env=platform.env(prefix, x.display),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=120, cwd=work)
        platform.wait_server(prefix, x.display)
    output = result.stdout.decode("ascii", "replace").replace("\r", "")
    print("branding_probe.exe under Wine (%s):\n  %s" % (platform.arch, output.strip().replace("\n", "\n  ")))
    need(result.returncode == 0, "the probe failed: %s" % result.stderr.decode(errors="replace")[-2000:])
    got = dict(line.split("=", 1) for line in output.splitlines() if "=" in line)
    want = {"icon_groups": "1", "large": "32x32", "small": "16x16", "group_1020_images": "2",
            "lookup_16_id": "1", "lookup_16": "16x16", "lookup_32_id": "2", "lookup_32": "32x32",
            "signature": "0xFEEF04BD", "file_version": "2.0.1.0", "product_version": "2.0.1.0",
            "file_os": "0x4", "file_type": "0x1", "translation": "040904E4"}
    want.update({key: probe_text(value) for _, key, value in FIELDS})
    wrong = ["%s: %s, expected %s" % (k, got.get(k), v) for k, v in want.items() if got.get(k) != v]
    need(not wrong, "Windows reads otherwise:\n  " + "\n  ".join(wrong))
    print("Windows reads the icon and every version field as written")


def main(argv):
    if len(argv) not in (4, 6) or (len(argv) == 6 and argv[4] != "--wine"):
        sys.stderr.write("usage: check_branding.py PACK STUB WORK_DIR [--wine BUILD_DIR]\n")
        return 2
    pack, stub, work = argv[1:4]
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        branded, data, bitmaps = make_inputs(work, pack, stub)
        with open(stub, "rb") as f:
            check_image(f.read(), data, bitmaps)
        if len(argv) == 6:
            check_under_wine(branded, work, argv[5])
        else:
            check_icoutils(branded, work)
    except Mismatch as problem:
        print("  - %s" % problem)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
