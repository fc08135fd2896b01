// LZHUF decoder.
#include <string.h>

#include "codec/common/huffman.h"
#include "codec/common/lzhuf.h"
#include "codec/common/position_tables.h"
#include "codec/common/stream_bytes.h"

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
// decodes without checking the buffer. A walk deeper than MAX_CODE_BITS
// means the model itself is broken; the stream then fails.

enum : int32_t { ITEM_BITS = 40, MAX_CODE_BITS = ITEM_BITS - 14 };

struct BitReader {
  uint64_t bits;
  int32_t count;
};

namespace {

// Tops the buffer up from the current block without reading a new one.
inline void fill_from_block(BitReader &in) {
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
      in.bits |= static_cast<uint64_t>(transfer_buffer[position++]) << (56 - in.count);
      in.count += 8;
    }
    taken = position - s.read_position;
    s.read_position = position;
  }
  stream_count_operations(taken);
}

// Makes sure at least `need` (1..8) bits are buffered, reading the next
// block if the current one is used up. Missing input reads as zero bits and
// has already failed the stream.
inline void need_bits(BitReader &in, int32_t need) {
  if (in.count >= need) return;
  fill_from_block(in);
  if (in.count >= need) return;
  int32_t byte = stream_get_byte();
  if (byte < 0) byte = 0;
  in.bits |= static_cast<uint64_t>(byte) << (56 - in.count);
  in.count += 8;
}

inline uint32_t take_bits(BitReader &in, int32_t n) {
  uint32_t value = static_cast<uint32_t>(in.bits >> (64 - n));
  in.bits <<= n;
  in.count -= n;
  return value;
}

// ---- Items ----------------------------------------------------------------

// A symbol whose whole code is in the buffer: one child lookup per bit,
// then the model's update from the leaf up. Returns -1 for a walk deeper
// than any tree of the model can be.
inline int32_t decode_symbol_buffered(BitReader &in) {
  const uint16_t *child = huffman_model.child;
  uint64_t bits = in.bits;
  uint32_t x = child[ROOT_NODE];
  int32_t depth = 0;
  do {
    x = child[x + static_cast<uint32_t>(bits >> 63)];
    bits <<= 1;
    depth++;
  } while (x < static_cast<uint32_t>(NODE_COUNT));
  in.bits = bits;
  in.count -= depth;
  if (depth > MAX_CODE_BITS) return -1;
  huffman_update(static_cast<int32_t>(x) - NODE_COUNT);
  return static_cast<int32_t>(x) - NODE_COUNT;
}

// The same bit by bit, near the end of a block.
int32_t decode_symbol_checked(BitReader &in) {
  const uint16_t *child = huffman_model.child;
  uint32_t x = child[ROOT_NODE];
  do {
    need_bits(in, 1);
    x = child[x + take_bits(in, 1)];
  } while (x < static_cast<uint32_t>(NODE_COUNT));
  huffman_update(static_cast<int32_t>(x) - NODE_COUNT);
  return static_cast<int32_t>(x) - NODE_COUNT;
}

// The first 8 bits hold the high part's code (3..8 bits) and the start of
// the 6 plain low bits; the rest of the low bits follow.
inline uint32_t decode_position(BitReader &in, bool checked) {
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

}  // namespace

// ---- Output -----------------------------------------------------------------
// Decoded bytes go straight into the driver's output buffer, which also
// serves as the window: it is written out each time it is full and then
// refilled from its start, so the BLOCK_SIZE bytes behind the write position,
// taken round the buffer's end, are the last BLOCK_SIZE bytes decoded. A copy
// reaches at most WINDOW_SIZE back. Before the first byte the buffer's last
// WINDOW_SIZE bytes are spaces, the window's fill in front of a stream.
//
// Bytes are counted for the heartbeat in batches, at each input refill and
// when the buffer is full (the byte that fills it is not counted, as with
// stream_put_byte).

struct Output {
  uint8_t *bytes;        // stream_state.output_buffer
  int32_t position;      // next byte to write
  int32_t counted_from;  // bytes from here on are not yet counted
};

namespace {

void count_output(Output &out, int32_t end) {
  stream_count_operations(end - out.counted_from);
  out.counted_from = end;
}

void output_full(Output &out) {
  count_output(out, BLOCK_SIZE - 1);
  stream_state.write_position = BLOCK_SIZE;
  stream_flush_block();
  out.position = 0;
  out.counted_from = 0;
}

// Copies a match of `length` bytes from `distance` (1..WINDOW_SIZE) back.
// Copies of 8 or more back go 8 bytes at a time, which reads nothing the
// same step writes; those steps may write up to 7 bytes past the copy, into
// buffer bytes a full buffer old that no copy reaches.
inline void copy_match(Output &out, uint32_t distance, uint32_t length) {
  int32_t from = out.position - static_cast<int32_t>(distance);
  if (from < 0) from += BLOCK_SIZE;
  uint8_t *to = out.bytes + out.position;
  if (out.position + static_cast<int32_t>(length) + 8 <= BLOCK_SIZE &&
      from + static_cast<int32_t>(length) + 8 <= BLOCK_SIZE) {
    const uint8_t *source = out.bytes + from;
    if (distance >= 8) {
      for (uint32_t k = 0; k < length; k += 8) memcpy(to + k, source + k, 8);
    } else if (distance == 1) {
      memset(to, source[0], length);
    } else {
      for (uint32_t k = 0; k < length; k++) to[k] = source[k];
    }
    out.position += static_cast<int32_t>(length);
    return;
  }
  // Near the buffer's end: byte by byte, round the end, writing it out when full.
  for (uint32_t k = 0; k < length; k++) {
    uint8_t byte = out.bytes[from];
    from = from + 1 == BLOCK_SIZE ? 0 : from + 1;
    out.bytes[out.position++] = byte;
    if (out.position == BLOCK_SIZE) output_full(out);
  }
}

}  // namespace

// ---- Decode loop ----------------------------------------------------------

void lzhuf_decode(void) {
  StreamState &s = stream_state;
  s.uncompressed_size = stream_read_size();
  if (s.uncompressed_size == 0) return;
  huffman_init();
  Output out = {s.output_buffer, s.write_position, s.write_position};
  memset(out.bytes + BLOCK_SIZE - WINDOW_SIZE, ' ', WINDOW_SIZE);
  BitReader in = {0, 0};
  uint32_t remaining = s.uncompressed_size;
  while (remaining > 0 && s.uncompressed_size != 0) {
    bool checked = false;
    if (in.count < ITEM_BITS) {
      fill_from_block(in);
      count_output(out, out.position);
      checked = in.count < ITEM_BITS;  // near the end of a block
    }
    int32_t symbol = checked ? decode_symbol_checked(in) : decode_symbol_buffered(in);
    if (symbol < 0 || s.block_failed) {  // a broken model, or bits that never arrived
      s.block_failed = 1;
      break;
    }
    if (symbol < 256) {
      out.bytes[out.position++] = static_cast<uint8_t>(symbol);
      if (out.position == BLOCK_SIZE) output_full(out);
      remaining--;
      continue;
    }
    uint32_t distance = decode_position(in, checked) + 1;
    if (s.block_failed) break;
    uint32_t length = static_cast<uint32_t>(symbol - MATCH_SYMBOL_BASE);
    // A match that runs past the declared size is malformed: the stream
    // fails, and none of the match is written.
    if (length > remaining) {
      s.block_failed = 1;
      break;
    }
    remaining -= length;
    copy_match(out, distance, length);
  }
  count_output(out, out.position);
  s.write_position = out.position;
}
