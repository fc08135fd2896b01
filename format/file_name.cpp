#include "format/file_name.h"

#include "format/record.h"

namespace {

// The part before the first dot, without the spaces that end it, is what
// Windows compares with its device names: packed into a word, lower case.
int is_device_name(const char *name) {
  int32_t length = 0;
  while (name[length] != 0 && name[length] != '.') ++length;
  while (length > 0 && name[length - 1] == ' ') --length;
  if (length != 3 && length != 4) return 0;
  uint32_t key = 0;
  for (int32_t i = 0; i < 3; ++i) key = key << 8 | static_cast<uint8_t>(name[i] | 0x20);
  if (length == 4)                                                                    // COM1-COM9, LPT1-LPT9
    return name[3] >= '1' && name[3] <= '9' && (key == 0x636F6D || key == 0x6C7074);  // "com", "lpt"
  return key == 0x636F6E || key == 0x70726E || key == 0x617578 || key == 0x6E756C;    // "con" "prn" "aux" "nul"
}

}  // namespace

FileNameFault file_name_fault(const char *name) {
  if (name[0] == 0) return FILE_NAME_EMPTY;
  if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) return FILE_NAME_DIRECTORY;
  int32_t length = 0;
  while (name[length] != 0)
    if (++length > TEXT_SLOT_SIZE - 1) return FILE_NAME_TOO_LONG;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p) {
    const unsigned char c = *p;
    if (c == '\\' || c == '/') return FILE_NAME_SEPARATOR;
    if (c == ':') return FILE_NAME_COLON;
    if (c < 0x20 || c == 0x7F) return FILE_NAME_CONTROL;
    for (const char *forbidden = "<>\"|?*"; *forbidden != 0; ++forbidden)
      if (c == static_cast<unsigned char>(*forbidden)) return FILE_NAME_FORBIDDEN;
  }
  return is_device_name(name) ? FILE_NAME_DEVICE : FILE_NAME_PLAIN;
}
