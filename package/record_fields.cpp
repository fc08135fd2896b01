#include "package/record_fields.h"

#include <type_traits>

#define FIELD_WORD_ROW(type, name, NAME, offset) \
  {#name, offset, 4, std::is_signed<type>::value ? FIELD_SIGNED_WORD : FIELD_WORD},
#define FIELD_AREA_ROW(name, NAME, offset, size) {#name, offset, size, FIELD_AREA},
#define FIELD_TEXT_ROW(name, NAME, offset) {#name, offset, TEXT_SLOT_SIZE, FIELD_TEXT},
const RecordField RECORD_FIELDS[] = {INSTALL_RECORD_FIELDS(FIELD_WORD_ROW, FIELD_AREA_ROW, FIELD_TEXT_ROW)};
#undef FIELD_WORD_ROW
#undef FIELD_AREA_ROW
#undef FIELD_TEXT_ROW
const size_t RECORD_FIELD_COUNT = sizeof RECORD_FIELDS / sizeof RECORD_FIELDS[0];

const RecordField *record_field_at(int32_t offset) {
  for (const RecordField &field : RECORD_FIELDS)
    if (field.offset == offset) return &field;
  return nullptr;
}
