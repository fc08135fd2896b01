// Fuzz target: the stronger parse (compress_stream_best) on arbitrary input.
// The stream it writes must be an ordinary one: the decoder accepts it, its
// container is exactly what was written, and it decodes to the input.
//
// An input whose first byte is odd is taken twice over, so that copies
// reaching the whole window back (4096 bytes and more) come up often.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "codec/common/stream.h"
#include "fuzz/fuzz_check.h"
#include "tests/support/memory_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (size > 0 && (data[0] & 1)) bytes.insert(bytes.end(), data, data + size);
  MemoryFile input(bytes), packed;
  fuzz_check(compress_stream_best(input.handle(), packed.handle(), static_cast<int32_t>(bytes.size())) == 1,
             "encode failed");
  MemoryFile stream(packed.data), output;
  fuzz_check(decompress_stream(stream.handle(), output.handle()) == 1, "stream rejected");
  fuzz_check(stream_state.consumed_length == static_cast<int32_t>(packed.data.size()), "container length differs");
  fuzz_check(output.data == bytes, "decoded bytes differ from the input");
  return 0;
}
