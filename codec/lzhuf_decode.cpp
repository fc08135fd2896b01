// LZHUF decoder.
#include "codec/huffman.h"
#include "codec/lzhuf.h"
#include "codec/position_tables.h"
#include "codec/stream_bytes.h"

uint8_t window[WINDOW_SIZE + WINDOW_MIRROR];

// ---- Bit reader -----------------------------------------------------------
// in_bit_buffer holds in_bit_count unread bits from bit 31 down, the rest
// zero. A byte is taken only when a bit is needed that is not buffered, so
// the decoder never asks for input beyond the last byte of its bit stream.
// Missing input (-1) only happens when the stream has already failed.

static inline void take_input_byte(void) {
  StreamState &s = stream_state;
  uint32_t byte = (uint32_t)(stream_get_byte() & 0xFF);
  s.in_bit_buffer |= byte << (24 - s.in_bit_count);
  s.in_bit_count += 8;
}

static inline uint32_t read_bit(void) {
  StreamState &s = stream_state;
  if (s.in_bit_count == 0) take_input_byte();
  uint32_t bit = s.in_bit_buffer >> 31;
  s.in_bit_buffer <<= 1;
  s.in_bit_count -= 1;
  return bit;
}

static inline uint32_t read_bits8(void) {
  StreamState &s = stream_state;
  if (s.in_bit_count < 8) take_input_byte();
  uint32_t value = s.in_bit_buffer >> 24;
  s.in_bit_buffer <<= 8;
  s.in_bit_count -= 8;
  return value;
}

// ---- Items ----------------------------------------------------------------

static int32_t decode_symbol(void) {
  const HuffmanModel &m = huffman_model;
  uint32_t x = m.child[ROOT_NODE];
  while (x < (uint32_t)NODE_COUNT) x = m.child[x + read_bit()];
  int32_t symbol = (int32_t)x - NODE_COUNT;
  huffman_update(symbol);
  return symbol;
}

// The first 8 bits hold the high part's code (3..8 bits) and the start of
// the 6 plain low bits; the rest of the low bits follow one by one.
static uint32_t decode_position(void) {
  uint32_t b = read_bits8();
  uint32_t high = POSITION_PREFIX_HIGH[b];
  int32_t more = POSITION_PREFIX_LENGTH[b] - 2;
  while (more-- > 0) b = (b << 1) | read_bit();
  return (high << 6) | (b & 0x3F);
}

// ---- Decode loop ----------------------------------------------------------

void lzhuf_decode(void) {
  StreamState &s = stream_state;
  s.uncompressed_size = stream_read_size();
  if (s.uncompressed_size == 0) return;
  huffman_init();
  for (int32_t i = 0; i < FIRST_POSITION; i++) window[i] = ' ';
  uint32_t r = FIRST_POSITION;
  uint32_t count = 0;
  while (count < s.uncompressed_size) {
    int32_t symbol = decode_symbol();
    if (s.block_failed) break;  // its bits never arrived
    if (symbol < 256) {
      stream_put_byte(symbol);
      window[r] = (uint8_t)symbol;
      r = (r + 1) & WINDOW_MASK;
      count++;
    } else {
      uint32_t start = (r - decode_position() - 1) & WINDOW_MASK;
      if (s.block_failed) break;
      uint32_t length = (uint32_t)(symbol - MATCH_SYMBOL_BASE);
      // A malformed final match must not run past the declared size.
      if (length > s.uncompressed_size - count) length = s.uncompressed_size - count;
      for (uint32_t k = 0; k < length; k++) {
        uint8_t byte = window[(start + k) & WINDOW_MASK];
        stream_put_byte(byte);
        window[r] = byte;
        r = (r + 1) & WINDOW_MASK;
      }
      count += length;
    }
  }
}
