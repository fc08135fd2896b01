// LZHUF encoder and its match dictionary.
#include <stddef.h>
#include <string.h>

#include "codec/common/huffman.h"
#include "codec/common/lzhuf.h"
#include "codec/common/position_tables.h"
#include "codec/common/stream_bytes.h"
#include "codec/encode/lzhuf_encoder.h"

uint8_t window[WINDOW_SIZE + WINDOW_MIRROR];
LzhufDictionary lzhuf_dictionary;

// ---- Dictionary -----------------------------------------------------------

namespace {

void dictionary_init(void) {
  LzhufDictionary &d = lzhuf_dictionary;
  for (int32_t i = TREE_ROOTS; i < TREE_ROOTS + 256; i++) d.tree_right[i] = TREE_NIL;
  for (int32_t i = 0; i < WINDOW_SIZE; i++) d.tree_parent[i] = TREE_NIL;
}

// ---- String comparison ------------------------------------------------------
// Strings are compared 8 bytes at a time as big-endian numbers ("order
// words"): they order like the strings they hold, and their leading zero bits
// after an exclusive or count the bytes that agree. The loads stay inside the
// window and its mirror for any position 0..4096. Every compiler that builds
// the tools (GCC, Clang, mingw-w64) targets little-endian machines here.
#if !defined(__GNUC__) || __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the encoder's word comparison needs a little-endian GCC-compatible compiler"
#endif

inline uint64_t load_word(const uint8_t *p) {
  uint64_t word;
  memcpy(&word, p, 8);
  return word;
}

inline uint64_t load_order_word(const uint8_t *p) { return __builtin_bswap64(load_word(p)); }

// Bytes the two different order words share at their start, 0..7.
inline int32_t equal_leading_bytes(uint64_t x, uint64_t y) { return __builtin_clzll(x ^ y) >> 3; }

// Index (from `from` up to 59) of the first byte where the strings at a and
// b differ, 60 when they agree up to byte 59. *greater is 1 when a's string
// orders after b's or equals it, else 0. Words are compared as they lie in
// memory and put in order only where they differ.
int32_t compare_from(const uint8_t *a, const uint8_t *b, int32_t from, int32_t *greater) {
  for (int32_t i = from; i < LOOKAHEAD_SIZE; i += 8) {
    // The last word is the one ending at byte 59; bytes it re-reads agree.
    int32_t at = i < LOOKAHEAD_SIZE - 8 ? i : LOOKAHEAD_SIZE - 8;
    uint64_t x = load_word(a + at), y = load_word(b + at);
    if (x != y) {
      x = __builtin_bswap64(x);
      y = __builtin_bswap64(y);
      *greater = x > y;
      return at + equal_leading_bytes(x, y);
    }
  }
  *greater = 1;
  return LOOKAHEAD_SIZE;
}

// ---- Insert and search -------------------------------------------------------

// The search follows the tree's one path to r's place. The longest match on
// it wins, the nearest of equally long ones: as one score, length above
// nearness, kept by a running maximum. Length in the high bits, nearness
// (4096 - distance, from 1 for the farthest to 4095 for the nearest) in the
// low 12 bits.
inline int32_t match_score(int32_t length, int32_t r, int32_t p) { return (length << 12) | ((p - r) & WINDOW_MASK); }

inline void keep_better(int32_t *best, int32_t length, int32_t r, int32_t p) {
  int32_t score = match_score(length, r, p);
  *best = score > *best ? score : *best;
}

inline void attach_leaf(int32_t p, int32_t r, bool right_side) {
  LzhufDictionary &d = lzhuf_dictionary;
  uint16_t *links = right_side ? d.tree_right : d.tree_left;
  links[p] = static_cast<uint16_t>(r);
  d.tree_parent[r] = static_cast<uint16_t>(p);
}

// Same 60-byte string: r takes p's place and p leaves the tree.
void replace_node(int32_t p, int32_t r) {
  LzhufDictionary &d = lzhuf_dictionary;
  d.tree_parent[r] = d.tree_parent[p];
  d.tree_left[r] = d.tree_left[p];
  d.tree_right[r] = d.tree_right[p];
  d.tree_parent[d.tree_left[p]] = static_cast<uint16_t>(r);
  d.tree_parent[d.tree_right[p]] = static_cast<uint16_t>(r);
  if (d.tree_right[d.tree_parent[p]] == p)
    d.tree_right[d.tree_parent[p]] = static_cast<uint16_t>(r);
  else
    d.tree_left[d.tree_parent[p]] = static_cast<uint16_t>(r);
  d.tree_parent[p] = TREE_NIL;
}

// A hot path written out on purpose (only the rare replacement is a call).
// Each step compares the order words of bytes 1..8, kept per node since its
// insert (a node's bytes do not change while it is in a tree), and goes on
// to the child on the key's side; only when those 8 bytes agree does it
// compare the rest of the strings. FIND_MATCH: also leave the best match in
// best_match_length/_offset. The coder reads it only after the last
// position of an item; the positions a match skips over are inserted
// without it.
template <bool FIND_MATCH>
inline void dictionary_insert(int32_t r) {
  LzhufDictionary &d = lzhuf_dictionary;
  const uint8_t *key = window + r;
  const uint64_t key_order = load_order_word(key + 1);
  d.order_word[r] = key_order;
  d.tree_left[r] = d.tree_right[r] = TREE_NIL;
  int32_t p = TREE_ROOTS + window[r];
  if (d.tree_right[p] == TREE_NIL) {  // empty tree: r becomes its top node
    attach_leaf(p, r, true);
    if (FIND_MATCH) d.best_match_length = 0;
    return;
  }
  size_t node = d.tree_right[p];
  int32_t best = (MATCH_THRESHOLD << 12) | (WINDOW_SIZE - 1);  // a match must beat this
  bool full_match = false;
  // Only a node that shares bytes 1 and 2 can make a match of 3 or more, so
  // only such a node is scored: below the key, one from shares_low up;
  // above it, one up to shares_high.
  const uint64_t shares_low = key_order & 0xFFFF000000000000u;
  const uint64_t shares_high = key_order | 0x0000FFFFFFFFFFFFu;
  // One compare decides the step in the common case, where bytes 1..8
  // differ. The three cases are written out, in this order (below, equal,
  // above), which lets GCC branch on the flags of that one compare; a step
  // that first settles the side and then picks the link costs more.
  for (;;) {
    uint64_t node_order = d.order_word[node];
    bool right_side;
    if (node_order < key_order) {
      if (FIND_MATCH && node_order >= shares_low)
        keep_better(&best, 1 + equal_leading_bytes(key_order, node_order), r, static_cast<int32_t>(node));
      size_t next = d.tree_right[node];
      if (next != TREE_NIL) {
        node = next;
        continue;
      }
      right_side = true;
    } else if (node_order == key_order) {
      int32_t greater;
      // The node's string addressed from the key's, so that both loads of a
      // word share one base register.
      int32_t length = compare_from(key, key + (static_cast<ptrdiff_t>(node) - r), 9, &greater);
      if (FIND_MATCH) keep_better(&best, length, r, static_cast<int32_t>(node));
      if (length >= LOOKAHEAD_SIZE) {
        full_match = true;
        break;
      }
      size_t next = greater ? d.tree_right[node] : d.tree_left[node];
      if (next != TREE_NIL) {
        node = next;
        continue;
      }
      right_side = greater;
    } else {
      if (FIND_MATCH && node_order <= shares_high)
        keep_better(&best, 1 + equal_leading_bytes(key_order, node_order), r, static_cast<int32_t>(node));
      size_t next = d.tree_left[node];
      if (next != TREE_NIL) {
        node = next;
        continue;
      }
      right_side = false;
    }
    attach_leaf(static_cast<int32_t>(node), r, right_side);
    break;
  }
  if (FIND_MATCH) {
    int32_t best_length = best >> 12;
    d.best_match_length = static_cast<int16_t>(best_length > MATCH_THRESHOLD ? best_length : 0);
    d.best_match_offset = static_cast<uint16_t>(WINDOW_SIZE - (best & 0xFFF) - 1);
  }
  if (full_match) replace_node(static_cast<int32_t>(node), r);
}

// The node's replacement: its only child, or, with two children, the
// rightmost node of its left subtree. Which case applies is data-dependent,
// so the common choices are made by selection rather than by branches.
inline void dictionary_delete(int32_t p) {
  LzhufDictionary &d = lzhuf_dictionary;
  int32_t parent = d.tree_parent[p];
  if (parent == TREE_NIL) return;
  int32_t left = d.tree_left[p];
  int32_t right = d.tree_right[p];
  int32_t q;
  if (((left | right) & TREE_NIL) == 0) {  // two children
    q = left;
    int32_t next = d.tree_right[q];
    if (next != TREE_NIL) {
      do {
        q = next;
        next = d.tree_right[q];
      } while (next != TREE_NIL);
      int32_t q_parent = d.tree_parent[q];
      int32_t q_left = d.tree_left[q];
      d.tree_right[q_parent] = static_cast<uint16_t>(q_left);
      d.tree_parent[q_left] = static_cast<uint16_t>(q_parent);
      d.tree_left[q] = static_cast<uint16_t>(left);
      d.tree_parent[left] = static_cast<uint16_t>(q);
    }
    d.tree_right[q] = static_cast<uint16_t>(right);
    d.tree_parent[right] = static_cast<uint16_t>(q);
  } else {
    q = left ^ right ^ TREE_NIL;  // the one child, or TREE_NIL for a leaf
  }
  d.tree_parent[q] = static_cast<uint16_t>(parent);
  uint16_t *links = d.tree_right[parent] == p ? d.tree_right : d.tree_left;
  links[parent] = static_cast<uint16_t>(q);
  d.tree_parent[p] = TREE_NIL;
}

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
