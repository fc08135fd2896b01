// The unfilled record as it sits in the stub's initialised data: scrambled at
// compile time, so neither its texts nor the record signature appear in the
// binary in plain form. It fails the header check (header_check 1, all other
// words 0), so a stub that no package tool has filled says so and installs
// nothing. The package tool finds the record by searching for the scrambled
// signature at OFFSET_RECORD_SIGNATURE.
#include "installer/config.h"

namespace {

constexpr void put_text(char *slot, const char *text) {
  for (int i = 0; i < TEXT_SLOT_SIZE - 1 && text[i] != 0; ++i) slot[i] = text[i];
}

constexpr char scrambled(char c) { return static_cast<char>(static_cast<uint8_t>(c) ^ CONFIG_KEY); }

constexpr uint32_t scrambled(uint32_t word) { return word ^ (0x01010101u * CONFIG_KEY); }

constexpr void scramble_slot(char *slot, int size) {
  for (int i = 0; i < size; ++i) slot[i] = scrambled(slot[i]);
}

constexpr InstallConfig unfilled_record() {
  InstallConfig r{};
  r.header_check = 1;
  put_text(r.bad_header_text, "This installer holds no screen saver.");
  put_text(r.reserved_576, RECORD_SIGNATURE);

  r.reserved_0 = scrambled(r.reserved_0);
  r.payload_offset = static_cast<int32_t>(scrambled(static_cast<uint32_t>(r.payload_offset)));
  r.main_size = scrambled(r.main_size);
  r.second_size = scrambled(r.second_size);
  r.reserved_16 = scrambled(r.reserved_16);
  r.header_check = scrambled(r.header_check);
  r.extra_size = scrambled(r.extra_size);
  r.flags = scrambled(r.flags);
  r.main_part2_size = scrambled(r.main_part2_size);
  r.main_part3_size = scrambled(r.main_part3_size);
  for (uint8_t &b : r.reserved_40) b = static_cast<uint8_t>(b ^ CONFIG_KEY);
  scramble_slot(r.main_file_name, TEXT_SLOT_SIZE);
  scramble_slot(r.second_file_name, TEXT_SLOT_SIZE);
  scramble_slot(r.extra_file_name, TEXT_SLOT_SIZE);
  scramble_slot(r.confirm_text, TEXT_SLOT_SIZE);
  scramble_slot(r.done_text, TEXT_SLOT_SIZE);
  scramble_slot(r.failure_text, TEXT_SLOT_SIZE);
  scramble_slot(r.bad_header_text, TEXT_SLOT_SIZE);
  scramble_slot(r.dialog_text, TEXT_SLOT_SIZE);
  scramble_slot(r.reserved_576, TEXT_SLOT_SIZE);
  return r;
}

}  // namespace

// Writable: unscrambled in place at start-up.
InstallConfig install_config = unfilled_record();

HANDLE output_file = INVALID_HANDLE_VALUE;
int32_t one_message_left = 1;
int32_t start_pending = 1;

#ifndef _WIN32
#include <string.h>
#include "installer/test_hooks.h"
#include "ui/progress_dialog.h"

void installer_reset_for_tests(const uint8_t *scrambled_record) {
  install_config = unfilled_record();
  if (scrambled_record) memcpy(&install_config, scrambled_record, CONFIG_SIZE);
  output_file = INVALID_HANDLE_VALUE;
  one_message_left = 1;
  start_pending = 1;
  progress_reset_for_tests();
}
#endif
