#include "installer/compressed.h"

#include "codec/common/stream.h"
#include "installer/install.h"
#include "installer/output_files.h"

void extract_stream(HANDLE own_file, const char *path, uint32_t presence) {
  if (!install_ok || presence == 0) return;
  if (path != NULL) {
    close_output_file();
    output_file = create_output_file(path);
    if (output_file == INVALID_HANDLE_VALUE) {
      install_ok = 0;
      return;
    }
  }
  install_ok = decompress_stream(own_file, output_file);
  if (!install_ok) {
    discard_output_file();  // the file (the main file, for an appended part) is cut short
    return;
  }
  // The driver reads whole blocks and stands past the stream's end. A next
  // stream beyond the 2 GiB that a file offset can reach here is not there.
  const uint32_t next = static_cast<uint32_t>(payload_position) + static_cast<uint32_t>(stream_state.consumed_length);
  if (next > 0x7FFFFFFFu) {
    install_ok = 0;
    return;
  }
  payload_position = static_cast<int32_t>(next);
  SetFilePointer(own_file, payload_position, NULL, FILE_BEGIN);
}
