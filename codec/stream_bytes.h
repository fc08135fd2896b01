// The byte operations the coder works through (internal to the codec).
//
// stream_get_byte yields the next input byte 0..255, or -1 once the input has
// ended or failed, and -1 on every later call of the same stream.
// stream_put_byte appends one byte to the output. Both count towards the UI
// heartbeat: every BYTES_PER_PUMP counted operations call pump_messages (a
// request that refills and a byte that fills the output buffer are not
// counted; those steps pump on their own). The common paths are inline here;
// block reads and writes live in stream.cpp / stream_encode.cpp.
#pragma once
#include "codec/stream.h"

// Initialises every field a stream uses, for the given files and direction.
void stream_reset(StreamFile input, StreamFile output, uint8_t mode);

// Writes the pending output at the end of a stream (nothing for an encode
// with no data pending: a stream never ends with a header-only block).
void stream_flush_final(void);

// Slow path of stream_get_byte: reads the next block (or ends/fails the
// input) and returns the first byte it delivers, or -1.
int32_t stream_refill_byte(void);

// Writes out the full output buffer (decode: decoded bytes; encode: a block
// whose header is filled in first).
void stream_flush_block(void);

// Takes the 4-byte size block; returns the uncompressed size, 0 when the size
// block was rejected or declares more than MAX_STREAM_SIZE (the stream then
// fails).
uint32_t stream_read_size(void);

// Writes the size block for the count given to compress_stream and returns
// that count.
uint32_t stream_write_size(void);

inline void stream_count_operation(void) {
  if (++stream_state.byte_counter == BYTES_PER_PUMP) {
    stream_state.byte_counter = 0;
    pump_messages();
  }
}

inline int32_t stream_get_byte(void) {
  StreamState &s = stream_state;
  if (s.read_position >= s.read_end) return stream_refill_byte();
  stream_count_operation();
  return transfer_buffer[s.read_position++];
}

inline void stream_put_byte(int32_t byte) {
  StreamState &s = stream_state;
  s.output_buffer[s.write_position++] = static_cast<uint8_t>(byte);
  if (s.write_position >= s.write_limit) {
    stream_flush_block();
  } else {
    stream_count_operation();
  }
}
