// Fuzz target: the container reader and LZHUF decoder on arbitrary payload
// bytes, read as back-to-back streams the way the installer walks them (each
// next stream starts at the previous start + consumed_length).
//
// Beyond the sanitizers it checks what the installer relies on:
//   - an accepted stream lies within the payload and is at least a size block;
//   - an accepted stream decodes to exactly its declared size;
//   - no stream writes beyond its declared size (a size near 2^31 over a few
//     bytes of data must not fill the disk).
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "codec/common/byte_order.h"
#include "codec/common/stream.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/memory_files.h"

enum { MAX_STREAMS = 6 };

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MemoryFile input(std::vector<uint8_t>(data, data + size));
  size_t position = 0;
  for (int stream = 0; stream < MAX_STREAMS; ++stream) {
    MemoryFile output;
    input.position = position;
    int ok = decompress_stream(input.handle(), output.handle());
    bool has_size_block = size - position >= SIZE_BLOCK_LENGTH;
    // The size word is the size block's data, right behind its header.
    uint64_t expected = has_size_block ? read_le32(data + position + BLOCK_HEADER_SIZE) : 0;
    fuzz_check(output.data.size() <= expected, "decoder wrote past the declared size");
    if (!ok) break;
    fuzz_check(has_size_block, "accepted a stream shorter than its size block");
    fuzz_check(output.data.size() == expected, "accepted stream has the wrong decoded size");
    size_t consumed = stream_state.consumed_length;
    fuzz_check(consumed >= SIZE_BLOCK_LENGTH && consumed <= size - position, "consumed_length outside the payload");
    position += consumed;
  }
  return 0;
}
