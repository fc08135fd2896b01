#include "installer/config.h"

#include "format/unfilled_record.h"

// Writable: unscrambled in place at start-up.
InstallConfig install_config = scrambled_unfilled_record();

void unscramble_config(void) {
  xor_buffer(&install_config, CONFIG_SIZE, CONFIG_KEY);
  for (int32_t slot = FIRST_TEXT_SLOT; slot < END_OF_TEXT_SLOTS; slot += TEXT_SLOT_SIZE)
    record_text(&install_config, slot)[TEXT_SLOT_SIZE - 1] = 0;
}
