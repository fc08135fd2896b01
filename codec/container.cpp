#include "codec/container.h"

#include "codec/byte_order.h"

uint16_t block_checksum(const uint8_t *data, int32_t count) {
  uint32_t sum = CHECKSUM_SEED;
  for (int32_t i = 0; i < count; i++) sum += data[i];
  return (uint16_t)sum;
}

void write_block_header(uint8_t *block, int32_t length) {
  write_le16(block, BLOCK_SIGNATURE);
  write_le16(block + 2, block_checksum(block + BLOCK_HEADER_SIZE, length - BLOCK_HEADER_SIZE));
  write_le16(block + 4, (uint16_t)length);
}

int32_t check_block(const uint8_t *block, int32_t available) {
  if (available < BLOCK_HEADER_SIZE) return 0;
  if (read_le16(block) != BLOCK_SIGNATURE) return 0;
  int32_t length = read_le16(block + 4);
  if (length < BLOCK_HEADER_SIZE || length > available) return 0;
  uint16_t sum = block_checksum(block + BLOCK_HEADER_SIZE, length - BLOCK_HEADER_SIZE);
  if (sum != read_le16(block + 2)) return 0;
  return length;
}
