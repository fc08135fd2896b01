#!/usr/bin/env python3
"""Checks the 32-bit kestrune-pack.exe without running it: a console program
that the Windows 95 loader accepts (PE32 for i386, subsystem version 4.0),
carrying the stub it was built with, and importing only from KERNEL32.DLL
and MSVCRT.DLL functions that Windows 95 (with MSVCRT.DLL installed) has.
An import outside the lists fails the check, so a new one is looked at
before it ships.

    check_tool.py TOOL STUB

Standard library only. Prints what it checked; exit 1 on any mismatch.
"""
import sys

from check_stub import PE

# Every function here is exported by the KERNEL32.DLL of Windows 95. The
# wide-character ones are stubs there, reached only by code of the GCC
# runtime that the tool never runs (random_device, a contended mutex).
KERNEL32 = {
    "CloseHandle", "CreateDirectoryA", "CreateFileA", "CreateSemaphoreW", "DeleteCriticalSection",
    "DeleteFileA", "EnterCriticalSection", "FlushFileBuffers", "FormatMessageA", "FreeLibrary",
    "GetACP", "GetConsoleMode", "GetCurrentProcessId", "GetCurrentThreadId", "GetFileAttributesA",
    "GetFileInformationByHandle", "GetFileSize", "GetFileType", "GetLastError", "GetModuleHandleA",
    "GetModuleHandleW", "GetProcAddress", "GetStartupInfoA", "GetStdHandle", "GetTempPathA",
    "GetTickCount", "InitializeCriticalSection", "IsDBCSLeadByteEx", "LeaveCriticalSection",
    "LoadLibraryA", "LoadLibraryW", "MoveFileA", "MultiByteToWideChar", "ReadFile",
    "ReleaseSemaphore", "RemoveDirectoryA", "SetConsoleCtrlHandler", "SetFileAttributesA",
    "SetFilePointer", "SetLastError", "SetUnhandledExceptionFilter", "Sleep", "TlsAlloc", "TlsFree",
    "TlsGetValue", "TlsSetValue", "VirtualProtect", "VirtualQuery", "WaitForSingleObject",
    "WideCharToMultiByte", "WriteFile",
}
# Functions of the first MSVCRT.DLL (Visual C++ 4.2), which every later one
# keeps.
MSVCRT = {
    "__getmainargs", "__initenv", "__mb_cur_max", "__p__acmdln", "__p__commode", "__p__fmode",
    "__set_app_type", "__setusermatherr", "_amsg_exit", "_cexit", "_close", "_errno", "_initterm",
    "_iob", "_lock", "_onexit", "_read", "_unlock", "abort", "atoi", "calloc", "exit", "fflush",
    "fprintf", "fputc", "fputs", "free", "fwrite", "localeconv", "malloc", "memchr", "memcmp",
    "memcpy", "memmove", "memset", "realloc", "setlocale", "signal", "strchr", "strcmp", "strerror",
    "strlen", "strncmp", "vfprintf", "wcslen",
}
ALLOWED = {"KERNEL32.DLL": KERNEL32, "MSVCRT.DLL": MSVCRT}


def check(tool, stub):
    data = open(tool, "rb").read()
    pe = PE(data)
    imports = pe.imports()
    unknown = {dll: sorted(set(functions) - ALLOWED.get(dll, set()))
               for dll, functions in imports.items()}
    checks = [
        ((pe.machine, pe.magic) == (0x14C, 0x10B),
         "not a PE32 for i386 (machine %x, magic %x)" % (pe.machine, pe.magic)),
        (pe.subsystem == 3, "subsystem %d, expected console (3)" % pe.subsystem),
        (pe.subsystem_version == (4, 0),
         "subsystem version %d.%d, expected 4.0" % pe.subsystem_version),
        (open(stub, "rb").read() in data, "does not carry %s" % stub),
    ] + [(not names, "imports from %s not known to be in Windows 95: %s" % (dll, names))
         for dll, names in sorted(unknown.items())]
    problems = [message for ok, message in checks if not ok]

    print("%s: 32-bit console program, %d bytes; imports %s" %
          (tool, len(data), ", ".join("%s (%d)" % (dll, len(f)) for dll, f in sorted(imports.items()))))
    for p in problems:
        print("  - " + p)
    return not problems


def main(argv):
    if len(argv) != 3:
        sys.stderr.write("usage: check_tool.py TOOL STUB\n")
        return 2
    return 0 if check(argv[1], argv[2]) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
