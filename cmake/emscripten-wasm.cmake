# The browser build: Debian's Emscripten, making one standalone WebAssembly module (no
# JavaScript glue) for the audio worklet. Use with
#   cmake -S . -B build/wasm -DCMAKE_TOOLCHAIN_FILE=cmake/emscripten-wasm.cmake
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
