# Cross toolchain for the real 32-bit Windows programs (the stub kestrune.exe
# and the demo screen saver):
#   cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# The host build drives this itself (cmake/windows_programs.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTRUNE_MINGW_TRIPLET i686-w64-mingw32)
# Plain i486 code: the Pentium-class machines of the system.ini era lack
# the conditional moves that the default (i686) would use.
set(KESTRUNE_MINGW_ARCH_FLAGS "-march=i486 -mtune=generic")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
