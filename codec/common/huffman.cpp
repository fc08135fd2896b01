#include "codec/common/huffman.h"

HuffmanModel huffman_model;

void huffman_init(void) {
  HuffmanModel &m = huffman_model;
  for (int32_t s = 0; s < SYMBOL_COUNT; s++) {
    m.weight[s] = 1;
    m.child[s] = static_cast<uint16_t>(s + NODE_COUNT);
    m.parent[s + NODE_COUNT] = static_cast<uint16_t>(s);
  }
  for (int32_t i = 0, j = SYMBOL_COUNT; j < NODE_COUNT; i += 2, j++) {
    m.weight[j] = static_cast<uint16_t>(m.weight[i] + m.weight[i + 1]);
    m.child[j] = static_cast<uint16_t>(i);
    m.parent[i] = m.parent[i + 1] = static_cast<uint16_t>(j);
  }
  for (int32_t i = NODE_COUNT; i < NODE_COUNT + SENTINELS; i++) m.weight[i] = 0xFFFF;
  m.parent[ROOT_NODE] = 0;
}

// Halves every leaf weight (rounding up) and rebuilds the internal nodes,
// so the order by weight holds again with the root near 16K.
//
// The tree is built the classic way: the two lightest nodes left, at
// positions i and i + 1 of the growing array, get a parent that goes above
// every node that weighs no more. These sums never decrease, so the array
// is a merge of the leaves (in weight order) and the parents (in the order
// they are made), with a leaf first on equal weights; it is written here
// from position 0 up in one pass. The leaves wait at the top of the array
// (positions 313..626), where the merge overtakes them only at its end.
void huffman_rebuild(void) {
  HuffmanModel &m = huffman_model;
  int32_t leaf = NODE_COUNT;
  for (int32_t i = ROOT_NODE; i >= 0; i--) {
    if (m.child[i] >= NODE_COUNT) {
      leaf--;
      m.weight[leaf] = static_cast<uint16_t>((m.weight[i] + 1) / 2);
      m.child[leaf] = m.child[i];
    }
  }
  int32_t pair = 0;  // children of the next parent to place (its sum is read early)
  for (int32_t x = 0; x < NODE_COUNT; x++) {
    uint32_t sum = static_cast<uint32_t>(m.weight[pair]) + m.weight[pair + 1];
    if (pair + 2 <= x && sum < m.weight[leaf]) {  // past the last leaf, the sentinel
      m.weight[x] = static_cast<uint16_t>(sum);
      m.child[x] = static_cast<uint16_t>(pair);
      pair += 2;
    } else {
      m.weight[x] = m.weight[leaf];
      m.child[x] = m.child[leaf];
      leaf++;
    }
  }
  for (int32_t i = 0; i < NODE_COUNT; i++) {
    int32_t a = m.child[i];
    m.parent[a] = static_cast<uint16_t>(i);
    if (a < NODE_COUNT) m.parent[a + 1] = static_cast<uint16_t>(i);
  }
}

void huffman_update_from(size_t x) { huffman_count_from(x); }

void huffman_update(int32_t symbol) {
  if (huffman_model.weight[ROOT_NODE] == REBUILD_LIMIT) huffman_rebuild();
  huffman_update_from(huffman_model.parent[symbol + NODE_COUNT]);
}
