// Adaptive Huffman model: initial codes, the move of a node on update, the
// rebuild at the weight limit, the tree invariants under random use, and
// the same arrays as a plainly written model.
#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <random>
#include <string>

#include "codec/common/huffman.h"

namespace {

std::string code_of(int symbol) {
  std::string code;
  for (int k = huffman_model.parent[NODE_COUNT + symbol]; k != ROOT_NODE; k = huffman_model.parent[k])
    code.insert(code.begin(), (k & 1) ? '1' : '0');
  return code;
}

void expect_invariants() {
  const HuffmanModel &m = huffman_model;
  ASSERT_EQ(m.weight[NODE_COUNT], 0xFFFF);
  ASSERT_LE(m.weight[ROOT_NODE], REBUILD_LIMIT);
  int leaves = 0;
  uint32_t leaf_sum = 0;
  for (int x = 0; x < NODE_COUNT; x++) {
    if (x < ROOT_NODE) {
      ASSERT_LE(m.weight[x], m.weight[x + 1]) << x;
    }
    int c = m.child[x];
    if (c >= NODE_COUNT) {
      leaves++;
      leaf_sum += m.weight[x];
      ASSERT_GE(m.weight[x], 1);
      ASSERT_EQ(m.parent[c], x);
    } else {
      ASSERT_EQ(c % 2, 0) << x;
      ASSERT_EQ(m.weight[x], m.weight[c] + m.weight[c + 1]) << x;
      ASSERT_EQ(m.parent[c], x);
      ASSERT_EQ(m.parent[c + 1], x);
    }
  }
  ASSERT_EQ(leaves, SYMBOL_COUNT);
  ASSERT_EQ(leaf_sum, m.weight[ROOT_NODE]);
}

// The model as first written: a plain scan for the top of a run, and a
// rebuild by insertion. The coders' model must leave the same arrays.
struct ReferenceModel {
  HuffmanModel m;
  void rebuild() {
    for (int i = 0, j = 0; i < NODE_COUNT; i++) {
      if (m.child[i] >= NODE_COUNT) {
        m.weight[j] = static_cast<uint16_t>((m.weight[i] + 1) / 2);
        m.child[j++] = m.child[i];
      }
    }
    for (int i = 0, j = SYMBOL_COUNT; j < NODE_COUNT; i += 2, j++) {
      int f = m.weight[i] + m.weight[i + 1], k = j - 1;
      while (f < m.weight[k]) k--;
      k++;
      for (int t = j; t > k; t--) m.weight[t] = m.weight[t - 1], m.child[t] = m.child[t - 1];
      m.weight[k] = static_cast<uint16_t>(f);
      m.child[k] = static_cast<uint16_t>(i);
    }
    for (int i = 0; i < NODE_COUNT; i++) {
      m.parent[m.child[i]] = static_cast<uint16_t>(i);
      if (m.child[i] < NODE_COUNT) m.parent[m.child[i] + 1] = static_cast<uint16_t>(i);
    }
  }
  void update(int symbol) {
    if (m.weight[ROOT_NODE] == REBUILD_LIMIT) rebuild();
    int x = m.parent[symbol + NODE_COUNT];
    do {
      int w = ++m.weight[x];
      if (w > m.weight[x + 1]) {
        int y = x + 1;
        while (w > m.weight[y + 1]) y++;
        m.weight[x] = m.weight[y];
        m.weight[y] = static_cast<uint16_t>(w);
        int a = m.child[x], b = m.child[y];
        m.child[x] = static_cast<uint16_t>(b), m.child[y] = static_cast<uint16_t>(a);
        m.parent[a] = static_cast<uint16_t>(y);
        if (a < NODE_COUNT) m.parent[a + 1] = static_cast<uint16_t>(y);
        m.parent[b] = static_cast<uint16_t>(x);
        if (b < NODE_COUNT) m.parent[b + 1] = static_cast<uint16_t>(x);
        x = y;
      }
      x = m.parent[x];
    } while (x != 0);
  }
};

}  // namespace

TEST(Huffman, FreshModelCodes) {
  huffman_init();
  EXPECT_EQ(code_of(0), "110001100");
  EXPECT_EQ(code_of(115), "111111111");
  EXPECT_EQ(code_of(116), "00000000");
  EXPECT_EQ(code_of(313), "11000101");
  for (int s = 0; s < SYMBOL_COUNT; s++) EXPECT_EQ(code_of(s).size(), s < 116 ? 9u : 8u) << s;
  expect_invariants();
}

TEST(Huffman, OneUpdateSwapsLeavesOf65And313) {
  huffman_init();
  int leaf65 = huffman_model.parent[NODE_COUNT + 65];
  int leaf313 = huffman_model.parent[NODE_COUNT + 313];
  huffman_update(65);
  EXPECT_EQ(huffman_model.parent[NODE_COUNT + 65], leaf313);
  EXPECT_EQ(huffman_model.parent[NODE_COUNT + 313], leaf65);
  EXPECT_EQ(code_of(65), "11000101");
  EXPECT_EQ(code_of(313), "111001101");
  EXPECT_EQ(huffman_model.weight[ROOT_NODE], 315);
  expect_invariants();
}

TEST(Huffman, FirstRebuildComesInUpdate32455) {
  huffman_init();
  for (int i = 0; i < 32454; i++) huffman_update(200);
  EXPECT_EQ(huffman_model.weight[ROOT_NODE], 32768);
  EXPECT_EQ(huffman_model.weight[huffman_model.parent[NODE_COUNT + 200]], 32455);
  expect_invariants();
  huffman_update(7);  // rebuilds, then counts 7 (weight 1 -> 2)
  EXPECT_EQ(huffman_model.weight[huffman_model.parent[NODE_COUNT + 200]], 16228);
  EXPECT_EQ(huffman_model.weight[huffman_model.parent[NODE_COUNT + 7]], 2);
  EXPECT_EQ(huffman_model.weight[huffman_model.parent[NODE_COUNT + 8]], 1);
  EXPECT_EQ(huffman_model.weight[ROOT_NODE], 16542);
  expect_invariants();
}

// Ties: a node whose new weight equals its neighbour's stays; a node that
// moves lands on top of the run of its old weight.
TEST(Huffman, MovedNodeGoesToTopOfItsRun) {
  huffman_init();
  huffman_update(0);  // leaf of 0 (weight 2) must now sit just below the first weight-2 node
  int x = huffman_model.parent[NODE_COUNT + 0];
  EXPECT_EQ(huffman_model.weight[x], 2);
  EXPECT_EQ(huffman_model.weight[x - 1], 1);
  int before = huffman_model.parent[NODE_COUNT + 1];
  huffman_update(1);  // also weight 2 now, but 1's leaf moves up over the 1s
  EXPECT_NE(huffman_model.parent[NODE_COUNT + 1], before);
  EXPECT_EQ(huffman_model.parent[NODE_COUNT + 1], x - 1);  // top of the run of 1s
  expect_invariants();
}

TEST(Huffman, InvariantsHoldThroughSkewedUseAndRebuilds) {
  const uint32_t seed = 12345;
  std::mt19937 rng(seed);
  huffman_init();
  for (int i = 0; i < 120000; i++) {
    // Geometric-like skew so the tree gets deep and rebuilds happen.
    int symbol = std::min<int>(SYMBOL_COUNT - 1, __builtin_ctz(rng() | 0x80000000u) * 11 + rng() % 3);
    huffman_update(symbol);
    if (i % 4999 == 0) {
      ASSERT_NO_FATAL_FAILURE(expect_invariants()) << "seed " << seed << " step " << i;
    }
  }
  expect_invariants();
}

// Uniform symbols keep long runs of equal weights; skewed ones make deep
// trees; both rebuild many times.
TEST(Huffman, SameArraysAsTheReferenceModel) {
  for (int skewed : {0, 1}) {
    std::mt19937 rng(7 + skewed);
    huffman_init();
    ReferenceModel reference;
    reference.m = huffman_model;
    for (int i = 0; i < 200000; i++) {
      int symbol = skewed ? std::min<int>(SYMBOL_COUNT - 1, __builtin_ctz(rng() | 0x80000000u) * 11 + rng() % 3)
                          : static_cast<int>(rng() % SYMBOL_COUNT);
      huffman_update(symbol);
      reference.update(symbol);
      if (i % 97 == 0 || huffman_model.weight[ROOT_NODE] == REBUILD_LIMIT) {
        ASSERT_EQ(memcmp(&huffman_model, &reference.m, sizeof reference.m), 0) << skewed << " step " << i;
      }
    }
  }
}

TEST(Huffman, InitForgetsThePreviousStream) {
  huffman_init();
  for (int i = 0; i < 5000; i++) huffman_update(i % 7);
  huffman_init();
  EXPECT_EQ(code_of(65), "111001101");
  EXPECT_EQ(code_of(313), "11000101");
}
