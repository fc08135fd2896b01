// LZHUF encoder; its match dictionary is lzhuf_dictionary.h.
#include <stddef.h>
#include <string.h>

#include "codec/common/huffman.h"
#include "codec/common/lzhuf.h"
#include "codec/common/position_tables.h"
#include "codec/common/stream_bytes.h"
#include "codec/encode/lzhuf_dictionary.h"
#include "codec/encode/lzhuf_encoder.h"

uint8_t window[WINDOW_SIZE + WINDOW_MIRROR];
LzhufDictionary lzhuf_dictionary;

namespace {

// ---- Bit writer -----------------------------------------------------------
// out_bit_buffer holds out_bit_count (0..15 between calls) pending bits from
// bit 31 down; whole 16-bit pieces go out as two bytes, which emits the same
// byte sequence as writing each byte as soon as it is complete.

// Appends the top n bits (1..16) of a 16-bit code.
inline void write_bits(int32_t n, uint32_t code) {
  StreamState &s = stream_state;
  s.out_bit_buffer |= (code << 16) >> s.out_bit_count;
  s.out_bit_count += n;
  if (s.out_bit_count >= 16) {
    stream_put_byte(static_cast<int32_t>(s.out_bit_buffer >> 24));
    stream_put_byte(static_cast<int32_t>((s.out_bit_buffer >> 16) & 0xFF));
    s.out_bit_buffer <<= 16;
    s.out_bit_count -= 16;
  }
}

}  // namespace

void flush_bits(void) {
  StreamState &s = stream_state;
  while (s.out_bit_count > 0) {
    stream_put_byte(static_cast<int32_t>(s.out_bit_buffer >> 24));
    s.out_bit_buffer <<= 8;
    s.out_bit_count -= 8;
  }
  s.out_bit_count = 0;
}

// ---- Items ----------------------------------------------------------------

namespace {

// Sends the path from the leaf to the root, root end first; codes can be
// deeper than 16 levels with skewed counts, and then go out in two pieces.
inline void write_code(uint32_t code, int32_t n) {
  if (n > 16) {  // at most 22 levels, so the 32-bit code holds it
    write_bits(16, (code >> (n - 16)) & 0xFFFF);
    write_bits(n - 16, (code << (32 - n)) & 0xFFFF);
  } else {
    write_bits(n, code << (16 - n));
  }
}

}  // namespace

// The walk from the leaf up both collects the code and counts the path:
// while no node has to move, the tree keeps its shape, so the model's update
// is just these counts. At the first node that has to move, the rest of the
// code comes from the tree above, which is still untouched, and the update
// goes on from that node.
void encode_symbol(int32_t symbol) {
  HuffmanModel &m = huffman_model;
  uint32_t code = 0;
  int32_t n = 0;
  size_t k = m.parent[symbol + NODE_COUNT];
  if (m.weight[ROOT_NODE] == REBUILD_LIMIT) {  // the update rebuilds the tree first
    do {
      code |= static_cast<uint32_t>(k & 1) << n++;
      k = m.parent[k];
    } while (k != ROOT_NODE);
    write_code(code, n);
    huffman_update(symbol);
    return;
  }
  for (;;) {
    code |= static_cast<uint32_t>(k & 1) << n++;
    uint16_t *at = m.weight + k;
    uint16_t w = static_cast<uint16_t>(*at + 1);
    if (w > at[1]) break;
    *at = w;
    k = m.parent[k];
    if (k == ROOT_NODE) {
      m.weight[ROOT_NODE]++;
      write_code(code, n);
      return;
    }
  }
  size_t moving = k;
  for (k = m.parent[k]; k != ROOT_NODE; k = m.parent[k]) code |= static_cast<uint32_t>(k & 1) << n++;
  write_code(code, n);
  huffman_update_from(moving);
}

// The high part's code (3..8 bits) and the 6 low bits go out as one piece.
void encode_position(uint32_t offset) {
  uint32_t high = offset >> 6;
  int32_t length = POSITION_CODE_LENGTH[high];
  write_bits(length + 6, (static_cast<uint32_t>(POSITION_CODE[high]) << 8) | ((offset & 0x3F) << (10 - length)));
}

// ---- Encode loop ----------------------------------------------------------

// Input bytes come straight from the driver's buffer. The heartbeat count of
// the bytes taken so is settled before each refill and at the end, which
// gives the same count as stream_get_byte: every byte but the first of each
// refill.
struct Input {
  int32_t counted_to;  // read_position up to which bytes are counted
};

namespace {

void settle_count(Input &in) {
  stream_count_operations(stream_state.read_position - in.counted_to);
  in.counted_to = stream_state.read_position;
}

inline int32_t take_byte(Input &in) {
  StreamState &st = stream_state;
  if (__builtin_expect(st.read_position < st.read_end, 1)) return transfer_buffer[st.read_position++];
  settle_count(in);
  int32_t byte = stream_refill_byte();
  in.counted_to = st.read_position;
  return byte;
}

// Inserts a position the window has advanced to; the match for it is wanted
// only at the end of an item.
inline void insert_position(int32_t r, bool item_end) {
  if (item_end)
    dictionary_insert<true>(r);
  else
    dictionary_insert<false>(r);
}

}  // namespace

void lzhuf_encode(void) {
  LzhufDictionary &d = lzhuf_dictionary;
  if (stream_write_size() == 0) return;
  Input in = {stream_state.read_position};
  huffman_init();
  dictionary_init();
  int32_t s = 0;
  int32_t r = FIRST_POSITION;
  for (int32_t i = 0; i < r; i++) window[i] = ' ';
  int32_t lookahead = 0;
  while (lookahead < LOOKAHEAD_SIZE) {
    int32_t byte = take_byte(in);
    if (byte < 0) break;
    window[r + lookahead] = static_cast<uint8_t>(byte);
    lookahead++;
  }
  for (int32_t i = 1; i <= LOOKAHEAD_SIZE; i++) dictionary_insert<false>(r - i);
  dictionary_insert<true>(r);
  while (lookahead > 0) {
    if (d.best_match_length > lookahead) d.best_match_length = static_cast<int16_t>(lookahead);
    if (d.best_match_length <= MATCH_THRESHOLD) {
      d.best_match_length = 1;
      encode_symbol(window[r]);
    } else {
      encode_symbol(d.best_match_length + MATCH_SYMBOL_BASE);
      encode_position(d.best_match_offset);
    }
    int32_t advance = d.best_match_length;
    int32_t done = 0;
    while (done < advance) {
      if (can_pair(s, r, advance - done)) {
        const uint8_t *bytes = transfer_buffer + stream_state.read_position;
        stream_state.read_position += 2;
        int32_t r0 = (r + 1) & WINDOW_MASK;
        for (int32_t i = 0; i < 2; i++) {
          dictionary_delete(s);
          window[s] = bytes[i];
          if (s < WINDOW_MIRROR) window[s + WINDOW_SIZE] = bytes[i];
          s = (s + 1) & WINDOW_MASK;
        }
        r = (r + 2) & WINDOW_MASK;
        done += 2;
        if (done == advance)
          dictionary_insert_pair<true>(r0, r);
        else
          dictionary_insert_pair<false>(r0, r);
        continue;
      }
      int32_t byte = take_byte(in);
      if (byte < 0) break;
      dictionary_delete(s);
      window[s] = static_cast<uint8_t>(byte);
      if (s < WINDOW_MIRROR) window[s + WINDOW_SIZE] = static_cast<uint8_t>(byte);
      s = (s + 1) & WINDOW_MASK;
      r = (r + 1) & WINDOW_MASK;
      done++;
      insert_position(r, done == advance);
    }
    while (done < advance) {
      dictionary_delete(s);
      s = (s + 1) & WINDOW_MASK;
      r = (r + 1) & WINDOW_MASK;
      lookahead--;
      done++;
      if (lookahead > 0) insert_position(r, done == advance);
    }
  }
  settle_count(in);
  flush_bits();
}
