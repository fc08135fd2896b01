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
#include "codec/common/stream.h"

// Initialises every field a stream uses, for the given files and direction;
// refill reads the direction's next piece of input (stream_refill_byte).
void stream_reset(StreamFile input, StreamFile output, uint8_t mode, int (*refill)(void));

// Input steps the two directions' refills share: the next read_size bytes
// into transfer_buffer (the count read), the input ended for good, and the
// input failed (the stream fails and the decoder stops at its next pass).
int32_t stream_read_input(void);
void stream_end_input(void);
void stream_fail_input(void);

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

// Counts n byte operations towards the UI heartbeat, calling pump_messages
// once per BYTES_PER_PUMP of them: the one place the cadence is kept. The
// byte functions below count one at a time; the coders count in batches where
// that is cheaper (at each input refill, when the output buffer is full).
inline void stream_count_operations(int32_t n) {
  StreamState &s = stream_state;
  s.byte_counter += n;
  while (s.byte_counter >= BYTES_PER_PUMP) {
    s.byte_counter -= BYTES_PER_PUMP;
    pump_messages();
  }
}

inline int32_t stream_get_byte(void) {
  StreamState &s = stream_state;
  if (s.read_position >= s.read_end) return stream_refill_byte();
  stream_count_operations(1);
  return transfer_buffer[s.read_position++];
}

inline void stream_put_byte(int32_t byte) {
  StreamState &s = stream_state;
  stream_output()[s.write_position++] = static_cast<uint8_t>(byte);
  if (s.write_position >= s.write_limit) {
    stream_flush_block();
  } else {
    stream_count_operations(1);
  }
}
