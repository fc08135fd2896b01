#include "format/crc32.h"

namespace {

// One table lookup per 4-bit half byte: 64 bytes of table instead of 1 KiB,
// at about half the speed of a byte table, which is still far faster than the
// file reads it follows.
const uint32_t NIBBLE_TABLE[16] = {
    0x00000000u, 0x1DB71064u, 0x3B6E20C8u, 0x26D930ACu, 0x76DC4190u, 0x6B6B51F4u, 0x4DB26158u, 0x5005713Cu,
    0xEDB88320u, 0xF00F9344u, 0xD6D6A3E8u, 0xCB61B38Cu, 0x9B64C2B0u, 0x86D3D2D4u, 0xA00AE278u, 0xBDBDF21Cu,
};

}  // namespace

uint32_t crc32_update(uint32_t crc, const void *data, int32_t count) {
  const uint8_t *bytes = static_cast<const uint8_t *>(data);
  crc = ~crc;
  for (int32_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    crc = (crc >> 4) ^ NIBBLE_TABLE[crc & 15];
    crc = (crc >> 4) ^ NIBBLE_TABLE[crc & 15];
  }
  return ~crc;
}
