#include "tests/support/sample_data.h"

#include <string.h>

#include "format/unfilled_record.h"

Bytes sample_bytes(size_t size, uint32_t seed) {
  static const char words[] = "the quick screen saver jumps over the lazy desktop ";
  Bytes out(size);
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    out[i] = (state >> 28) < 3 ? static_cast<uint8_t>(state >> 16)
                               : static_cast<uint8_t>(words[(i + seed) % (sizeof(words) - 1)]);
  }
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes stand_in_stub(size_t before, size_t after) {
  static const InstallConfig unfilled = scrambled_unfilled_record();
  uint8_t record[CONFIG_SIZE];
  record_to_bytes(&unfilled, record);  // scrambling is bytewise, so its words convert as they are
  Bytes stub;
  for (size_t i = 0; i < before; ++i) stub.push_back(static_cast<uint8_t>(i * 7 + 3) & 0x7F);
  stub.insert(stub.end(), record, record + CONFIG_SIZE);
  for (size_t i = 0; i < after; ++i) stub.push_back(static_cast<uint8_t>(i * 13 + 5) & 0x7F);
  return stub;
}
