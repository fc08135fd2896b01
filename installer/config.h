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
