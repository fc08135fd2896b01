// The record an unfilled stub carries, built at compile time: every word 0
// except header_check 1, so that it fails the header check and a stub that no
// package tool has filled installs nothing; a bad_header_text that says so;
// and the signature the tools search for. It is stored scrambled, so neither
// its texts nor the signature appear in the stub in plain form.
#pragma once
#include "format/record.h"

namespace unfilled_record_detail {

template <typename Char>
constexpr void put_text(Char *slot, const char *text) {
  for (int i = 0; i < TEXT_SLOT_SIZE - 1 && text[i] != 0; ++i) slot[i] = static_cast<Char>(text[i]);
}

template <typename Word>
constexpr Word scrambled(Word word) {
  return static_cast<Word>(static_cast<uint32_t>(word) ^ (0x01010101u * CONFIG_KEY));
}

template <typename Char>
constexpr void scramble_bytes(Char *bytes, int count) {
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<Char>(static_cast<uint8_t>(bytes[i]) ^ CONFIG_KEY);
}

}  // namespace unfilled_record_detail

#define UNFILLED_RECORD_TEXT "This installer holds no screen saver."

constexpr InstallConfig scrambled_unfilled_record() {
  using namespace unfilled_record_detail;
  InstallConfig r{};
  r.header_check = 1;
  put_text(r.bad_header_text, UNFILLED_RECORD_TEXT);
  put_text(r.record_signature, RECORD_SIGNATURE);
  // Every field scrambled, whatever its kind, from the one list of fields.
#define SCRAMBLE_WORD(type, name, NAME, offset) r.name = scrambled(r.name);
#define SCRAMBLE_AREA(name, NAME, offset, size) scramble_bytes(r.name, size);
#define SCRAMBLE_TEXT(name, NAME, offset) scramble_bytes(r.name, TEXT_SLOT_SIZE);
  INSTALL_RECORD_FIELDS(SCRAMBLE_WORD, SCRAMBLE_AREA, SCRAMBLE_TEXT)
#undef SCRAMBLE_WORD
#undef SCRAMBLE_AREA
#undef SCRAMBLE_TEXT
  return r;
}
