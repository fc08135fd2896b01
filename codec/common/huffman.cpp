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
  m.weight[NODE_COUNT] = 0xFFFF;
  m.parent[ROOT_NODE] = 0;
}

// Halves every leaf weight (rounding up) and rebuilds the internal nodes by
// insertion, so the order by weight holds again with the root near 16K.
void huffman_rebuild(void) {
  HuffmanModel &m = huffman_model;
  int32_t j = 0;
  for (int32_t i = 0; i < NODE_COUNT; i++) {
    if (m.child[i] >= NODE_COUNT) {
      m.weight[j] = static_cast<uint16_t>((m.weight[i] + 1) / 2);
      m.child[j] = m.child[i];
      j++;
    }
  }
  for (int32_t i = 0, j2 = SYMBOL_COUNT; j2 < NODE_COUNT; i += 2, j2++) {
    uint32_t f = static_cast<uint32_t>(m.weight[i]) + m.weight[i + 1];
    // The new node goes above every node that weighs no more: the heavier
    // ones move up one place as the scan down passes them. Positions below
    // j2 are in weight order, and i + 1 weighs less than f, so the scan
    // stops above it.
    int32_t k = j2;
    for (; m.weight[k - 1] > f; k--) {
      m.weight[k] = m.weight[k - 1];
      m.child[k] = m.child[k - 1];
    }
    m.weight[k] = static_cast<uint16_t>(f);
    m.child[k] = static_cast<uint16_t>(i);
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
