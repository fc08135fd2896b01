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
  // The driver reads whole blocks and stands past the stream's end.
  payload_position += stream_state.consumed_length;
  SetFilePointer(own_file, payload_position, NULL, FILE_BEGIN);
}
