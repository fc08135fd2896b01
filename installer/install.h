// The install procedure and the rules around it: one outcome message per
// run, and finding the installer's own file.
#pragma once
#include <stdint.h>

// 1 while no step of the install has failed; every step checks it first.
extern int32_t install_ok;
// Offset in the own file at which the next compressed stream begins.
extern int32_t payload_position;

// Runs the whole install once: header check, own file, payload files,
// registration, outcome message. Ends the progress dialog before it returns.
// Returns 0.
int install_payload(void);

// Ends the progress dialog, then shows text in an MB_OK box captioned
// "Kestrune" unless silent mode is on or a message was shown already.
void show_message_once(const char *text);

// The runtime's argv[0] with ".exe" appended when it is longer than four
// characters and does not already end in it (any case). Returns the empty
// text when the result would not fit its 256-byte buffer.
const char *own_path_with_exe(void);
