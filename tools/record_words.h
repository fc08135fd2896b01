// The record in words: text slots as strings, and why a name or a seal is not
// what it should be, for the tool's messages.
#pragma once
#include <stdint.h>

#include <string>

#include "format/record.h"
#include "format/seal.h"

// The text slot's text up to its zero (or all 64 bytes when it has none).
std::string text_slot_value(const InstallConfig &record, int32_t offset);

// nullptr when name is a plain file name (format/file_name.h); otherwise why
// it is not, in words.
const char *file_name_problem(const std::string &name);

// One line for inspect and verify, e.g. "integrity: sealed, record CRC-32
// 1a2b3c4d ok, payload 123456 bytes CRC-32 ... ok".
std::string describe_seal(const SealCheck &check);
