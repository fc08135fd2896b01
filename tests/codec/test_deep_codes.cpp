// Codes longer than 16 bits: skewed counts push the rarely used leaves below
// level 16 while the root stays under the rebuild limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/common/huffman.h"
#include "codec/common/stream.h"
#include "codec/common/stream_bytes.h"
#include "codec/encode/lzhuf_encoder.h"
#include "tests/codec/item_codec.h"
#include "tests/support/memory_files.h"

namespace {

// Matches of lengths 3..11 with counts 330 x (1, 1, 2, 3, ..., 34), shuffled:
// the leaves of weight 1 end up 18 levels deep with the root near 29,400.
std::vector<Item> skewed_items() {
  static const int FIB[] = {1, 1, 2, 3, 5, 8, 13, 21, 34};
  std::vector<Item> items = {Item::literal('a')};
  for (int k = 0; k < 9; k++)
    for (int i = 0; i < 330 * FIB[k]; i++) items.push_back(Item::match(3 + k, 0));
  std::mt19937 rng(1);
  std::shuffle(items.begin() + 1, items.end(), rng);
  return items;
}

int depth_of(int symbol) {
  int depth = 0;
  for (int k = huffman_model.parent[NODE_COUNT + symbol]; k != ROOT_NODE; k = huffman_model.parent[k]) depth++;
  return depth;
}

}  // namespace

TEST(DeepCodes, EmittedAndDecoded) {
  std::vector<Item> items = skewed_items();
  huffman_init();
  for (const Item &item : items) huffman_update(item.symbol);
  ASSERT_LT(huffman_model.weight[ROOT_NODE], REBUILD_LIMIT);
  int deepest = 0;
  for (int s = 0; s < SYMBOL_COUNT; s++)
    if (depth_of(s) > depth_of(deepest)) deepest = s;
  ASSERT_GE(depth_of(deepest), 17);
  items.push_back(deepest < 256 ? Item::literal(deepest) : Item::match(deepest - 253, 1));
  items.push_back(Item::literal('z'));

  // The encoder's item coding writes what an independent writer writes.
  MemoryFile in, out;
  stream_reset(in.handle(), out.handle(), MODE_ENCODE, [] { return 0; });  // writes only
  stream_state.write_position = BLOCK_HEADER_SIZE;
  huffman_init();
  for (const Item &item : items) {
    encode_symbol(item.symbol);
    if (item.offset >= 0) encode_position(static_cast<uint32_t>(item.offset));
  }
  flush_bits();
  stream_flush_final();
  std::vector<uint8_t> expected_bits = write_items(items);
  uint32_t size = 0;
  for (const Item &item : items) size += item.symbol < 256 ? 1 : static_cast<uint32_t>(item.symbol - 253);
  std::vector<uint8_t> packed = wrap_container(size, {});
  packed.insert(packed.end(), out.data.begin(), out.data.end());
  EXPECT_EQ(unwrap_container(packed), expected_bits);

  // The parse sees the deep code, and the decoder reads it.
  std::vector<Item> parsed = parse_items(expected_bits, size);
  ASSERT_EQ(parsed.size(), items.size());
  EXPECT_GE(parsed[parsed.size() - 2].code_bits, 17);
  std::vector<uint8_t> expected(size, 'a');
  if (deepest < 256) expected[size - 2] = static_cast<uint8_t>(deepest);
  expected[size - 1] = 'z';
  DecodeResult r = decode_bytes(packed);
  EXPECT_EQ(r.ok, 1);
  EXPECT_EQ(r.output, expected);
}
