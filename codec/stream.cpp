// Stream driver: the decode entry point and the block-level input and output
// steps shared by both directions.
#include "codec/stream.h"

#include "codec/lzhuf.h"
#include "codec/stream_bytes.h"

StreamState stream_state;
uint8_t transfer_buffer[TRANSFER_BUFFER_SIZE];

// ---- Input ----------------------------------------------------------------

namespace {

// Ends the input for good: nothing is left to deliver, and every later
// request gets -1 through the flags without reading.
void end_input(void) {
  StreamState &s = stream_state;
  s.at_end = 1;
  s.input_remaining = 0;
  s.read_end = s.read_position;
}

// A rejected block, or input the decoder needs that is not there: the decode
// stops at its next pass and the stream fails.
void fail_input(void) {
  StreamState &s = stream_state;
  s.block_failed = 1;
  s.input_remaining = 0;
  s.output_remaining = 0;
  s.read_end = s.read_position;
  s.uncompressed_size = 0;
}

int32_t read_input(void) {
  StreamState &s = stream_state;
  int32_t n = stream_file_read(s.input_file, transfer_buffer, s.read_size);
  if (n < 0) n = 0;
  if (n > s.read_size) n = s.read_size;
  return n;
}

// Decode: the decoder needs a byte and the current block has none left.
// Reads the next block and accepts it, or fails the stream. Blocks are only
// read on demand, so the read after a stream's last block never happens and
// consumed_length stays exact whatever follows the stream.
int refill_decode(void) {
  StreamState &s = stream_state;
  if (s.last_block_taken) {
    // Only the last block of a stream is short: the bits are not there.
    fail_input();
    return 0;
  }
  int32_t n = read_input();
  int32_t length = check_block(transfer_buffer, n);
  pump_messages();
  int first = s.read_size == SIZE_BLOCK_LENGTH;
  // The size block holds exactly the 4 size bytes; a data block that is
  // asked for must hold data (an empty block never continues a stream).
  if (length == 0 || (first ? length != SIZE_BLOCK_LENGTH : length == BLOCK_HEADER_SIZE)) {
    fail_input();
    return 0;
  }
  s.consumed_length += length;
  s.read_position = BLOCK_HEADER_SIZE;
  s.read_end = length;
  s.block_ends_at_read = length == n;
  if (!first && length < BLOCK_SIZE) s.last_block_taken = 1;
  return 1;
}

// Encode: takes the next piece of the input file, at most input_remaining
// bytes of it.
int refill_encode(void) {
  StreamState &s = stream_state;
  if (s.input_remaining <= 0) {
    end_input();
    return 0;
  }
  int32_t n = read_input();
  pump_messages();
  s.read_position = 0;
  s.read_end = n < s.input_remaining ? n : s.input_remaining;
  s.input_remaining -= n;
  if (n == 0) {
    s.input_short = 1;  // the file ended before the count promised
    end_input();
    return 0;
  }
  return 1;
}

}  // namespace

int32_t stream_refill_byte(void) {
  StreamState &s = stream_state;
  if (s.at_end | s.block_failed) return -1;
  int ok = s.mode == MODE_DECODE ? refill_decode() : refill_encode();
  if (!ok) return -1;
  return transfer_buffer[s.read_position++];
}

uint32_t stream_read_size(void) {
  StreamState &s = stream_state;
  uint32_t size = 0;
  for (int i = 0; i < 4; i++) size |= static_cast<uint32_t>(stream_get_byte() & 0xFF) << (8 * i);
  if (!s.block_failed && size > static_cast<uint32_t>(MAX_STREAM_SIZE)) fail_input();
  if (s.block_failed) size = 0;
  s.read_size = BLOCK_SIZE;
  s.output_remaining = static_cast<int32_t>(size);
  s.uncompressed_size = size;
  return size;
}

namespace {

// A writer may close a stream whose data fills its last block exactly (or
// an empty stream) with a header-only block. A stream never starts with a
// block of length 6, so such a block right behind a decoded stream is
// counted as part of it.
void take_tail_block(void) {
  StreamState &s = stream_state;
  int32_t n = read_input();
  pump_messages();
  if (n >= BLOCK_HEADER_SIZE && check_block(transfer_buffer, BLOCK_HEADER_SIZE) == BLOCK_HEADER_SIZE)
    s.consumed_length += BLOCK_HEADER_SIZE;
}

// ---- Output ---------------------------------------------------------------

void write_output(int32_t count) {
  StreamState &s = stream_state;
  if (s.write_failed) return;
  if (stream_file_write(s.output_file, s.output_buffer, count) != count) {
    s.write_failed = 1;
    // Stop producing: the decoder ends at its next pass, the encoder at its
    // next input request.
    s.uncompressed_size = 0;
    s.output_remaining = 0;
    end_input();
  }
}

void fill_block_header(void) {
  StreamState &s = stream_state;
  if (s.mode == MODE_ENCODE) write_block_header(s.output_buffer, s.write_position);
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

void stream_reset(StreamFile input, StreamFile output, uint8_t mode) {
  StreamState &s = stream_state;
  s.uncompressed_size = 0;
  s.in_bit_buffer = 0;
  s.in_bit_count = 0;
  s.out_bit_buffer = 0;
  s.out_bit_count = 0;
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

int decompress_stream(StreamFile input, StreamFile output) {
  StreamState &s = stream_state;
  stream_reset(input, output, MODE_DECODE);
  lzhuf_decode();
  if (!s.block_failed && !s.write_failed && s.block_ends_at_read) take_tail_block();
  stream_flush_final();
  return !s.block_failed && !s.write_failed;
}
