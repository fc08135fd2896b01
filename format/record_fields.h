// The record's fields by name, for tools that print or check all of them.
#pragma once
#include <stdint.h>

#include "format/record.h"

struct RecordField {
  const char *name;
  int32_t offset;
};

// The ten header words and the eight text slots, in record order.
extern const RecordField HEADER_WORDS[HEADER_WORD_COUNT];
extern const RecordField TEXT_SLOTS[TEXT_SLOT_COUNT];
