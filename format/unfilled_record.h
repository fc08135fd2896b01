// The record an unfilled stub carries, built at compile time: every word 0
// except header_check 1, so that it fails the header check and a stub that no
// package tool has filled installs nothing; a bad_header_text that says so;
// and the signature the tools search for. It is stored scrambled, so neither
// its texts nor the signature appear in the stub in plain form.
#pragma once
#include "format/record.h"

namespace unfilled_record_detail {

constexpr void put_text(char *slot, const char *text) {
  for (int i = 0; i < TEXT_SLOT_SIZE - 1 && text[i] != 0; ++i) slot[i] = text[i];
}

constexpr uint32_t scrambled_word(uint32_t word) { return word ^ (0x01010101u * CONFIG_KEY); }

constexpr void scramble_bytes(char *bytes, int count) {
  for (int i = 0; i < count; ++i) bytes[i] = static_cast<char>(static_cast<uint8_t>(bytes[i]) ^ CONFIG_KEY);
}

}  // namespace unfilled_record_detail

#define UNFILLED_RECORD_TEXT "This installer holds no screen saver."

constexpr InstallConfig scrambled_unfilled_record() {
  using namespace unfilled_record_detail;
  InstallConfig r{};
  put_text(r.bad_header_text, UNFILLED_RECORD_TEXT);
  put_text(r.reserved_576, RECORD_SIGNATURE);

  r.reserved_0 = scrambled_word(0);
  r.payload_offset = static_cast<int32_t>(scrambled_word(0));
  r.main_size = scrambled_word(0);
  r.second_size = scrambled_word(0);
  r.reserved_16 = scrambled_word(0);
  r.header_check = scrambled_word(1);
  r.extra_size = scrambled_word(0);
  r.flags = scrambled_word(0);
  r.main_part2_size = scrambled_word(0);
  r.main_part3_size = scrambled_word(0);
  for (uint8_t &b : r.reserved_40) b = static_cast<uint8_t>(b ^ CONFIG_KEY);
  char *slots[] = {r.main_file_name, r.second_file_name, r.extra_file_name, r.confirm_text, r.done_text,
                   r.failure_text,   r.bad_header_text,  r.dialog_text,     r.reserved_576};
  for (char *slot : slots) scramble_bytes(slot, TEXT_SLOT_SIZE);
  return r;
}
