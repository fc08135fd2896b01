#include "tests/support/sample_data.h"

#include <string.h>

#include "codec/common/byte_order.h"
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

namespace {

void put16(Bytes *bytes, size_t at, uint16_t value) { write_le16(bytes->data() + at, value); }
void put32(Bytes *bytes, size_t at, uint32_t value) { write_le32(bytes->data() + at, value); }

// The headers of a PE32 i386 GUI program whose one section holds the file's
// bytes from STAND_IN_HEADERS to its end.
void write_headers(Bytes *stub) {
  const uint32_t raw = static_cast<uint32_t>(stub->size() - STAND_IN_HEADERS);
  const size_t pe = 0x40, optional = pe + 24, section = optional + 224;
  (*stub)[0] = 'M';
  (*stub)[1] = 'Z';
  put32(stub, 0x3C, pe);
  put32(stub, pe, 0x00004550);         // "PE\0\0"
  put16(stub, pe + 4, 0x14C);          // i386
  put16(stub, pe + 6, 1);              // one section
  put16(stub, pe + 20, 224);           // optional header size
  put16(stub, pe + 22, 0x0102);        // executable, 32-bit
  put16(stub, optional, 0x10B);        // PE32
  put32(stub, optional + 8, raw);      // initialised data
  put32(stub, optional + 16, 0x1000);  // entry point
  put32(stub, optional + 28, 0x400000);
  put32(stub, optional + 32, 0x1000);                              // section alignment
  put32(stub, optional + 36, 0x200);                               // file alignment
  put16(stub, optional + 40, 4);                                   // OS 4.0
  put16(stub, optional + 48, 4);                                   // subsystem 4.0
  put32(stub, optional + 56, 0x1000 + ((raw + 0xFFF) & ~0xFFFu));  // image size
  put32(stub, optional + 60, STAND_IN_HEADERS);
  put16(stub, optional + 68, 2);   // Windows GUI
  put32(stub, optional + 92, 16);  // data directories
  memcpy(stub->data() + section, ".data", 5);
  put32(stub, section + 8, raw);
  put32(stub, section + 12, 0x1000);
  put32(stub, section + 16, raw);
  put32(stub, section + 20, STAND_IN_HEADERS);
  put32(stub, section + 36, 0xC0000040);  // initialised, readable, writable
}

}  // namespace

Bytes stand_in_stub(size_t before, size_t after) {
  static const InstallConfig unfilled = scrambled_unfilled_record();
  uint8_t record[CONFIG_SIZE];
  record_to_bytes(&unfilled, record);  // scrambling is bytewise, so its words convert as they are
  if (before < STAND_IN_HEADERS) before = STAND_IN_HEADERS;
  Bytes stub(STAND_IN_HEADERS, 0);
  for (size_t i = STAND_IN_HEADERS; i < before; ++i) stub.push_back(static_cast<uint8_t>(i * 7 + 3) & 0x7F);
  stub.insert(stub.end(), record, record + CONFIG_SIZE);
  for (size_t i = 0; i < after; ++i) stub.push_back(static_cast<uint8_t>(i * 13 + 5) & 0x7F);
  write_headers(&stub);
  return stub;
}
