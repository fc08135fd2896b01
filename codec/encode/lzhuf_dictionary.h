// The encoder's match dictionary (LzhufDictionary, lzhuf_encoder.h): the
// string comparison, inserts one at a time or two side by side, and
// deletes. Inline, for lzhuf_encode.cpp's loop, which alone includes it.
#pragma once
#include <stddef.h>
#include <string.h>

#include "codec/common/lzhuf.h"
#include "codec/common/stream.h"
#include "codec/encode/lzhuf_encoder.h"

// ---- Dictionary -----------------------------------------------------------

inline void dictionary_init(void) {
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
inline int32_t compare_from(const uint8_t *a, const uint8_t *b, int32_t from, int32_t *greater) {
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
inline void replace_node(int32_t p, int32_t r) {
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

// Two positions' inserts walked side by side, for the positions a match
// skips over: each walk is a chain of dependent loads, and two chains
// overlap. The steps pick the child by arithmetic, so that neither walk's
// mispredicted side throws away the other's work. Both walks leave the tree
// as it is (a node with the same 60 bytes is noted in `equal`); the first
// insert then goes in, and the second where its walk would have gone with
// the first already in: on from the first's place if it reached it, and to
// the first wherever it met the node the first replaced.
struct Walk {
  const uint8_t *key;
  uint64_t key_order;
  int32_t r;
  int32_t best;  // the match score, for a walk that scores
  size_t equal;  // a node with the same 60 bytes, or TREE_NIL
  size_t node, next, side;
};

inline void walk_start(Walk &w, int32_t r) {
  LzhufDictionary &d = lzhuf_dictionary;
  w.r = r;
  w.key = window + r;
  w.key_order = load_order_word(w.key + 1);
  w.equal = TREE_NIL;
  w.best = (MATCH_THRESHOLD << 12) | (WINDOW_SIZE - 1);
  d.order_word[r] = w.key_order;
  d.tree_left[r] = d.tree_right[r] = TREE_NIL;
  w.node = static_cast<size_t>(TREE_ROOTS + window[r]);
  w.side = 1;
  w.next = d.tree_right[w.node];
}

// SCORE: every node on the path is scored (one that shares fewer than bytes
// 1 and 2 scores below a 3-byte match and never wins).
template <bool SCORE>
inline void walk_step(Walk &w) {
  LzhufDictionary &d = lzhuf_dictionary;
  size_t node = w.next;
  uint64_t node_order = d.order_word[node];
  size_t left = d.tree_left[node], right = d.tree_right[node];
  size_t side;
  if (__builtin_expect(node_order != w.key_order, 1)) {
    if (SCORE) keep_better(&w.best, 1 + equal_leading_bytes(w.key_order, node_order), w.r, static_cast<int32_t>(node));
    side = node_order < w.key_order;
  } else {
    int32_t greater;
    int32_t length = compare_from(w.key, w.key + (static_cast<ptrdiff_t>(node) - w.r), 9, &greater);
    if (SCORE) keep_better(&w.best, length, w.r, static_cast<int32_t>(node));
    if (length >= LOOKAHEAD_SIZE) {
      w.equal = node;
      w.next = TREE_NIL;
      return;
    }
    side = static_cast<size_t>(greater);
  }
  w.node = node;
  w.side = side;
  w.next = left ^ ((left ^ right) & (0 - side));
}

// FIND_MATCH: the second insert is the item's last and leaves the best
// match, as dictionary_insert<true> does; it must then lie in another tree
// than the first (which its path would have scored).
template <bool FIND_MATCH>
inline void dictionary_insert_pair(int32_t r0, int32_t r1) {
  Walk a, b;
  walk_start(a, r0);
  walk_start(b, r1);
  while (a.next != TREE_NIL && b.next != TREE_NIL) {
    walk_step<false>(a);
    walk_step<FIND_MATCH>(b);
  }
  while (a.next != TREE_NIL) walk_step<false>(a);
  while (b.next != TREE_NIL) walk_step<FIND_MATCH>(b);
  if (a.equal != TREE_NIL)
    replace_node(static_cast<int32_t>(a.equal), r0);
  else
    attach_leaf(static_cast<int32_t>(a.node), r0, a.side != 0);
  if (a.equal != TREE_NIL) {
    if (b.equal == a.equal) b.equal = static_cast<size_t>(r0);
    if (b.node == a.equal) b.node = static_cast<size_t>(r0);
  } else if (b.equal == TREE_NIL && b.node == a.node && b.side == a.side) {
    int32_t greater;  // same tree: the first bytes agree
    if (compare_from(b.key, a.key, 1, &greater) >= LOOKAHEAD_SIZE) {
      b.equal = static_cast<size_t>(r0);
    } else {
      b.node = static_cast<size_t>(r0);
      b.side = static_cast<size_t>(greater);
    }
  }
  if (b.equal != TREE_NIL)
    replace_node(static_cast<int32_t>(b.equal), r1);
  else
    attach_leaf(static_cast<int32_t>(b.node), r1, b.side != 0);
  if (FIND_MATCH) {
    LzhufDictionary &d = lzhuf_dictionary;
    int32_t best_length = b.best >> 12;
    d.best_match_length = static_cast<int16_t>(best_length > MATCH_THRESHOLD ? best_length : 0);
    d.best_match_offset = static_cast<uint16_t>(WINDOW_SIZE - (b.best & 0xFFF) - 1);
  }
}

// Whether the next two positions of an item (`left` of them) can be walked
// side by side: their input bytes are in the buffer, the second position's
// delete, which moves ahead of the first insert, does not touch that
// insert's tree, and when the second is the item's last, the two lie in
// different trees.
inline bool can_pair(int32_t s, int32_t r, int32_t left) {
  const StreamState &st = stream_state;
  int32_t s1 = (s + 1) & WINDOW_MASK;
  uint8_t first = window[(r + 1) & WINDOW_MASK];
  return left >= 2 && st.read_end - st.read_position >= 2 && (left > 2 || first != window[(r + 2) & WINDOW_MASK]) &&
         (lzhuf_dictionary.tree_parent[s1] == TREE_NIL || window[s1] != first);
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
