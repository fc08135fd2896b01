#include "installer/config.h"

void xor_buffer(void *buffer, int32_t length, uint32_t key) {
  uint8_t *bytes = static_cast<uint8_t *>(buffer);
  const uint8_t k = static_cast<uint8_t>(key);
  for (int32_t i = 0; i < length; ++i) bytes[i] ^= k;
}

void unscramble_config(void) {
  xor_buffer(&install_config, CONFIG_SIZE, CONFIG_KEY);
  char *slots[] = {
      install_config.main_file_name, install_config.second_file_name,
      install_config.extra_file_name, install_config.confirm_text,
      install_config.done_text,      install_config.failure_text,
      install_config.bad_header_text, install_config.dialog_text,
  };
  for (char *slot : slots) slot[TEXT_SLOT_SIZE - 1] = 0;
}

int header_matches(void) {
  const uint32_t sum = static_cast<uint32_t>(install_config.payload_offset) ^
                       install_config.main_size ^ install_config.second_size ^
                       install_config.reserved_16;
  return sum == install_config.header_check;
}
