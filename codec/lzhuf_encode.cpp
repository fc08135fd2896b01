// LZHUF encoder and its match dictionary.
#include <string.h>

#include "codec/huffman.h"
#include "codec/lzhuf.h"
#include "codec/lzhuf_encoder.h"
#include "codec/position_tables.h"
#include "codec/stream_bytes.h"

LzhufDictionary lzhuf_dictionary;

// ---- Dictionary -----------------------------------------------------------

static void dictionary_init(void) {
  LzhufDictionary &d = lzhuf_dictionary;
  for (int32_t i = TREE_ROOTS; i < TREE_ROOTS + 256; i++) d.tree_right[i] = TREE_NIL;
  for (int32_t i = 0; i < WINDOW_SIZE; i++) d.tree_parent[i] = TREE_NIL;
}

// ---- String comparison ------------------------------------------------------
// The first 8 bytes after byte 0 are compared as one word: read as
// big-endian numbers, words order like the strings they hold, and the lowest
// differing byte (little-endian) is the first differing one. The loads stay
// inside the window and its mirror for any position 0..4096.

static inline uint64_t load_word(const uint8_t *p) {
  uint64_t word;
  memcpy(&word, p, 8);
  return word;
}

#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
#define WORD_COMPARE 1
// Index of the lowest set bit of a non-zero value; without the 64-bit
// builtin on 32-bit targets, which would need a helper library.
static inline int32_t lowest_set_bit(uint64_t value) {
#if UINTPTR_MAX > 0xFFFFFFFFu
  return __builtin_ctzll(value);
#else
  uint32_t low = (uint32_t)value;
  return low ? __builtin_ctz(low) : 32 + __builtin_ctz((uint32_t)(value >> 32));
#endif
}
#else
#define WORD_COMPARE 0
#endif

// Index (from `from` up to 59) of the first byte where the strings at a and
// b differ, 60 when they agree up to byte 59. *greater is 1 when a's string
// orders after b's or equals it, else 0.
static int32_t compare_from(const uint8_t *a, const uint8_t *b, int32_t from, int32_t *greater) {
  int32_t i = from;
#if WORD_COMPARE
  for (; i + 8 <= LOOKAHEAD_SIZE - 3; i += 8) {
    uint64_t x = load_word(a + i), y = load_word(b + i);
    if (x != y) {
      *greater = __builtin_bswap64(x) > __builtin_bswap64(y);
      return i + (lowest_set_bit(x ^ y) >> 3);
    }
  }
#endif
  for (; i < LOOKAHEAD_SIZE; i++) {
    if (a[i] != b[i]) {
      *greater = a[i] > b[i];
      return i;
    }
  }
  *greater = 1;
  return i;
}

// ---- Insert and search -------------------------------------------------------

// The search follows the tree's one path to r's place. The longest match on
// it wins, the nearest of equally long ones: as one score, length above
// nearness, kept by a running maximum. The score and the step left or right
// are computed without branches, since neither is predictable. Each step
// also loads the first word of both children's strings, so the next
// comparison does not wait for a load that depends on this one (child links
// are positions or TREE_NIL, so the loads stay within the window's mirror).
// Length in the high bits, nearness (4096 - distance, from 1 for the farthest
// to 4095 for the nearest) in the low 12 bits.
static inline int32_t match_score(int32_t length, int32_t r, int32_t p) {
  return (length << 12) | ((p - r) & WINDOW_MASK);
}

static inline void dictionary_insert(int32_t r) {
  LzhufDictionary &d = lzhuf_dictionary;
  const uint8_t *key = window + r;
  d.tree_left[r] = d.tree_right[r] = TREE_NIL;
  int32_t p = TREE_ROOTS + window[r];
  if (d.tree_right[p] == TREE_NIL) {  // empty tree: r becomes its top node
    d.tree_right[p] = (uint16_t)r;
    d.tree_parent[r] = (uint16_t)p;
    d.best_match_length = 0;
    return;
  }
  p = d.tree_right[p];
  int32_t best = (MATCH_THRESHOLD << 12) | (WINDOW_SIZE - 1);  // a match must beat this
  bool full_match = false;
#if WORD_COMPARE
  const uint64_t key_word = load_word(key + 1);
  const uint64_t key_order = __builtin_bswap64(key_word);
  uint64_t node_word = load_word(window + p + 1);
#endif
  for (;;) {
    int32_t left = d.tree_left[p];
    int32_t right = d.tree_right[p];
    int32_t greater;
    int32_t i;
#if WORD_COMPARE
    uint64_t left_word = load_word(window + left + 1);
    uint64_t right_word = load_word(window + right + 1);
    uint64_t diff = key_word ^ node_word;
    if (diff != 0) {
      greater = key_order > __builtin_bswap64(node_word);
      i = 1 + (lowest_set_bit(diff) >> 3);
    } else {
      i = compare_from(key, window + p, 9, &greater);
    }
#else
    i = compare_from(key, window + p, 1, &greater);
#endif
    int32_t score = match_score(i, r, p);
    best = score > best ? score : best;
    if (i >= LOOKAHEAD_SIZE) {
      full_match = true;
      break;
    }
    int32_t mask = -greater;
    int32_t next = left ^ ((left ^ right) & mask);
    if (next == TREE_NIL) {
      uint16_t *links = greater ? d.tree_right : d.tree_left;
      links[p] = (uint16_t)r;
      d.tree_parent[r] = (uint16_t)p;
      break;
    }
    p = next;
#if WORD_COMPARE
    node_word = left_word ^ ((left_word ^ right_word) & (uint64_t)(int64_t)mask);
#endif
  }
  int32_t best_length = best >> 12;
  d.best_match_length = (int16_t)(best_length > MATCH_THRESHOLD ? best_length : 0);
  d.best_match_offset = (uint16_t)(WINDOW_SIZE - (best & 0xFFF) - 1);
  if (!full_match) return;
  // Same 60-byte string: r takes p's place and p leaves the tree.
  d.tree_parent[r] = d.tree_parent[p];
  d.tree_left[r] = d.tree_left[p];
  d.tree_right[r] = d.tree_right[p];
  d.tree_parent[d.tree_left[p]] = (uint16_t)r;
  d.tree_parent[d.tree_right[p]] = (uint16_t)r;
  if (d.tree_right[d.tree_parent[p]] == p)
    d.tree_right[d.tree_parent[p]] = (uint16_t)r;
  else
    d.tree_left[d.tree_parent[p]] = (uint16_t)r;
  d.tree_parent[p] = TREE_NIL;
}

// The node's replacement: its only child, or, with two children, the
// rightmost node of its left subtree. Which case applies is data-dependent,
// so the common choices are made by selection rather than by branches.
static inline void dictionary_delete(int32_t p) {
  LzhufDictionary &d = lzhuf_dictionary;
  int32_t parent = d.tree_parent[p];
  if (parent == TREE_NIL) return;
  int32_t left = d.tree_left[p];
  int32_t right = d.tree_right[p];
  int32_t q;
  if (left != TREE_NIL && right != TREE_NIL) {
    q = left;
    if (d.tree_right[q] != TREE_NIL) {
      do q = d.tree_right[q]; while (d.tree_right[q] != TREE_NIL);
      d.tree_right[d.tree_parent[q]] = d.tree_left[q];
      d.tree_parent[d.tree_left[q]] = d.tree_parent[q];
      d.tree_left[q] = (uint16_t)left;
      d.tree_parent[left] = (uint16_t)q;
    }
    d.tree_right[q] = (uint16_t)right;
    d.tree_parent[right] = (uint16_t)q;
  } else {
    q = right == TREE_NIL ? left : right;
  }
  d.tree_parent[q] = (uint16_t)parent;
  uint16_t *links = d.tree_right[parent] == p ? d.tree_right : d.tree_left;
  links[parent] = (uint16_t)q;
  d.tree_parent[p] = TREE_NIL;
}

// ---- Bit writer -----------------------------------------------------------
// out_bit_buffer holds out_bit_count (0..15 between calls) pending bits from
// bit 31 down; whole 16-bit pieces go out as two bytes, which emits the same
// byte sequence as writing each byte as soon as it is complete.

// Appends the top n bits (1..16) of a 16-bit code.
static inline void write_bits(int32_t n, uint32_t code) {
  StreamState &s = stream_state;
  s.out_bit_buffer |= (code << 16) >> s.out_bit_count;
  s.out_bit_count += n;
  if (s.out_bit_count >= 16) {
    stream_put_byte((int32_t)(s.out_bit_buffer >> 24));
    stream_put_byte((int32_t)((s.out_bit_buffer >> 16) & 0xFF));
    s.out_bit_buffer <<= 16;
    s.out_bit_count -= 16;
  }
}

void flush_bits(void) {
  StreamState &s = stream_state;
  while (s.out_bit_count > 0) {
    stream_put_byte((int32_t)(s.out_bit_buffer >> 24));
    s.out_bit_buffer <<= 8;
    s.out_bit_count -= 8;
  }
  s.out_bit_count = 0;
}

// ---- Items ----------------------------------------------------------------

// Codes can be deeper than 16 levels with skewed counts; the path is then
// written in two pieces, root end first.
void encode_symbol(int32_t symbol) {
  enum : int32_t { PATH_SLOTS = 32 };
  uint16_t path[PATH_SLOTS];
  const uint16_t *parent = huffman_model.parent;
  uint32_t code = 0;
  int32_t n = 0;
  int32_t k = parent[symbol + NODE_COUNT];
  do {
    code |= (uint32_t)(k & 1) << n;  // the bit nearest the leaf ends lowest
    if (n < PATH_SLOTS) path[n] = (uint16_t)k;
    n++;
    k = parent[k];
  } while (k != ROOT_NODE);
  if (n > 16) {  // at most 22 levels, so the 32-bit code holds it
    write_bits(16, (code >> (n - 16)) & 0xFFFF);
    write_bits(n - 16, (code << (32 - n)) & 0xFFFF);
  } else {
    write_bits(n, code << (16 - n));
  }
  if (n <= PATH_SLOTS)
    huffman_update_path(symbol, path, n);
  else
    huffman_update(symbol);
}

void encode_position(uint32_t offset) {
  uint32_t high = offset >> 6;
  write_bits(POSITION_CODE_LENGTH[high], (uint32_t)POSITION_CODE[high] << 8);
  write_bits(6, (offset & 0x3F) << 10);
}

// ---- Encode loop ----------------------------------------------------------

void lzhuf_encode(void) {
  LzhufDictionary &d = lzhuf_dictionary;
  if (stream_write_size() == 0) return;
  huffman_init();
  dictionary_init();
  int32_t s = 0;
  int32_t r = FIRST_POSITION;
  for (int32_t i = 0; i < r; i++) window[i] = ' ';
  int32_t lookahead = 0;
  while (lookahead < LOOKAHEAD_SIZE) {
    int32_t byte = stream_get_byte();
    if (byte < 0) break;
    window[r + lookahead] = (uint8_t)byte;
    lookahead++;
  }
  for (int32_t i = 1; i <= LOOKAHEAD_SIZE; i++) dictionary_insert(r - i);
  dictionary_insert(r);
  while (lookahead > 0) {
    if (d.best_match_length > lookahead) d.best_match_length = (int16_t)lookahead;
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
      int32_t byte = stream_get_byte();
      if (byte < 0) break;
      dictionary_delete(s);
      window[s] = (uint8_t)byte;
      if (s < WINDOW_MIRROR) window[s + WINDOW_SIZE] = (uint8_t)byte;
      s = (s + 1) & WINDOW_MASK;
      r = (r + 1) & WINDOW_MASK;
      dictionary_insert(r);
      done++;
    }
    while (done < advance) {
      dictionary_delete(s);
      s = (s + 1) & WINDOW_MASK;
      r = (r + 1) & WINDOW_MASK;
      lookahead--;
      if (lookahead > 0) dictionary_insert(r);
      done++;
    }
  }
  flush_bits();
}
