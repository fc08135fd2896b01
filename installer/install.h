// The install procedure and the rule around it: one outcome message per run.
#pragma once
#include <stdint.h>

// Caption of every message box.
#define MESSAGE_CAPTION "Kestrune"

// 1 while no step of the install has failed; every step checks it first.
extern int32_t install_ok;
// Offset in the own file at which the next compressed stream begins.
extern int32_t payload_position;
// 1 until show_message_once has shown its one message.
extern int32_t one_message_left;
// 1 once the install has written every file and registered the saver.
extern int32_t installed;

// Runs the whole install once: header check, own file, payload files,
// registration, outcome message. Ends the progress dialog before it returns.
// Returns 0.
int install_payload(void);

// Ends the progress dialog, then shows text in an MB_OK box captioned
// "Kestrune" unless silent mode is on or a message was shown already.
void show_message_once(const char *text);
