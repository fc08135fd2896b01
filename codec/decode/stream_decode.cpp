// Stream driver, decode direction: the reader of the container format.
#include "codec/common/lzhuf.h"
#include "codec/common/stream.h"
#include "codec/common/stream_bytes.h"

namespace {

// Decode: the decoder needs a byte and the current block has none left.
// Reads the next block and accepts it, or fails the stream. Blocks are only
// read on demand, so the read after a stream's last block never happens and
// consumed_length stays exact whatever follows the stream.
int refill_decode(void) {
  StreamState &s = stream_state;
  if (s.last_block_taken) {
    // Only the last block of a stream is short: the bits are not there.
    stream_fail_input();
    return 0;
  }
  int32_t n = stream_read_input();
  int32_t length = check_block(transfer_buffer, n);
  pump_messages();
  int first = s.read_size == SIZE_BLOCK_LENGTH;
  // The size block holds exactly the 4 size bytes; a data block that is
  // asked for must hold data (an empty block never continues a stream).
  if (length == 0 || (first ? length != SIZE_BLOCK_LENGTH : length == BLOCK_HEADER_SIZE)) {
    stream_fail_input();
    return 0;
  }
  s.consumed_length += length;
  s.read_position = BLOCK_HEADER_SIZE;
  s.read_end = length;
  s.block_ends_at_read = length == n;
  if (!first && length < BLOCK_SIZE) s.last_block_taken = 1;
  return 1;
}

// A writer may close a stream whose data fills its last block exactly (or
// an empty stream) with a header-only block. A stream never starts with a
// block of length 6, so such a block right behind a decoded stream is
// counted as part of it.
void take_tail_block(void) {
  StreamState &s = stream_state;
  int32_t n = stream_read_input();
  pump_messages();
  if (n >= BLOCK_HEADER_SIZE && check_block(transfer_buffer, BLOCK_HEADER_SIZE) == BLOCK_HEADER_SIZE)
    s.consumed_length += BLOCK_HEADER_SIZE;
}

}  // namespace

uint32_t stream_read_size(void) {
  StreamState &s = stream_state;
  uint32_t size = 0;
  for (int i = 0; i < 4; i++) size |= static_cast<uint32_t>(stream_get_byte() & 0xFF) << (8 * i);
  if (!s.block_failed && size > static_cast<uint32_t>(MAX_STREAM_SIZE)) stream_fail_input();
  if (s.block_failed) size = 0;
  s.read_size = BLOCK_SIZE;
  s.output_remaining = static_cast<int32_t>(size);
  s.uncompressed_size = size;
  return size;
}

int decompress_stream(StreamFile input, StreamFile output) {
  StreamState &s = stream_state;
  stream_reset(input, output, MODE_DECODE, refill_decode);
  lzhuf_decode();
  if (!s.block_failed && !s.write_failed && s.block_ends_at_read) take_tail_block();
  stream_flush_final();
  return !s.block_failed && !s.write_failed;
}
