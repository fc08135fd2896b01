#include "codec/common/container.h"

#include "codec/common/byte_order.h"

uint16_t block_checksum(const uint8_t *data, int32_t count) {
  uint32_t sum = CHECKSUM_SEED;
  for (int32_t i = 0; i < count; i++) sum += data[i];
  return static_cast<uint16_t>(sum);
}

BlockHeader read_block_header(const uint8_t *block) {
  BlockHeader header;
  header.signature = read_le16(block);
  header.checksum = read_le16(block + 2);
  header.length = read_le16(block + 4);
  return header;
}

void write_block_header(uint8_t *block, int32_t length) {
  write_le16(block, BLOCK_SIGNATURE);
  write_le16(block + 2, block_checksum(block + BLOCK_HEADER_SIZE, length - BLOCK_HEADER_SIZE));
  write_le16(block + 4, static_cast<uint16_t>(length));
}

BlockFault judge_block(const uint8_t *block, int32_t available, int32_t *length) {
  *length = 0;
  if (available < BLOCK_HEADER_SIZE) return BLOCK_CUT_HEADER;
  const BlockHeader header = read_block_header(block);
  *length = header.length;
  if (header.signature != BLOCK_SIGNATURE) return BLOCK_NO_SIGNATURE;
  if (*length < BLOCK_HEADER_SIZE || *length > BLOCK_SIZE) return BLOCK_BAD_LENGTH;
  if (*length > available) return BLOCK_CUT;
  if (block_checksum(block + BLOCK_HEADER_SIZE, *length - BLOCK_HEADER_SIZE) != header.checksum)
    return BLOCK_BAD_CHECKSUM;
  return BLOCK_SOUND;
}

int32_t check_block(const uint8_t *block, int32_t available) {
  int32_t length;
  return judge_block(block, available, &length) == BLOCK_SOUND ? length : 0;
}

int read_size_block(const uint8_t *stream, int32_t available, uint32_t *size) {
  if (available > SIZE_BLOCK_LENGTH) available = SIZE_BLOCK_LENGTH;
  if (check_block(stream, available) != SIZE_BLOCK_LENGTH) return 0;
  *size = read_le32(stream + BLOCK_HEADER_SIZE);
  return 1;
}
