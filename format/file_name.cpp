#include "format/file_name.h"

#include "format/record.h"

namespace {

// 1 when the first length characters of name are word, in any case ('$'
// folds to itself).
int starts_with_folded(const char *name, int32_t length, const char *word) {
  for (int32_t i = 0; i < length; ++i)
    if (word[i] == 0 || (name[i] | 0x20) != word[i]) return 0;
  return word[length] == 0;
}

// 1 when the first length characters of name are one of words (each ended by
// a zero, the list by an empty word), in any case.
int is_folded_word_of(const char *name, int32_t length, const char *words) {
  for (; *words != 0; ++words) {
    if (starts_with_folded(name, length, words)) return 1;
    while (*words != 0) ++words;
  }
  return 0;
}

// The part before the first dot, without the spaces that end it, is what
// Windows compares with its device names; COM1-COM9 and LPT1-LPT9 are the
// ones with a digit.
int is_device_name(const char *name) {
  int32_t length = 0;
  while (name[length] != 0 && name[length] != '.') ++length;
  while (length > 0 && name[length - 1] == ' ') --length;
  if (length == 4 && name[3] >= '1' && name[3] <= '9') return is_folded_word_of(name, 3, "com\0lpt\0");
  return is_folded_word_of(name, length, "con\0prn\0aux\0nul\0clock$\0conin$\0conout$\0");
}

// The length of name without the dots and spaces that end it.
int32_t length_without_trailing(const char *name) {
  int32_t kept = 0;
  for (int32_t i = 0; name[i] != 0; ++i)
    if (name[i] != '.' && name[i] != ' ') kept = i + 1;
  return kept;
}

uint8_t fold_letter(uint8_t c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 0x20);
  return c >= 0xE0 ? static_cast<uint8_t>(c - 0x20) : c;
}

enum { NAME_BUDGET = 8, EXTENSION_BUDGET = 4 };

int is_name_character(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// 1 when the first length bytes of a and b are the same, letters folded.
int folded_prefix_equal(const char *a, const char *b, int32_t length) {
  for (int32_t i = 0; i < length; ++i)
    if (fold_letter(static_cast<uint8_t>(a[i])) != fold_letter(static_cast<uint8_t>(b[i]))) return 0;
  return 1;
}

}  // namespace

FileNameFault file_name_fault(const char *name) {
  if (name[0] == 0) return FILE_NAME_EMPTY;
  if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) return FILE_NAME_DIRECTORY;
  int32_t length = 0;
  while (name[length] != 0)
    if (++length > TEXT_SLOT_SIZE - 1) return FILE_NAME_TOO_LONG;
  // Refused characters: the two separators, the colon, then the ones that
  // are FILE_NAME_FORBIDDEN.
  static const char REFUSED[] = "\\/:<>\"|?*";
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p) {
    if (*p < 0x20 || *p == 0x7F) return FILE_NAME_CONTROL;
    for (int32_t i = 0; REFUSED[i] != 0; ++i)
      if (*p == static_cast<unsigned char>(REFUSED[i]))
        return i < 2 ? FILE_NAME_SEPARATOR : i == 2 ? FILE_NAME_COLON : FILE_NAME_FORBIDDEN;
  }
  if (is_device_name(name)) return FILE_NAME_DEVICE;
  return length_without_trailing(name) != length ? FILE_NAME_TRAILING : FILE_NAME_PLAIN;
}

int file_names_clash(const char *a, const char *b) {
  const int32_t length = length_without_trailing(a);
  return length_without_trailing(b) == length && folded_prefix_equal(a, b, length);
}

int text_equal_folded(const char *a, const char *b) {
  int32_t length = 0;
  while (a[length] != 0 && b[length] != 0) ++length;
  return a[length] == b[length] && folded_prefix_equal(a, b, length);
}

int file_name_has_short_shape(const char *name) {
  int budget = NAME_BUDGET;
  int separator_seen = 0;
  for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p != 0; ++p) {
    if (!is_name_character(*p)) {
      if (*p < 0x2E || *p > 0x7F || separator_seen) return 0;
      separator_seen = 1;
      budget = EXTENSION_BUDGET;
    }
    if (budget == 0) return 0;
    --budget;
  }
  return 1;
}
