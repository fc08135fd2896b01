# The size budget of kestrune.exe, written once: the stub's build refuses a
# larger one (stub/) and the image check holds the built one to it
# (tests/wine/check_stub.py). 12 KiB: 512 bytes of headers, then code and
# read-only data, data and imports, and resources in whole 512-byte pieces
# (docs/stub.md). The 64-bit test twin, with its wider code and import
# table, has 14 KiB.
set(KESTRUNE_STUB_LIMIT_i686 12288)
set(KESTRUNE_STUB_LIMIT_x86_64 14336)
