#include "installer/stored.h"

#include "codec/common/stream.h"
#include "codec/common/stream_io.h"
#include "format/record.h"
#include "installer/install.h"
#include "installer/output_files.h"

static_assert(static_cast<int32_t>(STORED_CHUNK_SIZE) <= static_cast<int32_t>(TRANSFER_BUFFER_SIZE),
              "a stored chunk fits the shared buffer");

void copy_stored_file(HANDLE own_file, uint32_t count, const char *path, uint32_t key) {
  close_output_file();
  if (!install_ok) return;
  output_file = create_output_file(path);
  if (output_file == INVALID_HANDLE_VALUE) {
    install_ok = 0;
    return;
  }
  // Through the codec's file seam (installer/stream_files.cpp): a failed or
  // impossible read is 0 bytes, a write that fails is short, and nothing is
  // written for an empty read.
  while (count != 0) {
    const int32_t chunk = count < static_cast<uint32_t>(STORED_CHUNK_SIZE) ? static_cast<int32_t>(count)
                                                                           : static_cast<int32_t>(STORED_CHUNK_SIZE);
    const int32_t got = stream_file_read(own_file, transfer_buffer, chunk);
    xor_buffer(transfer_buffer, got, key);
    // A cut-off installer or a full disk fails the install, and the cut file
    // goes; what was read is written first.
    if (stream_file_write(output_file, transfer_buffer, got) != got || got != chunk) {
      discard_output_file();
      install_ok = 0;
      return;
    }
    count -= static_cast<uint32_t>(chunk);
  }
}
