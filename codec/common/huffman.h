// Adaptive Huffman code over the 314 symbols of the LZHUF coder.
//
// Symbols 0..255 are literal bytes, 256..313 match lengths 3..60. The tree
// lives in one node array ordered by weight; both directions start each
// stream with huffman_init and call huffman_update once per symbol, after the
// symbol was coded with the tree as it stood, so encoder and decoder always
// hold identical trees.
//
// Node array layout (positions 0..626, root at 626):
//   weight[x]   node weight, non-decreasing by position; weight[627..630] =
//               0xFFFF are sentinels that end upward scans
//   child[x]    >= NODE_COUNT: a leaf for symbol child[x] - NODE_COUNT;
//               otherwise an internal node whose children sit at child[x]
//               (bit 0) and child[x] + 1 (bit 1)
//   parent[x]   for x < 627 the parent position (0 for the root);
//               parent[NODE_COUNT + s] is the position of symbol s's leaf
// The root never moves and its children are the two heaviest nodes below
// it: child[ROOT_NODE] is always ROOT_NODE - 2.
// A code is the path from the root to a leaf, root end first; a node at an
// odd position is reached by bit 1.
#pragma once
#include <stddef.h>
#include <stdint.h>

enum : int32_t {
  SYMBOL_COUNT = 314,
  NODE_COUNT = 2 * SYMBOL_COUNT - 1,  // 627
  ROOT_NODE = NODE_COUNT - 1,         // 626
  REBUILD_LIMIT = 0x8000,
  SENTINELS = 4,
};

struct HuffmanModel {
  uint16_t weight[NODE_COUNT + SENTINELS];
  uint16_t child[NODE_COUNT];
  uint16_t parent[NODE_COUNT + SYMBOL_COUNT];
};

extern HuffmanModel huffman_model;

// Resets the model to the initial tree: every symbol weighs 1, symbols
// 0..115 get 9-bit codes and 116..313 8-bit codes.
void huffman_init(void);

// Counts one occurrence of symbol (0..313) and restores the weight order.
// When the root has reached REBUILD_LIMIT the tree is first rebuilt with all
// leaf weights halved (rounded up).
void huffman_update(int32_t symbol);

// The rebuild huffman_update does first at the limit, for coders that run
// the update inline (huffman_count_from).
void huffman_rebuild(void);

// The rest of an update whose lower part the coder has done itself: counts
// one occurrence at node position x and at each position above it, moving
// nodes that now outweigh their upper neighbour. Every position below x on
// the symbol's path must already be counted, none of them moved, and the
// root must be below REBUILD_LIMIT.
void huffman_update_from(size_t x);

// huffman_update_from inline, for the coders' hot loops (x is never the
// root). A node whose weight equals its upper neighbour's is about to
// outweigh it, and swaps with the highest node of that weight (weights are
// equal, so only the contents move). Weights are sorted, so the run is
// stepped over four at a time and then two and one: a node further up
// still has the weight only if all between have it too. A run never
// reaches the root (it outweighs every other node), so the looks ahead stay
// within the sentinels. The root itself never moves and is counted last.
inline void huffman_count_from(size_t x) {
  HuffmanModel &m = huffman_model;
  do {
    uint32_t w = m.weight[x];
    if (w == m.weight[x + 1]) {
      size_t y = x;
      while (m.weight[y + 4] == w) y += 4;
      if (m.weight[y + 2] == w) y += 2;
      if (m.weight[y + 1] == w) y++;
      size_t a = m.child[x];
      size_t b = m.child[y];
      m.child[y] = static_cast<uint16_t>(a);
      m.child[x] = static_cast<uint16_t>(b);
      m.parent[a] = static_cast<uint16_t>(y);
      if (a < NODE_COUNT) m.parent[a + 1] = static_cast<uint16_t>(y);
      m.parent[b] = static_cast<uint16_t>(x);
      if (b < NODE_COUNT) m.parent[b + 1] = static_cast<uint16_t>(x);
      x = y;
    }
    m.weight[x]++;  // weighed w, moved or not; no count reaches 0xFFFF, the sentinel's
    x = m.parent[x];
  } while (x != ROOT_NODE);
  m.weight[ROOT_NODE]++;
}
