// Parts of the LZHUF encoder, internal to it and exposed for its tests.
//
// The match finder, LzhufDictionary: 256 binary search trees over window
// positions, one per first byte, ordered by the 60-byte string at each
// position (bytes compared unsigned).
//
//   tree_left[0..4095], tree_right[0..4095], tree_parent[0..4095]
//                        links of the node at each window position
//   index TREE_NIL (4096) a scratch slot; relinking may write it
//   tree_right[TREE_ROOTS + c]  top node of the tree for first byte c
//   tree_parent[p] == TREE_NIL  position p is in no tree
#pragma once
#include <stdint.h>

#include "codec/common/lzhuf.h"

enum : int32_t {
  TREE_NIL = WINDOW_SIZE,        // 4096: no node
  TREE_ROOTS = WINDOW_SIZE + 1,  // 4097..4352: tree roots by first byte
};

struct LzhufDictionary {
  uint16_t tree_left[WINDOW_SIZE + 1];
  uint16_t tree_right[WINDOW_SIZE + 1 + 256];
  uint16_t tree_parent[WINDOW_SIZE + 1];
  // Bytes 1..8 of the string at each position in a tree, as a big-endian
  // number (set when the position is inserted).
  uint64_t order_word[WINDOW_SIZE];
  int16_t best_match_length;   // 0 (nothing over 2 bytes) or 3..60
  uint16_t best_match_offset;  // distance of the best match minus one
};

extern LzhufDictionary lzhuf_dictionary;

// The dictionary's operations (lzhuf_dictionary.h, inlined into the encode
// loop): dictionary_init empties all trees; dictionary_insert(r) inserts
// window position r, replacing a node with the same 60-byte string, and
// (when the coder will read it) leaves the longest match on its search path,
// the nearest among equally long ones, in best_match_length/_offset;
// dictionary_delete(p) removes position p and does nothing when p is in no
// tree.

// Item coding over the driver's byte sink (the driver must be set up for an
// encode). encode_symbol writes the symbol's code with the current tree (a
// path of any depth) and then updates the model; encode_position writes a
// match offset 0..4095; flush_bits pads the last pending bits to a byte.
void encode_symbol(int32_t symbol);
void encode_position(uint32_t offset);
void flush_bits(void);

// Plans compress_stream_best tries per span (lzhuf_best.cpp), keeping the one
// that codes smallest: 1 in the tools; the benchmark's estimate of how far
// the format goes ("kestrune-max") sets more.
extern int32_t best_plan_rounds;
