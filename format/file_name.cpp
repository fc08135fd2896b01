#include "format/file_name.h"

#include "format/record.h"

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
    if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') return FILE_NAME_FORBIDDEN;
  }
  return FILE_NAME_PLAIN;
}
