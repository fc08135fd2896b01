# The size budget of kestrune.exe, written once: the stub's build refuses a
# larger one (stub/) and the image check holds the built one to it
# (tests/wine/check_stub.py). The 64-bit test twin has wider code.
set(KESTRUNE_STUB_LIMIT_i686 15360)
set(KESTRUNE_STUB_LIMIT_x86_64 16384)
