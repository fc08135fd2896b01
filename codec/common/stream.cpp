// Stream driver: the block-level input and output steps shared by both
// directions. The entry points and the direction's own block reading live in
// codec/decode/stream_decode.cpp and codec/encode/stream_encode.cpp.
#include "codec/common/stream.h"

#include "codec/common/stream_bytes.h"

StreamState stream_state;
uint8_t transfer_buffer[TRANSFER_BUFFER_SIZE];

// ---- Input ----------------------------------------------------------------

// Ends the input for good: nothing is left to deliver, and every later
// request gets -1 through the flags without reading.
void stream_end_input(void) {
  StreamState &s = stream_state;
  s.at_end = 1;
  s.input_remaining = 0;
  s.read_end = s.read_position;
}

// A rejected block, or input the decoder needs that is not there: the decode
// stops at its next pass and the stream fails.
void stream_fail_input(void) {
  StreamState &s = stream_state;
  s.block_failed = 1;
  s.input_remaining = 0;
  s.output_remaining = 0;
  s.read_end = s.read_position;
  s.uncompressed_size = 0;
}

int32_t stream_read_input(void) {
  StreamState &s = stream_state;
  int32_t n = stream_file_read(s.input_file, transfer_buffer, s.read_size);
  if (n < 0) n = 0;
  if (n > s.read_size) n = s.read_size;
  return n;
}

int32_t stream_refill_byte(void) {
  StreamState &s = stream_state;
  if (s.at_end | s.block_failed) return -1;
  if (!s.refill()) return -1;
  return transfer_buffer[s.read_position++];
}

namespace {

// ---- Output ---------------------------------------------------------------

void write_output(int32_t count) {
  StreamState &s = stream_state;
  if (s.write_failed) return;
  if (stream_file_write(s.output_file, stream_output(), count) != count) {
    s.write_failed = 1;
    // Stop producing: the decoder ends at its next pass, the encoder at its
    // next input request.
    s.uncompressed_size = 0;
    s.output_remaining = 0;
    stream_end_input();
  }
}

void fill_block_header(void) {
  StreamState &s = stream_state;
  if (s.mode == MODE_ENCODE) write_block_header(stream_output(), s.write_position);
  pump_messages();
}

}  // namespace

void stream_flush_block(void) {
  StreamState &s = stream_state;
  fill_block_header();
  int32_t n = s.write_position;
  report_progress(n);
  write_output(n);
  s.output_remaining -= n;
  s.write_position = s.mode == MODE_DECODE ? 0 : BLOCK_HEADER_SIZE;
}

void stream_flush_final(void) {
  StreamState &s = stream_state;
  if (s.mode == MODE_ENCODE && s.write_position == BLOCK_HEADER_SIZE) return;
  fill_block_header();
  int32_t n = s.write_position;
  write_output(n);
  report_progress(s.write_failed ? 0 : n);
  s.output_remaining -= n;
}

// ---- Entry point ----------------------------------------------------------

void stream_reset(StreamFile input, StreamFile output, uint8_t mode, int (*refill)(void)) {
  StreamState &s = stream_state;
  s.uncompressed_size = 0;
  s.in_bit_buffer = 0;
  s.in_bit_count = 0;
  s.out_bit_buffer = 0;
  s.out_bit_count = 0;
  s.refill = refill;
  s.input_file = input;
  s.output_file = output;
  s.mode = mode;
  s.output_remaining = MAX_STREAM_SIZE;
  s.input_remaining = MAX_STREAM_SIZE;
  s.write_position = 0;
  s.write_limit = BLOCK_SIZE;
  s.read_size = SIZE_BLOCK_LENGTH;
  s.read_position = 0;
  s.read_end = 0;
  s.at_end = 0;
  s.block_failed = 0;
  s.input_short = 0;
  s.last_block_taken = 0;
  s.block_ends_at_read = 0;
  s.write_failed = 0;
  s.byte_counter = 0;
  s.consumed_length = 0;
}
