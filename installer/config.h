// The installer's configuration record in memory and the plain process-wide
// fields kept beside it. Layout and keys: installer/install_config.h.
#pragma once
#include <stdint.h>
#include "installer/install_config.h"
#include "platform/win32.h"

// The record, scrambled with CONFIG_KEY until unscramble_config has run;
// read-only afterwards. Its initial image is the unfilled record
// (installer/config_image.cpp), which the package tool overwrites.
extern InstallConfig install_config;

// The output file being written; INVALID_HANDLE_VALUE when none is open.
extern HANDLE output_file;
// 1 until show_message_once has shown its one message.
extern int32_t one_message_left;
// 1 until the progress dialog has started the install.
extern int32_t start_pending;

// XORs the first length bytes of buffer in place with the low 8 bits of key.
void xor_buffer(void *buffer, int32_t length, uint32_t key);

// Unscrambles install_config in place (once, at start-up) and cuts every text
// slot to at most 63 characters, so that a slot the package tool left without
// its terminating zero is never read past its end.
void unscramble_config(void);

// 1 when header_check matches the four words it covers.
int header_matches(void);

inline int config_flag(uint32_t flag) { return (install_config.flags & flag) != 0; }

// Caption of every message box.
#define MESSAGE_CAPTION "Kestrune"
