#!/usr/bin/env python3
"""Checks the 32-bit kestrune-packw.exe (Kestrune Packer) without running it:
a GUI program that the Windows 95 loader accepts (PE32 for i386, subsystem
and OS version 4.0, no time stamp), carrying the stub it was built with,
laid out in a dialog in the system's dialog font, and importing only
functions that Windows 95 (with MSVCRT.DLL installed) has. An import outside
the lists fails the check, so a new one is looked at before it ships.

    check_gui.py PROGRAM STUB

Standard library only. Prints what it checked; exit 1 on any mismatch.
"""
import struct
import sys

from check_stub import PE
from check_tool import KERNEL32 as TOOL_KERNEL32, MSVCRT

# The console tool's KERNEL32 functions, and the window's own few; every one
# is exported by the KERNEL32.DLL of Windows 95.
KERNEL32 = TOOL_KERNEL32 | {"CreateThread", "GetFullPathNameA", "lstrcpynA"}
USER32 = {
    "CheckDlgButton", "CheckRadioButton", "CreateDialogParamA", "DestroyIcon", "DestroyWindow",
    "DispatchMessageA", "EnableWindow", "GetDlgCtrlID", "GetDlgItem", "GetDlgItemTextA", "GetMessageA",
    "GetSysColor", "GetSysColorBrush", "GetWindow", "GetWindowLongA", "GetWindowRect", "GetWindowTextA",
    "GetWindowTextLengthA", "IsDialogMessageA", "IsDlgButtonChecked", "LoadIconA",
    "MapDialogRect", "MapWindowPoints", "MessageBoxA", "PostMessageA", "PostQuitMessage", "PtInRect",
    "SendDlgItemMessageA", "SendMessageA", "SetDlgItemTextA", "SetFocus", "SetWindowLongA",
    "SetWindowTextA", "ShowWindow", "TranslateMessage", "UnionRect",
}
GDI32 = {"GetStockObject", "SetBkColor", "SetTextColor"}
COMDLG32 = {"GetOpenFileNameA", "GetSaveFileNameA"}
SHELL32 = {"DragAcceptFiles", "DragFinish", "DragQueryFileA", "DragQueryPoint", "ExtractIconA"}
COMCTL32 = {"InitCommonControls"}
ADVAPI32 = set()
ALLOWED = {"KERNEL32.DLL": KERNEL32, "USER32.DLL": USER32, "GDI32.DLL": GDI32,
           "COMDLG32.DLL": COMDLG32, "SHELL32.DLL": SHELL32, "COMCTL32.DLL": COMCTL32,
           "ADVAPI32.DLL": ADVAPI32, "MSVCRT.DLL": MSVCRT}

RT_DIALOG, IDD_PACKER = 5, 100
DS_SETFONT = 0x40


def headers(data):
    """(time stamp, OS version) from the file and optional headers."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    stamp = struct.unpack_from("<I", data, pe + 8)[0]
    return stamp, struct.unpack_from("<HH", data, pe + 24 + 40)


def dialog_font(template):
    """(style, caption, point size, face) of a DIALOGEX template."""
    version, signature, _, _, style = struct.unpack_from("<HHIII", template, 0)
    if (version, signature) != (1, 0xFFFF):
        raise ValueError("not a DIALOGEX template")
    at = 26

    def field(at):  # a name or an ordinal: (text, next offset)
        if struct.unpack_from("<H", template, at)[0] == 0xFFFF:
            return "#%d" % struct.unpack_from("<H", template, at + 2)[0], at + 4
        end = at
        while struct.unpack_from("<H", template, end)[0]:
            end += 2
        return template[at:end].decode("utf-16-le"), end + 2

    _, at = field(at)  # menu
    _, at = field(at)  # class
    caption, at = field(at)
    if not style & DS_SETFONT:
        return style, caption, None, None
    size = struct.unpack_from("<H", template, at)[0]
    face, _ = field(at + 6)
    return style, caption, size, face


def check(program, stub):
    data = open(program, "rb").read()
    pe = PE(data)
    imports = pe.imports()
    stamp, os_version = headers(data)
    unknown = {dll: sorted(set(functions) - ALLOWED.get(dll, set())) for dll, functions in imports.items()}
    template = pe.resources().get((RT_DIALOG, IDD_PACKER, 1033)) if pe.directories[2][0] else None
    _, caption, size, face = dialog_font(template) if template else (0, None, None, None)
    checks = [
        ((pe.machine, pe.magic) == (0x14C, 0x10B),
         "not a PE32 for i386 (machine %x, magic %x)" % (pe.machine, pe.magic)),
        (pe.subsystem == 2, "subsystem %d, expected windows (2)" % pe.subsystem),
        (pe.subsystem_version == (4, 0), "subsystem version %d.%d, expected 4.0" % pe.subsystem_version),
        (os_version == (4, 0), "OS version %d.%d, expected 4.0" % os_version),
        (stamp == 0, "time stamp %#x, expected none" % stamp),
        (open(stub, "rb").read() in data, "does not carry %s" % stub),
        ((caption, size, face) == ("Kestrune Packer", 8, "MS Sans Serif"),
         "window %r in %s %s, expected 'Kestrune Packer' in MS Sans Serif 8" % (caption, face, size)),
    ] + [(not names, "imports from %s not known to be in Windows 95: %s" % (dll, names))
         for dll, names in sorted(unknown.items())]
    problems = [message for ok, message in checks if not ok]

    print("%s: 32-bit GUI program, %d bytes; imports %s" %
          (program, len(data), ", ".join("%s (%d)" % (dll, len(f)) for dll, f in sorted(imports.items()))))
    for p in problems:
        print("  - " + p)
    return not problems


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_gui.py PROGRAM STUB\n")
        return 2
    return 0 if check(argv[1], argv[2]) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
