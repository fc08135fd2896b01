// Fuzz target: the container reader and LZHUF decoder on arbitrary payload
// bytes, read as back-to-back streams the way the installer walks them (each
// next stream starts at the previous start + consumed_length).
//
// Beyond the sanitizers it checks what the installer relies on:
//   - an accepted stream lies within the payload and is at least a size block;
//   - an accepted stream decodes to exactly its declared size;
//   - a rejected stream never writes much beyond its declared size (a size
//     near 2^31 over a few bytes of data must not fill the disk).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "codec/stream.h"
#include "fuzz/memory_files.h"

enum { MAX_STREAMS = 6, SIZE_BLOCK_BYTES = 10, MALFORMED_MATCH_SLACK = 59 };

static uint32_t declared_size(const uint8_t *stream) {
  return static_cast<uint32_t>(stream[6]) | static_cast<uint32_t>(stream[7]) << 8 |
         static_cast<uint32_t>(stream[8]) << 16 | static_cast<uint32_t>(stream[9]) << 24;
}

static void check(bool condition, const char *what) {
  if (!condition) {
    fprintf(stderr, "fuzz_decode: %s\n", what);
    abort();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MemoryFile input;
  input.data = data;
  input.size = size;
  size_t position = 0;
  for (int stream = 0; stream < MAX_STREAMS; ++stream) {
    MemoryFile output;
    input.position = position;
    int ok = decompress_stream(as_stream_file(input), as_stream_file(output));
    uint64_t expected = size - position >= SIZE_BLOCK_BYTES ? declared_size(data + position) : 0;
    check(output.written.size() <= expected + MALFORMED_MATCH_SLACK,
          "decoder wrote past the declared size");
    if (!ok) break;
    check(size - position >= SIZE_BLOCK_BYTES, "accepted a stream shorter than its size block");
    check(output.written.size() == expected, "accepted stream has the wrong decoded size");
    size_t consumed = stream_state.consumed_length;
    check(consumed >= SIZE_BLOCK_BYTES && consumed <= size - position,
          "consumed_length outside the payload");
    position += consumed;
  }
  return 0;
}
