// LZHUF coder: LZSS over a 4096-byte sliding window, literals and match
// lengths coded with the adaptive Huffman model (huffman.h), match offsets
// with the fixed prefix codes of position_tables.h. Bit-stream layout:
// docs/formats.md.
//
// Both directions run over the byte operations of the stream driver and are
// started only by decompress_stream / compress_stream (stream.h), which set
// up the driver and flush after the coder returns.
#pragma once
#include <stdint.h>

enum : int32_t {
  WINDOW_SIZE = 4096,
  WINDOW_MASK = WINDOW_SIZE - 1,
  LOOKAHEAD_SIZE = 60,
  MATCH_THRESHOLD = 2,                            // matches of <= 2 bytes are never coded
  FIRST_POSITION = WINDOW_SIZE - LOOKAHEAD_SIZE,  // 4036, first byte's window slot
  WINDOW_MIRROR = LOOKAHEAD_SIZE - 1,             // bytes mirrored past the end
  MATCH_SYMBOL_BASE = 256 - MATCH_THRESHOLD - 1,  // symbol = length + 253
};

// The encoder's window: positions 0..4095 are circular; 4096..4154 mirror
// 0..58 so 60-byte strings compare without wrapping. (The decoder keeps its
// window in the driver's output buffer.)
extern uint8_t window[WINDOW_SIZE + WINDOW_MIRROR];

// Decodes one bit stream: takes the size with stream_read_size, then produces
// exactly that many bytes with stream_put_byte. Stops early when the driver
// zeroes stream_state.uncompressed_size (failed input or output). A match
// that would run past the size fails the stream (stream_state.block_failed):
// the bytes before it are kept, the match is not written.
void lzhuf_decode(void);

// Encodes the stream_write_size bytes that stream_get_byte delivers (fewer if
// the input ends early) and pads the last byte with zero bits. The parse is
// greedy, with the longest match the match trees find at each position.
void lzhuf_encode(void);

// The same, with the cheapest parse under the adaptive model's current code
// lengths, planned block by block (lzhuf_best.cpp): an ordinary bit stream,
// usually smaller, at a few times the cost.
void lzhuf_encode_best(void);
