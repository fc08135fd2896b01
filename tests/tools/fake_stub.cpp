#include "tests/tools/fake_stub.h"

#include <string.h>

#include "installer/install_config.h"

std::vector<uint8_t> make_fake_stub(size_t bytes_before, size_t bytes_after) {
  std::vector<uint8_t> stub;
  // Code-like filler that cannot contain the scrambled signature.
  for (size_t i = 0; i < bytes_before; ++i) stub.push_back(static_cast<uint8_t>(i * 7 + 3) & 0x7F);
  uint8_t record[CONFIG_SIZE] = {};
  record[OFFSET_HEADER_CHECK] = 1;  // unfilled: the header check fails
  memcpy(record + OFFSET_RECORD_SIGNATURE, RECORD_SIGNATURE, RECORD_SIGNATURE_SIZE);
  for (uint8_t byte : record) stub.push_back(byte ^ CONFIG_KEY);
  for (size_t i = 0; i < bytes_after; ++i) stub.push_back(i < 4 ? 0x12 : static_cast<uint8_t>(i * 13) & 0x7F);
  return stub;
}
