#include "installer/stored.h"

#include "codec/common/stream.h"
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
  while (count != 0) {
    const DWORD chunk = count < static_cast<DWORD>(STORED_CHUNK_SIZE) ? count : static_cast<DWORD>(STORED_CHUNK_SIZE);
    DWORD got = 0;
    if (!ReadFile(own_file, transfer_buffer, chunk, &got, NULL)) got = 0;
    if (got > chunk) got = 0;
    xor_buffer(transfer_buffer, static_cast<int32_t>(got), key);
    DWORD written = 0;
    BOOL write_ok = got == 0 || WriteFile(output_file, transfer_buffer, got, &written, NULL);
    // A cut-off installer or a full disk fails the install, and the cut file goes.
    if (got != chunk || !write_ok || written != got) {
      discard_output_file();
      install_ok = 0;
      return;
    }
    count -= chunk;
  }
}
