# Toolchain for the web page's engine (tools/web/): Emscripten's own
# toolchain file, from the installation emcc belongs to (Debian's emscripten
# package: /usr/share/emscripten).
#   cmake -S . -B build/web -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten.cmake
# The host build drives this itself (cmake/web_page.cmake).
find_program(KESTRUNE_EMCC emcc REQUIRED)
get_filename_component(emscripten_root ${KESTRUNE_EMCC} REALPATH)
get_filename_component(emscripten_root ${emscripten_root} DIRECTORY)
include(${emscripten_root}/cmake/Modules/Platform/Emscripten.cmake)
