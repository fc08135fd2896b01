// LZHUF decoder.
#include <stdint.h>
#include <string.h>

#include "codec/common/huffman.h"
#include "codec/common/lzhuf.h"
#include "codec/common/position_tables.h"
#include "codec/common/stream_bytes.h"

// ---- Bit reader -----------------------------------------------------------
// The decoder keeps its unread bits in a local machine word (64 bits in the
// tools, 32 in the stub), next bit in the top bit. Below the valid bits sits
// a single 1, the marker, and below it only zeros: the valid count is the
// marker's distance from the top, so taking bits is one shift, and a
// symbol's walk keeps no count.
//
// Bytes of the current block are taken eagerly; the next block is read only
// when the decoder needs a bit it does not have, one byte at a time, so the
// decoder never asks for input beyond the last byte of its bit stream.
//
// A code path is at most 22 levels deep (a Huffman tree whose leaves weigh
// at least 1 and whose root weighs at most 32768 cannot be deeper), and an
// offset takes at most 14 bits: with SYMBOL_BITS buffered a symbol decodes
// without checking the buffer, with POSITION_BITS an offset, and a refill
// of a 32-bit word leaves at least 24. A walk that shifts the marker out
// means the model itself is broken; the next refill fails the stream.

// A build may name another word: the tests run the stub's 32-bit reader so.
#ifndef KESTRUNE_DECODE_WORD
#define KESTRUNE_DECODE_WORD uintptr_t
#endif
typedef KESTRUNE_DECODE_WORD BitWord;

enum : int32_t {
  SYMBOL_BITS = 22,
  POSITION_BITS = 14,
  WORD_BYTES = sizeof(BitWord),
  TOP_BIT = 8 * WORD_BYTES - 1,
};

const BitWord NO_BITS = static_cast<BitWord>(1) << TOP_BIT;  // the marker alone

struct BitReader {
  BitWord bits;
};

namespace {

inline int32_t marker_of(BitWord bits) {
  return WORD_BYTES == 8 ? __builtin_ctzll(bits) : __builtin_ctz(static_cast<uint32_t>(bits));
}

inline int32_t bit_count(BitWord bits) { return TOP_BIT - marker_of(bits); }

// Fewer than n bits valid: the marker goes out with the next n bits.
inline bool bits_below(const BitReader &in, int32_t n) { return static_cast<BitWord>(in.bits << n) == 0; }

// Puts the marker at bit `at`, clearing what follows it.
inline BitWord mark_at(BitWord bits, int32_t at) { return ((bits >> at) | 1) << at; }

// The next WORD_BYTES input bytes as a number, first byte on top. Reads
// past the block's end stay in the transfer buffer; their bits are never
// taken.
static_assert(TRANSFER_BUFFER_SIZE >= BLOCK_SIZE + WORD_BYTES, "word reads past a block leave the buffer");

inline BitWord load_word(const uint8_t *p) {
  BitWord word;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  memcpy(&word, p, WORD_BYTES);
  word = WORD_BYTES == 8 ? __builtin_bswap64(word) : __builtin_bswap32(static_cast<uint32_t>(word));
#else
  word = 0;
  for (int32_t i = 0; i < WORD_BYTES; i++) word = word << 8 | p[i];
#endif
  return word;
}

// Tops the bits up from the current block without reading a new one, and
// returns how many bytes it took. With the marker at bit m, m / 8 whole
// bytes fit, as far as the block has them.
inline int32_t fill_from_block(BitReader &in) {
  StreamState &s = stream_state;
  int32_t marker = marker_of(in.bits);
  int32_t position = s.read_position;
  int32_t left = s.read_end - position;
  int32_t taken = marker >> 3 < left ? marker >> 3 : left;
  BitWord bits = (in.bits & (in.bits - 1)) | load_word(transfer_buffer + position) >> (TOP_BIT - marker);
  s.read_position = position + taken;
  in.bits = mark_at(bits, marker - 8 * taken);
  return taken;
}

// Makes sure at least `need` (1..8) bits are buffered, reading the next
// block if the current one is used up. Missing input reads as zero bits and
// has already failed the stream.
void need_bits(BitReader &in, int32_t need) {
  if (bit_count(in.bits) >= need) return;
  stream_count_operations(fill_from_block(in));
  if (bit_count(in.bits) >= need) return;
  int32_t byte = stream_get_byte();
  if (byte < 0) byte = 0;
  int32_t marker = marker_of(in.bits) - 8;
  in.bits = mark_at((in.bits & (in.bits - 1)) | static_cast<BitWord>(byte) << (marker + 1), marker);
}

inline uint32_t take_bits(BitReader &in, int32_t n) {
  uint32_t value = static_cast<uint32_t>(in.bits >> (TOP_BIT + 1 - n));
  in.bits <<= n;
  return value;
}

// ---- Items ----------------------------------------------------------------

// Counts the decoded leaf (its node value, NODE_COUNT + symbol) in the model
// and returns the symbol.
inline int32_t count_leaf(uint32_t leaf) {
  if (huffman_model.weight[ROOT_NODE] == REBUILD_LIMIT) huffman_rebuild();
  huffman_count_from(huffman_model.parent[leaf]);
  return static_cast<int32_t>(leaf) - NODE_COUNT;
}

// A symbol whose whole code is in the buffer: one child lookup per bit (the
// bit shifted out by a doubling, its carry added to the index), then the
// model's update from the leaf up. The root's children always sit just
// below it.
inline int32_t decode_symbol_buffered(BitReader &in) {
  const uint16_t *child = huffman_model.child;
  BitWord bits = in.bits;
  uint32_t x = ROOT_NODE - 2;
  do {
    BitWord doubled;
    bool bit = __builtin_add_overflow(bits, bits, &doubled);
    x = child[x + bit];
    bits = doubled;
  } while (x < static_cast<uint32_t>(NODE_COUNT));
  in.bits = bits;
  return count_leaf(x);
}

// An offset: the high part's code (3..8 bits, told by the first 8 bits),
// then the 6 plain low bits. Returns the distance, 1..4096.
inline uint32_t decode_position_buffered(BitReader &in) {
  uint32_t b = static_cast<uint32_t>(in.bits >> (TOP_BIT - 7));
  int32_t length = POSITION_PREFIX_LENGTH[b];
  uint32_t low = static_cast<uint32_t>(static_cast<BitWord>(in.bits << length) >> (TOP_BIT - 5));
  in.bits <<= length + 6;
  return (static_cast<uint32_t>(POSITION_PREFIX_HIGH[b]) << 6 | low) + 1;
}

// Near the end of a block, bit by bit. These take and return the bits by
// value, so that the decode loop keeps its own in a register. `value` is -1
// when the bits never arrived (the stream has failed).
struct Checked {
  BitWord bits;
  int32_t value;
};

__attribute__((noinline)) Checked decode_symbol_checked(BitWord bits) {
  BitReader in = {bits};
  const uint16_t *child = huffman_model.child;
  uint32_t x = child[ROOT_NODE];
  do {
    need_bits(in, 1);
    x = child[x + take_bits(in, 1)];
  } while (x < static_cast<uint32_t>(NODE_COUNT));
  int32_t symbol = count_leaf(x);
  return {in.bits, stream_state.block_failed ? -1 : symbol};
}

__attribute__((noinline)) Checked decode_position_checked(BitWord bits) {
  BitReader in = {bits};
  need_bits(in, 8);
  uint32_t b = take_bits(in, 8);
  uint32_t high = POSITION_PREFIX_HIGH[b];
  for (int32_t more = POSITION_PREFIX_LENGTH[b] - 2; more > 0; more--) {
    need_bits(in, 1);
    b = (b << 1) | take_bits(in, 1);
  }
  int32_t distance = static_cast<int32_t>((high << 6 | (b & 0x3F)) + 1);
  return {in.bits, stream_state.block_failed ? -1 : distance};
}

}  // namespace

// ---- Output -----------------------------------------------------------------
// Decoded bytes go straight into the driver's output buffer, which is
// written out each time it is full. The window is the OUTPUT_HISTORY bytes
// in front of it: the last bytes decoded, or spaces before the first. A
// copy reads from up to WINDOW_SIZE back and may run past the buffer's end
// (OUTPUT_OVERRUN); when the buffer goes out, its last WINDOW_SIZE bytes and
// what ran past move to the front.
//
// Bytes are counted for the heartbeat in batches, with the input taken at
// each refill and when the buffer is full (the byte that fills it is not
// counted, as with stream_put_byte).

static_assert(static_cast<int32_t>(OUTPUT_HISTORY) == static_cast<int32_t>(WINDOW_SIZE),
              "the window sits in front of the output");
static_assert(OUTPUT_OVERRUN >= LOOKAHEAD_SIZE + 8, "a copy overruns by less than one match and a word");

struct Output {
  uint32_t position;      // next byte to write in stream_output()
  uint32_t counted_from;  // bytes from here on are not yet counted
};

namespace {

const uint32_t BUFFER_END = BLOCK_SIZE;

// Out of line and by value, so that the loop's copy stays in registers.
__attribute__((noinline)) Output output_full(Output out) {
  stream_count_operations(static_cast<int32_t>(BLOCK_SIZE - 1 - out.counted_from));
  stream_state.write_position = BLOCK_SIZE;
  stream_flush_block();
  uint8_t *bytes = stream_output();
  uint32_t over = out.position - BUFFER_END;
  memmove(bytes - WINDOW_SIZE, bytes + BUFFER_END - WINDOW_SIZE, WINDOW_SIZE + over);
  return {over, 0};
}

// Copies a match of `length` bytes from `distance` (1..WINDOW_SIZE) back.
// Copies of 8 or more back go 8 bytes at a time, which reads nothing the
// same step writes; those steps may write up to 7 bytes past the copy.
inline void copy_match(uint8_t *to, uint32_t distance, uint32_t length) {
  const uint8_t *source = to - distance;
  if (distance >= 8) {
    for (uint32_t k = 0; k < length; k += 8) memcpy(to + k, source + k, 8);
  } else if (distance == 1) {
    memset(to, source[0], length);
  } else {
    for (uint32_t k = 0; k < length; k++) to[k] = source[k];
  }
}

// ---- Decode loop ----------------------------------------------------------
// Only two steps can stop a stream: reading the next block near the end of
// one (input missing or rejected: the bit-by-bit steps report it) and a
// write of the full buffer (stream_flush_block zeroes
// stream_state.uncompressed_size, tested after the buffer goes out). Items
// decoded from buffered bits cannot fail.

// Refills the bits and counts the input taken and the bytes written since
// the last refill. Returns 0 when the model has lost the marker (the stream
// fails).
inline int refill(BitReader &in, Output &out) {
  if (in.bits == 0) {
    stream_state.block_failed = 1;
    return 0;
  }
  int32_t taken = fill_from_block(in);
  stream_count_operations(taken + static_cast<int32_t>(out.position - out.counted_from));
  out.counted_from = out.position;
  return 1;
}

}  // namespace

// Positions run in the output buffer; `end` is where the stream's last byte
// would fall in it (past the buffer while more than it holds is to come),
// and `stop` the nearer of that and the buffer's end, so an item makes one
// test.
void lzhuf_decode(void) {
  StreamState &s = stream_state;
  s.uncompressed_size = stream_read_size();
  if (s.uncompressed_size == 0) return;
  huffman_init();
  uint8_t *bytes = stream_output();
  Output out = {static_cast<uint32_t>(s.write_position), static_cast<uint32_t>(s.write_position)};
  memset(bytes - WINDOW_SIZE, ' ', WINDOW_SIZE);
  BitReader in = {NO_BITS};
  uint32_t end = out.position + s.uncompressed_size;
  uint32_t stop = end < BUFFER_END ? end : BUFFER_END;
  for (;;) {
    int32_t symbol;
    if (__builtin_expect(!bits_below(in, SYMBOL_BITS), 1)) {
      symbol = decode_symbol_buffered(in);
    } else {
      if (!refill(in, out)) break;
      if (!bits_below(in, SYMBOL_BITS)) continue;
      Checked c = decode_symbol_checked(in.bits);
      in.bits = c.bits;
      symbol = c.value;
      if (symbol < 0) break;
    }
    uint32_t position = out.position;
    if (symbol < 256) {
      bytes[position++] = static_cast<uint8_t>(symbol);
      out.position = position;
      if (__builtin_expect(position != stop, 1)) continue;
    } else {
      uint32_t distance;
      if (__builtin_expect(bits_below(in, POSITION_BITS), 0) && !refill(in, out)) break;
      if (__builtin_expect(!bits_below(in, POSITION_BITS), 1)) {
        distance = decode_position_buffered(in);
      } else {
        Checked c = decode_position_checked(in.bits);
        in.bits = c.bits;
        if (c.value < 0) break;
        distance = static_cast<uint32_t>(c.value);
      }
      uint32_t length = static_cast<uint32_t>(symbol - MATCH_SYMBOL_BASE);
      // A match that runs past the declared size is malformed: the stream
      // fails, and none of the match is written.
      if (length > end - position) {
        s.block_failed = 1;
        break;
      }
      copy_match(bytes + position, distance, length);
      out.position = position + length;
      if (__builtin_expect(out.position < stop, 1)) continue;
    }
    if (out.position >= BUFFER_END) {
      out = output_full(out);
      if (s.uncompressed_size == 0) break;
      end -= BUFFER_END;
      stop = end < BUFFER_END ? end : BUFFER_END;
    }
    if (out.position == end) break;
  }
  stream_count_operations(static_cast<int32_t>(out.position - out.counted_from));
  s.write_position = static_cast<int32_t>(out.position);
}
