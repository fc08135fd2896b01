#include "tools/record_words.h"

#include <stdio.h>
#include <string.h>

#include "format/file_name.h"

std::string text_slot_value(const InstallConfig &record, int32_t offset) {
  const char *slot = record_text(&record, offset);
  const void *zero = memchr(slot, 0, TEXT_SLOT_SIZE);
  size_t length = zero ? static_cast<size_t>(static_cast<const char *>(zero) - slot) : size_t{TEXT_SLOT_SIZE};
  return std::string(slot, length);
}

const char *file_name_problem(const std::string &name) {
  // A zero inside the name would cut it short where the installer reads it.
  if (name.find('\0') != std::string::npos) return "the name contains a control character";
  switch (file_name_fault(name.c_str())) {
    case FILE_NAME_PLAIN: return nullptr;
    case FILE_NAME_EMPTY: return "the name is empty";
    case FILE_NAME_DIRECTORY: return "the name is a directory reference";
    case FILE_NAME_TOO_LONG: return "the name is longer than 63 bytes";
    case FILE_NAME_SEPARATOR: return "the name contains a path separator";
    case FILE_NAME_COLON: return "the name contains a colon (drive or stream)";
    case FILE_NAME_CONTROL: return "the name contains a control character";
    case FILE_NAME_FORBIDDEN: return "the name contains a character Windows does not allow in file names";
    case FILE_NAME_DEVICE:
      return "the name is a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CLOCK$, CONIN$, CONOUT$)";
    case FILE_NAME_TRAILING: return "the name ends in a dot or a space, which Windows drops";
  }
  return "the name is not a plain file name";
}

std::string describe_seal(const SealCheck &check) {
  if (!check.seal.present) return "integrity: not sealed (no whole-installer check)";
  char line[256];
  const char *payload_state = check.payload_ok ? "ok" : "MISMATCH";
  if (check.trailing_bytes < 0) payload_state = "MISMATCH (file too short)";
  snprintf(line, sizeof line, "integrity: sealed, record CRC-32 %08x %s, payload %u bytes CRC-32 %08x %s",
           check.seal.record_crc, check.record_ok ? "ok" : "MISMATCH", check.seal.payload_length,
           check.seal.payload_crc, payload_state);
  std::string text = line;
  if (check.trailing_bytes > 0) {
    snprintf(line, sizeof line, ", %lld bytes appended after it (not checked)",
             static_cast<long long>(check.trailing_bytes));
    text += line;
  }
  return text;
}
