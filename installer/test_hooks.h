// Host builds only: one entry point that gives a test a fresh process.
#pragma once
#include <stdint.h>

// Puts back every process-wide value of the installer and its dialog as a
// new process would find it, with the record image replaced by the 640
// scrambled bytes at scrambled_record (the unfilled record when null), as
// the package tool would have written them into the stub.
void installer_reset_for_tests(const uint8_t *scrambled_record);
