// LZHUF decoder.
#include <string.h>

#include "codec/huffman.h"
#include "codec/lzhuf.h"
#include "codec/position_tables.h"
#include "codec/stream_bytes.h"

uint8_t window[WINDOW_SIZE + WINDOW_MIRROR];

// ---- Bit reader -----------------------------------------------------------
// The decoder keeps its unread bits in a local 64-bit buffer, next bit in
// bit 63, `count` of them valid. Bits below those are either zero or the
// stream's next bits (a refill may OR the same bits in again).
//
// Bytes of the current block are taken eagerly; the next block is read only
// when the decoder needs a bit it does not have, one byte at a time, so the
// decoder never asks for input beyond the last byte of its bit stream.
//
// A code path is at most 22 levels deep (a Huffman tree whose leaves weigh
// at least 1 and whose root weighs at most 32768 cannot be deeper), and an
// offset takes at most 14 bits: with ITEM_BITS buffered, a whole item
// decodes without checking the buffer.

enum : int32_t { ITEM_BITS = 40 };

struct BitReader {
  uint64_t bits;
  int32_t count;
};

// Tops the buffer up from the current block without reading a new one.
static inline void fill_from_block(BitReader &in) {
  StreamState &s = stream_state;
  int32_t position = s.read_position;
  int32_t taken;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  if (s.read_end - position >= 8) {
    uint64_t word;
    memcpy(&word, transfer_buffer + position, 8);
    in.bits |= __builtin_bswap64(word) >> in.count;
    taken = (63 - in.count) >> 3;
    in.count += taken * 8;
    s.read_position = position + taken;
  } else
#endif
  {
    int32_t end = s.read_end;
    while (in.count <= 56 && position < end) {
      in.bits |= (uint64_t)transfer_buffer[position++] << (56 - in.count);
      in.count += 8;
    }
    taken = position - s.read_position;
    s.read_position = position;
  }
  s.byte_counter += taken;
  if (s.byte_counter >= BYTES_PER_PUMP) {
    s.byte_counter -= BYTES_PER_PUMP;
    pump_messages();
  }
}

// Makes sure at least `need` (1..8) bits are buffered, reading the next
// block if the current one is used up. Missing input reads as zero bits and
// has already failed the stream.
static inline void need_bits(BitReader &in, int32_t need) {
  if (in.count >= need) return;
  fill_from_block(in);
  if (in.count >= need) return;
  int32_t byte = stream_get_byte();
  if (byte < 0) byte = 0;
  in.bits |= (uint64_t)byte << (56 - in.count);
  in.count += 8;
}

static inline uint32_t take_bits(BitReader &in, int32_t n) {
  uint32_t value = (uint32_t)(in.bits >> (64 - n));
  in.bits <<= n;
  in.count -= n;
  return value;
}

// ---- Items ----------------------------------------------------------------

// Walks from the root to a leaf, one bit per level, noting the positions
// passed for the model update (leaf first, at the low end of `path`).
static inline int32_t decode_symbol(BitReader &in, bool checked) {
  enum : int32_t { PATH_SLOTS = 64 };
  uint16_t path[PATH_SLOTS];
  const uint16_t *child = huffman_model.child;
  int32_t slot = PATH_SLOTS;
  uint32_t x = child[ROOT_NODE];
  for (;;) {
    if (checked) need_bits(in, 1);
    uint32_t position = x + take_bits(in, 1);
    path[--slot] = (uint16_t)position;
    x = child[position];
    if (x >= (uint32_t)NODE_COUNT) break;
    if (slot == 0) {  // deeper than any tree of this model can be
      while (x < (uint32_t)NODE_COUNT) {
        if (checked) need_bits(in, 1);
        x = child[x + take_bits(in, 1)];
      }
      huffman_update((int32_t)x - NODE_COUNT);
      return (int32_t)x - NODE_COUNT;
    }
  }
  int32_t symbol = (int32_t)x - NODE_COUNT;
  huffman_update_path(symbol, path + slot, PATH_SLOTS - slot);
  return symbol;
}

// The first 8 bits hold the high part's code (3..8 bits) and the start of
// the 6 plain low bits; the rest of the low bits follow.
static inline uint32_t decode_position(BitReader &in, bool checked) {
  if (checked) need_bits(in, 8);
  uint32_t b = take_bits(in, 8);
  uint32_t high = POSITION_PREFIX_HIGH[b];
  int32_t more = POSITION_PREFIX_LENGTH[b] - 2;
  if (checked) {
    while (more-- > 0) {
      need_bits(in, 1);
      b = (b << 1) | take_bits(in, 1);
    }
  } else {
    b = (b << more) | take_bits(in, more);
  }
  return (high << 6) | (b & 0x3F);
}

// ---- Decode loop ----------------------------------------------------------

void lzhuf_decode(void) {
  StreamState &s = stream_state;
  s.uncompressed_size = stream_read_size();
  if (s.uncompressed_size == 0) return;
  huffman_init();
  memset(window, ' ', FIRST_POSITION);
  BitReader in = {0, 0};
  uint32_t r = FIRST_POSITION;
  uint32_t count = 0;
  while (count < s.uncompressed_size) {
    if (in.count < ITEM_BITS) fill_from_block(in);
    bool checked = in.count < ITEM_BITS;  // near the end of a block
    int32_t symbol = decode_symbol(in, checked);
    if (s.block_failed) break;  // its bits never arrived
    if (symbol < 256) {
      stream_put_byte(symbol);
      window[r] = (uint8_t)symbol;
      r = (r + 1) & WINDOW_MASK;
      count++;
      continue;
    }
    uint32_t start = (r - decode_position(in, checked) - 1) & WINDOW_MASK;
    if (s.block_failed) break;
    uint32_t length = (uint32_t)(symbol - MATCH_SYMBOL_BASE);
    // A match that runs past the declared size is malformed: the stream
    // fails, and none of the match is written.
    if (length > s.uncompressed_size - count) {
      s.block_failed = 1;
      break;
    }
    count += length;
    if (s.write_position + (int32_t)length < s.write_limit) {
      // Fits without filling the output buffer: copy straight into it.
      uint8_t *out = s.output_buffer + s.write_position;
      for (uint32_t k = 0; k < length; k++) {
        uint8_t byte = window[(start + k) & WINDOW_MASK];
        out[k] = byte;
        window[r] = byte;
        r = (r + 1) & WINDOW_MASK;
      }
      s.write_position += (int32_t)length;
      s.byte_counter += (int32_t)length;
      if (s.byte_counter >= BYTES_PER_PUMP) {
        s.byte_counter -= BYTES_PER_PUMP;
        pump_messages();
      }
    } else {
      for (uint32_t k = 0; k < length; k++) {
        uint8_t byte = window[(start + k) & WINDOW_MASK];
        stream_put_byte(byte);
        window[r] = byte;
        r = (r + 1) & WINDOW_MASK;
      }
    }
  }
}
