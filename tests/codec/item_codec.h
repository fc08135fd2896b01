// A second, independent reading and writing of the LZHUF bit stream at the
// level of items (literal / match), for tests: it checks the encoder's
// parsing decisions and builds bit streams no encoder input would produce.
// Uses the codec's Huffman model (tested on its own) and resets it.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <vector>

struct Item {
  int symbol = 0;     // 0..255 literal, 256..313 match of length symbol - 253
  int offset = -1;    // match: distance - 1 (0..4095); literal: -1
  int code_bits = 0;  // parse_items: length of the symbol's code
  static Item literal(int byte) { return Item{byte, -1, 0}; }
  static Item match(int length, int offset) { return Item{length + 253, offset, 0}; }
  bool operator==(const Item &o) const { return symbol == o.symbol && offset == o.offset; }
};

// Reads items from a bit stream until they cover `size` bytes of output.
std::vector<Item> parse_items(const std::vector<uint8_t> &bits, uint32_t size);

// Writes items as a bit stream, zero-padded to a whole byte.
std::vector<uint8_t> write_items(const std::vector<Item> &items);

// Cuts a bit stream into container blocks behind a size block, as a writer
// would; with tail_block, a header-only block follows the last data block.
std::vector<uint8_t> wrap_container(uint32_t size, const std::vector<uint8_t> &bits, bool tail_block = false);

// The bit stream inside one container stream at the start of packed
// (blocks taken until the first short one).
std::vector<uint8_t> unwrap_container(const std::vector<uint8_t> &packed);
