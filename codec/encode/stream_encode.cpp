// Stream driver, encode direction: the writer of the container format.
#include "codec/common/lzhuf.h"
#include "codec/common/stream.h"
#include "codec/common/stream_bytes.h"

uint32_t stream_write_size(void) {
  StreamState &s = stream_state;
  uint32_t size = static_cast<uint32_t>(s.input_remaining);
  // The fourth byte reaches write_limit, so the size block goes out at once.
  for (int i = 0; i < 4; i++) stream_put_byte(static_cast<int32_t>((size >> (8 * i)) & 0xFF));
  s.write_limit = BLOCK_SIZE;
  return size;
}

namespace {

// Encode: takes the next piece of the input file, at most input_remaining
// bytes of it.
int refill_encode(void) {
  StreamState &s = stream_state;
  if (s.input_remaining <= 0) {
    stream_end_input();
    return 0;
  }
  int32_t n = stream_read_input();
  pump_messages();
  s.read_position = 0;
  s.read_end = n < s.input_remaining ? n : s.input_remaining;
  s.input_remaining -= n;
  if (n == 0) {
    s.input_short = 1;  // the file ended before the count promised
    stream_end_input();
    return 0;
  }
  return 1;
}

int compress_with(void (*encode)(void), StreamFile input, StreamFile output, int32_t count) {
  StreamState &s = stream_state;
  if (count < 0) return 0;
  stream_reset(input, output, MODE_ENCODE, refill_encode);
  s.input_remaining = count;
  s.write_position = BLOCK_HEADER_SIZE;  // room for the size block's header
  s.write_limit = SIZE_BLOCK_LENGTH;
  s.read_size = BLOCK_SIZE;
  encode();
  stream_flush_final();
  return !s.input_short && !s.write_failed;
}

}  // namespace

int compress_stream(StreamFile input, StreamFile output, int32_t count) {
  return compress_with(lzhuf_encode, input, output, count);
}

int compress_stream_best(StreamFile input, StreamFile output, int32_t count) {
  return compress_with(lzhuf_encode_best, input, output, count);
}
