# Cross toolchain for a 64-bit build of the same Windows programs. It exists
# for the end-to-end tests on machines whose kernel cannot run 32-bit code
# (and so no 32-bit Wine): the sources are the same, only the word size
# differs. The product is the 32-bit build (mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRUNE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
