#include "format/payload.h"

#include <string.h>

#include "format/file_name.h"

namespace {

enum Presence : uint8_t {
  ALWAYS,
  WHEN_SIZE_SET,             // the size word is not 0
  WHEN_COMPRESSED_SIZE_SET,  // compressed, and the size word is not 0
};

// One row per item, in payload order, which is PayloadRole's order.
struct ItemLayout {
  uint8_t key;
  uint8_t new_file;
  uint8_t presence;
  uint8_t size_offset;
  uint8_t name_offset;
};

// The table at the top of payload.h, row by row.
constexpr ItemLayout LAYOUT[MAX_PAYLOAD_ITEMS] = {
    {KEY_EXTRA, 1, WHEN_SIZE_SET, OFFSET_EXTRA_SIZE, OFFSET_EXTRA_FILE_NAME},
    {KEY_MAIN, 1, ALWAYS, OFFSET_MAIN_SIZE, OFFSET_MAIN_FILE_NAME},
    {KEY_MAIN, 0, WHEN_COMPRESSED_SIZE_SET, OFFSET_MAIN_PART2_SIZE, OFFSET_MAIN_FILE_NAME},
    {KEY_MAIN, 0, WHEN_COMPRESSED_SIZE_SET, OFFSET_MAIN_PART3_SIZE, OFFSET_MAIN_FILE_NAME},
    {KEY_SECOND, 1, ALWAYS, OFFSET_SECOND_SIZE, OFFSET_SECOND_FILE_NAME},
};
static_assert(LAYOUT[ROLE_MAIN_PART3].size_offset == OFFSET_MAIN_PART3_SIZE &&
                  LAYOUT[ROLE_SECOND].name_offset == OFFSET_SECOND_FILE_NAME,
              "the rows are in PayloadRole order");

}  // namespace

int32_t plan_payload(const InstallConfig *record, PayloadItem *items) {
  const int compressed = (record->flags & FLAG_COMPRESSED) != 0;
  int32_t count = 0;
  for (int32_t row = 0; row < MAX_PAYLOAD_ITEMS; ++row) {
    const ItemLayout &layout = LAYOUT[row];
    uint32_t size;
    memcpy(&size, reinterpret_cast<const uint8_t *>(record) + layout.size_offset, sizeof size);
    if (layout.presence != ALWAYS && (size == 0 || (layout.presence == WHEN_COMPRESSED_SIZE_SET && !compressed)))
      continue;
    PayloadItem &item = items[count++];
    item.role = static_cast<PayloadRole>(row);
    item.size = size;
    item.key = layout.key;
    item.new_file = layout.new_file;
    item.name_offset = layout.name_offset;
  }
  return count;
}

int payload_names_distinct(const InstallConfig *record) {
  PayloadItem items[MAX_PAYLOAD_ITEMS];
  const int32_t count = plan_payload(record, items);
  for (int32_t i = 0; i < count; ++i)
    for (int32_t j = i + 1; j < count; ++j)
      if (items[i].new_file && items[j].new_file &&
          file_names_clash(record_text(record, items[i].name_offset), record_text(record, items[j].name_offset)))
        return 0;
  return 1;
}
