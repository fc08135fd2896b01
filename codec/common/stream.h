// Stream driver: turns files into the byte-at-a-time source and sink the
// LZHUF coder works on, in the checksummed block container described in
// docs/formats.md.
//
// Order of calls for one stream: the caller positions the input file at the
// stream's first byte, calls decompress_stream (or compress_stream), and,
// after a successful decode, reads stream_state.consumed_length to find where
// the next stream begins. Only one stream runs at a time; each entry point
// re-initialises everything a stream uses.
#pragma once
#include <stdint.h>
#include "codec/common/container.h"
#include "codec/common/stream_io.h"

// Decodes the stream that starts at input's current position into output.
// Returns 1 when every block passed its checks, the decoder produced exactly
// the declared size from bits that were really there, and every write
// succeeded; 0 otherwise (what was decoded before the fault is written).
// On 1, stream_state.consumed_length is the stream's exact length in input.
int decompress_stream(StreamFile input, StreamFile output);

// Encodes count bytes from input's current position as one stream in output.
// Returns 1 on success; 0 when the input ended before count bytes or a write
// failed (the output is then not a valid stream).
int compress_stream(StreamFile input, StreamFile output, int32_t count);

// The same with the stronger parse of lzhuf_encode_best: a stream any decoder
// reads, usually smaller, written more slowly.
int compress_stream_best(StreamFile input, StreamFile output, int32_t count);

// ---- The driver's one process-wide record ---------------------------------
//
// Each entry point re-initialises every field a stream uses. Callers read
// consumed_length after a successful decode; everything else is the codec's.

enum : int32_t {
  TRANSFER_BUFFER_SIZE = 16384,
  OUTPUT_HISTORY = 4096,  // the LZHUF window (lzhuf.h)
  OUTPUT_OVERRUN = 72,    // a 60-byte match, 8 bytes at a time
  BYTES_PER_PUMP = 1024,  // byte operations between two pump_messages calls
};

enum StreamMode : uint8_t { MODE_DECODE = 0, MODE_ENCODE = 1 };

struct StreamState {
  int (*refill)(void);  // the direction's next piece of input; 0 when there is none
  StreamFile input_file;
  StreamFile output_file;
  uint8_t mode;  // StreamMode

  // Input side: bytes transfer_buffer[read_position .. read_end) are next.
  int32_t read_position;
  int32_t read_end;
  int32_t read_size;           // bytes asked of the next read
  int32_t input_remaining;     // encode: input bytes still to take
  uint8_t at_end;              // input exhausted: every request yields -1
  uint8_t block_failed;        // a block was rejected, needed input is missing
                               // or the bit stream is malformed
  uint8_t input_short;         // encode: the input ended before the count
  uint8_t last_block_taken;    // decode: a short data block ended the stream
  uint8_t block_ends_at_read;  // decode: the last block ended exactly where
                               // its read ended (a tail block may follow)

  // Output side: stream_output()[0 .. write_position) waits to be written.
  // It lies in output_space behind OUTPUT_HISTORY bytes where the decoder
  // keeps the window of bytes already written, and in front of
  // OUTPUT_OVERRUN bytes that a copy may write past its end.
  uint8_t output_space[OUTPUT_HISTORY + BLOCK_SIZE + OUTPUT_OVERRUN];
  int32_t write_position;
  int32_t write_limit;
  int32_t output_remaining;
  uint8_t write_failed;  // a write failed or came back short

  int32_t byte_counter;     // byte operations since the last pump
  int32_t consumed_length;  // decode: container bytes the stream occupies

  // Coder fields kept with the stream.
  uint32_t uncompressed_size;  // decode: bytes to produce; 0 stops the decoder
  uint32_t in_bit_buffer;      // next bit in bit 31
  int32_t in_bit_count;
  uint32_t out_bit_buffer;  // first pending bit in bit 31
  int32_t out_bit_count;
};

extern StreamState stream_state;

inline uint8_t *stream_output(void) { return stream_state.output_space + OUTPUT_HISTORY; }

// Shared with the installer's stored-file copy (never in use by both at
// once); the driver uses its first BLOCK_SIZE bytes for input blocks.
extern uint8_t transfer_buffer[TRANSFER_BUFFER_SIZE];
