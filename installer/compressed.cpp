// Compressed payload mode: complete container streams (docs/formats.md)
// back to back from payload_offset, one per file or file part, each decoded
// by the stream driver:
//
//  order  stream             present when           written to
//  -----  -----------------  ---------------------  -------------------------
//      1  extra file         extra_size != 0        new file extra_file_name
//      2  main file, part 1  always                 new file main_file_name
//      3  main file, part 2  main_part2_size != 0   appended to the main file
//      4  main file, part 3  main_part3_size != 0   appended to the main file
//      5  second file        always                 new file second_file_name
//
// The size words are presence flags here; their values only feed the
// progress bar. Each stream carries its own length.
#include "codec/stream.h"
#include "installer/config.h"
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
  if (!install_ok) return;
  // The driver reads whole blocks and stands past the stream's end.
  payload_position += stream_state.consumed_length;
  SetFilePointer(own_file, payload_position, NULL, FILE_BEGIN);
}
