#include "tests/codec/item_codec.h"

#include "codec/common/container.h"
#include "codec/common/huffman.h"
#include "codec/common/position_tables.h"

namespace {

struct BitReader {
  const std::vector<uint8_t> &bytes;
  size_t bit = 0;
  int next() {
    size_t byte = bit / 8;
    int value = byte < bytes.size() ? (bytes[byte] >> (7 - bit % 8)) & 1 : 0;
    bit++;
    return value;
  }
  int take(int n) {
    int v = 0;
    while (n-- > 0) v = v * 2 + next();
    return v;
  }
};

struct BitWriter {
  std::vector<uint8_t> bytes;
  size_t bit = 0;
  void put(int value) {
    if (bit % 8 == 0) bytes.push_back(0);
    if (value) bytes.back() |= static_cast<uint8_t>(0x80 >> (bit % 8));
    bit++;
  }
  void put_bits(int n, int value) {
    for (int i = n - 1; i >= 0; i--) put((value >> i) & 1);
  }
};

}  // namespace

std::vector<Item> parse_items(const std::vector<uint8_t> &bits, uint32_t size) {
  std::vector<Item> items;
  BitReader in{bits};
  huffman_init();
  uint64_t produced = 0;
  while (produced < size) {
    Item item;
    int x = huffman_model.child[ROOT_NODE];
    while (x < NODE_COUNT) {
      x = huffman_model.child[x + in.next()];
      item.code_bits++;
    }
    item.symbol = x - NODE_COUNT;
    huffman_update(item.symbol);
    if (item.symbol < 256) {
      produced++;
    } else {
      // Find the high part by trying each code on the next bits.
      size_t start = in.bit;
      int high = -1;
      for (int h = 0; h < 64 && high < 0; h++) {
        in.bit = start;
        int length = POSITION_CODE_LENGTH[h];
        if (in.take(length) == POSITION_CODE[h] >> (8 - length)) high = h;
      }
      item.offset = high * 64 + in.take(6);
      produced += static_cast<uint64_t>(item.symbol - 253);
    }
    items.push_back(item);
  }
  return items;
}

std::vector<uint8_t> write_items(const std::vector<Item> &items) {
  BitWriter out;
  huffman_init();
  for (const Item &item : items) {
    std::vector<int> path;
    for (int k = huffman_model.parent[NODE_COUNT + item.symbol]; k != ROOT_NODE; k = huffman_model.parent[k])
      path.push_back(k & 1);
    for (size_t i = path.size(); i-- > 0;) out.put(path[i]);
    huffman_update(item.symbol);
    if (item.symbol >= 256) {
      int high = item.offset >> 6;
      out.put_bits(POSITION_CODE_LENGTH[high], POSITION_CODE[high] >> (8 - POSITION_CODE_LENGTH[high]));
      out.put_bits(6, item.offset & 63);
    }
  }
  return out.bytes;
}

namespace {

void append_block(std::vector<uint8_t> &out, const uint8_t *data, size_t count) {
  size_t at = out.size();
  out.resize(at + BLOCK_HEADER_SIZE);
  out.insert(out.end(), data, data + count);
  write_block_header(out.data() + at, static_cast<int32_t>(count + BLOCK_HEADER_SIZE));
}

}  // namespace

std::vector<uint8_t> wrap_container(uint32_t size, const std::vector<uint8_t> &bits, bool tail_block) {
  std::vector<uint8_t> out;
  uint8_t size_bytes[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                           static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
  append_block(out, size_bytes, 4);
  size_t at = 0;
  while (at < bits.size()) {
    size_t n = bits.size() - at < static_cast<size_t>(BLOCK_DATA_SIZE) ? bits.size() - at
                                                                       : static_cast<size_t>(BLOCK_DATA_SIZE);
    append_block(out, bits.data() + at, n);
    at += n;
  }
  if (tail_block) append_block(out, nullptr, 0);
  return out;
}

std::vector<uint8_t> unwrap_container(const std::vector<uint8_t> &packed) {
  std::vector<uint8_t> bits;
  size_t at = SIZE_BLOCK_LENGTH;
  while (at + BLOCK_HEADER_SIZE <= packed.size()) {
    size_t length = packed[at + 4] | (packed[at + 5] << 8);
    if (length <= static_cast<size_t>(BLOCK_HEADER_SIZE) || at + length > packed.size()) break;
    bits.insert(bits.end(), packed.begin() + at + BLOCK_HEADER_SIZE, packed.begin() + at + length);
    at += length;
    if (length < static_cast<size_t>(BLOCK_SIZE)) break;
  }
  return bits;
}
