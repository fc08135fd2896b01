// The block container that wraps one LZHUF bit stream (docs/formats.md).
//
// One block:
//   offset  size  field
//   0       2     signature  BLOCK_SIGNATURE (bytes 52 43, "RC")
//   2       2     checksum   block_checksum of the data bytes only
//   4       2     length     whole block in bytes, header included
//   6       n     data       length - 6 bytes
//
// One stream: a size block (length 10, data = uncompressed size, 32-bit LE),
// then the bit stream cut into blocks of BLOCK_SIZE (10234 data bytes each),
// the last one shorter. Streams follow each other with nothing in between.
// All fields are little-endian.
#pragma once
#include <stdint.h>

enum : uint16_t { BLOCK_SIGNATURE = 0x4352, CHECKSUM_SEED = 0x68A5 };

enum : int32_t {
  BLOCK_HEADER_SIZE = 6,
  SIZE_BLOCK_LENGTH = 10,
  BLOCK_SIZE = 10240,
  BLOCK_DATA_SIZE = BLOCK_SIZE - BLOCK_HEADER_SIZE,  // 10234
  MAX_STREAM_SIZE = 0x7FFFFFFF,                      // sizes are signed 32-bit
};

struct BlockHeader {
  uint16_t signature;
  uint16_t checksum;
  uint16_t length;
};

// The header fields of the block at `block` (6 bytes must be present).
BlockHeader read_block_header(const uint8_t *block);

// 16-bit sum of the bytes, starting from CHECKSUM_SEED. A count of 0 or less
// gives CHECKSUM_SEED.
uint16_t block_checksum(const uint8_t *data, int32_t count);

// Fills the 6 header bytes in front of block's data for a block of `length`
// bytes (header included); the data must already be in place.
void write_block_header(uint8_t *block, int32_t length);

// What is wrong with a block, if anything: the one rule every reader of the
// container (the stub's driver, the tools' diagnosis, the fuzzers) applies.
// A block is longer than BLOCK_SIZE in no stream a writer makes, and the
// driver never reads more than BLOCK_SIZE bytes at once, so such a length
// is a fault like a length below the header's.
enum BlockFault {
  BLOCK_SOUND = 0,
  BLOCK_CUT_HEADER,    // fewer than 6 bytes present
  BLOCK_NO_SIGNATURE,  // the signature is not BLOCK_SIGNATURE
  BLOCK_BAD_LENGTH,    // length below BLOCK_HEADER_SIZE or above BLOCK_SIZE
  BLOCK_CUT,           // length beyond the bytes present
  BLOCK_BAD_CHECKSUM,  // the data's checksum does not match
};

// Judges the block that starts at `block`, of which `available` bytes are
// present; *length gets its length field whenever the header is there.
BlockFault judge_block(const uint8_t *block, int32_t available, int32_t *length);

// The block's length when it is sound (judge_block), else 0.
int32_t check_block(const uint8_t *block, int32_t available);

// Reads the uncompressed size a stream declares in its size block, which
// starts at `stream` with `available` bytes present. Returns 1 and sets *size
// when the size block is intact (signature, length 10, checksum), else 0.
int read_size_block(const uint8_t *stream, int32_t available, uint32_t *size);
