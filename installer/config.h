// The installer's configuration record in memory (layout: format/record.h).
#pragma once
#include <stdint.h>

#include "format/record.h"

// The record, scrambled with CONFIG_KEY until unscramble_config has run;
// read-only afterwards. Its initial image is the unfilled record
// (format/unfilled_record.h), which the package tool overwrites.
extern InstallConfig install_config;

// Unscrambles install_config in place (once, at start-up) and cuts every text
// slot to at most 63 characters, so that a slot the package tool left without
// its terminating zero is never read past its end.
void unscramble_config(void);

inline int config_flag(uint32_t flag) { return (install_config.flags & flag) != 0; }

#ifndef _WIN32
// Host builds only: the installer's process-wide values as a new process
// finds them, with the record image replaced by the 640 scrambled bytes at
// scrambled_record (the unfilled record when null), as the package tool would
// have written them into the stub. The dialog's values: ui_reset_for_tests.
void installer_reset_for_tests(const uint8_t *scrambled_record);
#endif
