# Shared part of the mingw-w64 cross toolchains. The including file sets
# KESTRUNE_MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KESTRUNE_MINGW_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KESTRUNE_MINGW_TRIPLET}-g++)
set(CMAKE_RC_COMPILER ${KESTRUNE_MINGW_TRIPLET}-windres)
set(CMAKE_OBJDUMP ${KESTRUNE_MINGW_TRIPLET}-objdump)
set(CMAKE_STRIP ${KESTRUNE_MINGW_TRIPLET}-strip)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUNE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The stub and the demo saver turn off exceptions and RTTI themselves; the
# package tool keeps them, so that running out of memory is an error it
# reports rather than the end of the process.
set(CMAKE_C_FLAGS_INIT "${KESTRUNE_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${KESTRUNE_MINGW_ARCH_FLAGS}")
