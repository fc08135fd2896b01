// The record's fields by name (format/record.h), for printing and checking
// every one of them. Host only: the stub never prints a field's name.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "format/record.h"

enum RecordFieldKind { FIELD_WORD, FIELD_SIGNED_WORD, FIELD_AREA, FIELD_TEXT };

struct RecordField {
  const char *name;
  int32_t offset;
  int32_t size;
  RecordFieldKind kind;
};

// Every field in record order, from INSTALL_RECORD_FIELDS.
extern const RecordField RECORD_FIELDS[];
extern const size_t RECORD_FIELD_COUNT;

// The field at offset, or nullptr.
const RecordField *record_field_at(int32_t offset);
