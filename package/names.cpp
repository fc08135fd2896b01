#include "package/names.h"

#include <string.h>

#include "format/file_name.h"
#include "package/codepage.h"

const char DEFAULT_FAILURE_TEXT[] = "The screen saver could not be installed.";
const char DEFAULT_BAD_HEADER_TEXT[] = "This installer is damaged.";

std::string display_name(const std::string &main_name) {
  size_t dot = main_name.rfind('.');
  std::string name = dot != std::string::npos && dot > 0 ? main_name.substr(0, dot) : main_name;
  bool has_upper = false, has_lower = false;
  for (char c : name) {
    has_upper = has_upper || (c >= 'A' && c <= 'Z');
    has_lower = has_lower || (c >= 'a' && c <= 'z');
  }
  if (has_upper != has_lower) {
    for (char &c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
  }
  return name;
}

std::string default_done_text(const std::string &main_name) {
  static const char TAIL[] = " is now your screen saver.";
  std::string name = display_name(main_name);
  size_t room = TEXT_SLOT_SIZE - 1 - (sizeof TAIL - 1);
  if (name.size() > room) name.resize(room);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name + TAIL;
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

bool names_are_one_file(const std::string &a, const std::string &b, int codepage) {
  if (file_names_clash(a.c_str(), b.c_str())) return true;
  auto trimmed = [](const std::string &name) {
    size_t end = name.size();
    while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' ')) --end;
    return name.substr(0, end);
  };
  const std::string x = trimmed(a), y = trimmed(b);
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i)
    if (codepage_upper(static_cast<uint8_t>(x[i]), codepage) != codepage_upper(static_cast<uint8_t>(y[i]), codepage))
      return false;
  return true;
}

std::string likely_short_name(const std::string &name) {
  if (file_name_has_short_shape(name.c_str())) return "";
  auto shorten = [](const std::string &part, size_t keep) {
    std::string out;
    for (unsigned char c : part) {
      if (out.size() == keep) break;
      if (c == ' ' || c == '.') continue;
      if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
      const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80 ||
                           (c != '+' && c != ',' && c != ';' && c != '=' && c != '[' && c != ']' && c > ' ');
      out += allowed ? static_cast<char>(c) : '_';
    }
    return out;
  };
  const size_t dot = name.rfind('.');
  const std::string base = shorten(dot == std::string::npos ? name : name.substr(0, dot), 6);
  const std::string extension = dot == std::string::npos ? "" : shorten(name.substr(dot + 1), 3);
  return base + "~1" + (extension.empty() ? "" : "." + extension);
}

std::string text_slot_value(const InstallConfig &record, int32_t offset) {
  const char *slot = record_text(&record, offset);
  const void *zero = memchr(slot, 0, TEXT_SLOT_SIZE);
  size_t length = zero ? static_cast<size_t>(static_cast<const char *>(zero) - slot) : size_t{TEXT_SLOT_SIZE};
  return std::string(slot, length);
}

bool text_in_codepage(const std::string &given, TextForm form, int codepage, const char *option, std::string *out,
                      std::string *error) {
  if (form == TEXT_CODEPAGE_BYTES) {
    *out = given;
    return true;
  }
  uint32_t bad = 0;
  if (utf8_to_codepage(given, codepage, out, &bad)) return true;
  if (!codepage_known(codepage))
    *error = "code page " + std::to_string(codepage) + " is not one this tool knows (" + known_codepages() + ")";
  else if (bad == 0xFFFD)
    *error = std::string(option) + ": the text is not UTF-8";
  else
    *error =
        std::string(option) + ": " + describe_character(bad) + " has no place in code page " + std::to_string(codepage);
  return false;
}
