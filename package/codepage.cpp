#include "package/codepage.h"

#include "package/codepage_tables.h"

namespace {

const CodepageTable *table_of(int codepage) {
  for (const CodepageTable &table : CODEPAGE_TABLES)
    if (table.codepage == codepage) return &table;
  return nullptr;
}

const uint32_t REPLACEMENT = 0xFFFD;

// The next character of UTF-8 text at *at, advancing *at; REPLACEMENT for a
// byte that does not begin a well-formed, shortest-form sequence.
uint32_t next_utf8(const std::string &text, size_t *at) {
  const unsigned char lead = static_cast<unsigned char>(text[(*at)++]);
  if (lead < 0x80) return lead;
  int more = lead >= 0xF0 && lead <= 0xF4 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : -1;
  if (more < 0 || *at + more > text.size()) return REPLACEMENT;
  uint32_t c = lead & (0x3F >> more);
  for (int i = 0; i < more; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[*at + i]);
    if ((next & 0xC0) != 0x80) return REPLACEMENT;
    c = c << 6 | (next & 0x3F);
  }
  *at += more;
  const uint32_t shortest[] = {0, 0x80, 0x800, 0x10000};
  if (c < shortest[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return REPLACEMENT;
  return c;
}

void append_utf8(std::string *out, uint32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | c >> 18);
    *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The code page's byte for character c, or -1.
int byte_for(const CodepageTable &table, uint32_t c) {
  if (c < 0x80) return static_cast<int>(c);
  for (int i = 0; i < 128; ++i)
    if (table.characters[i] == c) return 0x80 + i;
  return -1;
}

uint32_t character_of(const CodepageTable &table, unsigned char b) {
  if (b < 0x80) return b;
  const uint32_t c = table.characters[b - 0x80];
  return c ? c : REPLACEMENT;
}

bool encode_character(const CodepageTable *table, uint32_t c, std::string *out, uint32_t *bad) {
  const int b = c == REPLACEMENT || !table ? -1 : byte_for(*table, c);
  if (b < 0) {
    *bad = c;
    return false;
  }
  *out += static_cast<char>(b);
  return true;
}

}  // namespace

bool codepage_known(int codepage) { return table_of(codepage) != nullptr; }

std::string known_codepages() {
  std::string list;
  for (const CodepageTable &table : CODEPAGE_TABLES)
    list += (list.empty() ? "" : ", ") + std::to_string(table.codepage);
  return list;
}

bool utf8_to_codepage(const std::string &utf8, int codepage, std::string *out, uint32_t *bad) {
  const CodepageTable *table = table_of(codepage);
  out->clear();
  for (size_t at = 0; at < utf8.size();)
    if (!encode_character(table, next_utf8(utf8, &at), out, bad)) return false;
  return true;
}

bool utf16_to_codepage(const std::u16string &utf16, int codepage, std::string *out, uint32_t *bad) {
  const CodepageTable *table = table_of(codepage);
  out->clear();
  for (size_t at = 0; at < utf16.size(); ++at) {
    uint32_t c = utf16[at];
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < utf16.size() && utf16[at + 1] >= 0xDC00 && utf16[at + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++at] - 0xDC00);
    if (!encode_character(table, c, out, bad)) return false;
  }
  return true;
}

std::string codepage_to_utf8(const std::string &text, int codepage) {
  const CodepageTable *table = table_of(codepage);
  std::string out;
  for (unsigned char b : text) append_utf8(&out, table ? character_of(*table, b) : b < 0x80 ? b : REPLACEMENT);
  return out;
}

std::u16string codepage_to_utf16(const std::string &text, int codepage) {
  const CodepageTable *table = table_of(codepage);
  std::u16string out;
  for (unsigned char b : text)
    out += static_cast<char16_t>(table ? character_of(*table, b) : b < 0x80 ? b : REPLACEMENT);
  return out;
}

std::u16string utf8_to_utf16(const std::string &utf8) {
  std::u16string out;
  for (size_t at = 0; at < utf8.size();) {
    const uint32_t c = next_utf8(utf8, &at);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

std::string utf16_to_utf8(const std::u16string &utf16) {
  std::string out;
  for (size_t at = 0; at < utf16.size(); ++at) {
    uint32_t c = utf16[at];
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < utf16.size() && utf16[at + 1] >= 0xDC00 && utf16[at + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++at] - 0xDC00);
    else if (c >= 0xD800 && c <= 0xDFFF)
      c = REPLACEMENT;
    append_utf8(&out, c);
  }
  return out;
}

uint8_t codepage_upper(uint8_t c, int codepage) {
  if (c >= 'a' && c <= 'z') return static_cast<uint8_t>(c - 'a' + 'A');
  const CodepageTable *table = table_of(codepage);
  return c >= 0x80 && table ? table->upper[c - 0x80] : c;
}

std::string describe_character(uint32_t character) {
  char code[16];
  const char *digits = "0123456789ABCDEF";
  int n = 0;
  for (int shift = character > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) code[n++] = digits[character >> shift & 15];
  std::string text;
  if (character >= 0x20 && character != 0x7F && character != REPLACEMENT) {
    text = "'";
    append_utf8(&text, character);
    text += "' ";
  }
  return text + "(U+" + std::string(code, n) + ")";
}
