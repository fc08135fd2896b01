#include "package/version_info.h"

#include <new>

#include "codec/common/byte_order.h"
#include "package/hex_text.h"

namespace {

const uint32_t FIXED_SIGNATURE = 0xFEEF04BD;
const uint32_t FIXED_STRUCTURE_VERSION = 0x00010000;
const uint32_t FIXED_FLAGS_MASK = 0x3F;  // VS_FFI_FILEFLAGSMASK
const uint32_t VOS_WINDOWS32 = 0x00000004;
const uint32_t VFT_APP = 0x00000001;
const size_t FIXED_SIZE = 52;
const uint16_t LANGUAGE = 0x0409;
const uint16_t BINARY = 0, TEXT = 1;

std::u16string ascii16(const char *text) {
  std::u16string out;
  while (*text) out += static_cast<char16_t>(*text++);
  return out;
}

// "040904E4": the language and code page as eight upper-case hex digits.
std::u16string table_key(int codepage) {
  const char digits[] = "0123456789ABCDEF";
  const uint32_t value = static_cast<uint32_t>(LANGUAGE) << 16 | static_cast<uint16_t>(codepage);
  std::u16string key;
  for (int shift = 28; shift >= 0; shift -= 4) key += static_cast<char16_t>(digits[value >> shift & 0xF]);
  return key;
}

// Blocks of the version resource, each begun on a 32-bit boundary and closed
// when its children are written.
class BlockWriter {
 public:
  size_t begin(const std::u16string &key, uint16_t value_length, uint16_t type) {
    pad();
    const size_t at = out.size();
    put16(0);
    put16(value_length);
    put16(type);
    for (char16_t c : key) put16(c);
    put16(0);
    pad();
    return at;
  }
  void end(size_t at) { write_le16(out.data() + at, static_cast<uint16_t>(out.size() - at)); }
  void put16(uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  }
  void put32(uint32_t v) {
    put16(static_cast<uint16_t>(v));
    put16(static_cast<uint16_t>(v >> 16));
  }
  void pad() {
    while (out.size() % 4) out.push_back(0);
  }
  void text_block(const std::u16string &key, const std::u16string &value) {
    const size_t at = begin(key, static_cast<uint16_t>(value.size() + 1), TEXT);
    for (char16_t c : value) put16(c);
    put16(0);
    end(at);
  }
  std::vector<uint8_t> out;
};

void put_fixed(BlockWriter *w, const uint16_t v[4]) {
  const uint32_t ms = static_cast<uint32_t>(v[0]) << 16 | v[1], ls = static_cast<uint32_t>(v[2]) << 16 | v[3];
  const uint32_t words[13] = {
      FIXED_SIGNATURE, FIXED_STRUCTURE_VERSION, ms, ls, ms, ls, FIXED_FLAGS_MASK, 0, VOS_WINDOWS32, VFT_APP, 0, 0, 0};
  for (uint32_t word : words) w->put32(word);
}

VersionResource make_resource(const VersionFields &f) {
  VersionResource r;
  VersionNumber number;
  if (!f.product_version.empty()) {
    number = parse_version_number(f.product_version);
    if (!number.ok) {
      r.problem = "version information: product version '" + f.product_version + "': " + number.problem;
      return r;
    }
  }
  if (!codepage_known(f.codepage)) {
    r.problem = "version information: code page " + std::to_string(f.codepage) + " is not one of " + known_codepages();
    return r;
  }
  const struct {
    const char *key;
    const std::string *value;
  } strings[] = {{"ProductName", &f.product_name},           {"ProductVersion", &f.product_version},
                 {"FileVersion", &f.product_version},        {"CompanyName", &f.company},
                 {"LegalCopyright", &f.copyright},           {"FileDescription", &f.description},
                 {"OriginalFilename", &f.original_file_name}};
  BlockWriter w;
  const size_t root = w.begin(ascii16("VS_VERSION_INFO"), FIXED_SIZE, BINARY);
  put_fixed(&w, number.parts);
  const size_t file_info = w.begin(ascii16("StringFileInfo"), 0, TEXT);
  const size_t table = w.begin(table_key(f.codepage), 0, TEXT);
  for (const auto &s : strings) {
    if (s.value->empty()) continue;
    if (s.value->find('\0') != std::string::npos) {
      r.problem = std::string("version information: the ") + s.key + " text holds a zero byte";
      return r;
    }
    w.text_block(ascii16(s.key), codepage_to_utf16(*s.value, f.codepage));
    if (w.out.size() > 0xFFFF) break;
  }
  w.end(table);
  w.end(file_info);
  const size_t var_info = w.begin(ascii16("VarFileInfo"), 0, TEXT);
  const size_t translation = w.begin(ascii16("Translation"), 4, BINARY);
  w.put16(LANGUAGE);
  w.put16(static_cast<uint16_t>(f.codepage));
  w.end(translation);
  w.end(var_info);
  if (w.out.size() > 0xFFFF) {
    r.problem = "version information: " + std::to_string(w.out.size()) + " bytes, past the 65535 a resource may hold";
    return r;
  }
  w.end(root);
  r.data.swap(w.out);
  r.ok = true;
  return r;
}

// ---- reading

size_t align4(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

struct Block {
  uint16_t type = 0;
  std::u16string key;
  size_t value_at = 0, value_size = 0;
  size_t children_at = 0, end = 0;
};

// The block at `at`, which must end by limit.
bool read_block(const uint8_t *d, size_t at, size_t limit, Block *b, std::string *problem) {
  const size_t length = at + 6 <= limit ? read_le16(d + at) : 0;
  if (length < 6 || length > limit - at) {
    *problem = "the block at offset " + hex_text(at) + " runs past its parent (offset " + hex_text(limit) + ")";
    return false;
  }
  *b = Block();
  b->end = at + length;
  const uint16_t value_length = read_le16(d + at + 2);
  b->type = read_le16(d + at + 4);
  size_t p = at + 6;
  for (; p + 2 <= b->end && read_le16(d + p); p += 2) b->key += static_cast<char16_t>(read_le16(d + p));
  if (p + 2 > b->end) {
    *problem = "the key of the block at offset " + hex_text(at) + " is not terminated inside it";
    return false;
  }
  b->value_at = align4(p + 2);
  b->value_size = b->type == TEXT ? 2 * static_cast<size_t>(value_length) : value_length;
  if (b->value_at > b->end) b->value_at = b->end;
  if (b->value_size > b->end - b->value_at) {
    if (b->type != TEXT) {
      *problem = "the value of the block at offset " + hex_text(at) + " runs past its end";
      return false;
    }
    b->value_size = b->end - b->value_at;  // some tools count a text's bytes, not its characters
  }
  b->children_at = align4(b->value_at + b->value_size);
  return true;
}

// The blocks inside parent, through *children.
bool read_children(const uint8_t *d, const Block &parent, std::vector<Block> *children, std::string *problem) {
  for (size_t at = parent.children_at; at + 6 <= parent.end;) {
    Block child;
    if (!read_block(d, at, parent.end, &child, problem)) return false;
    children->push_back(child);
    at = align4(child.end);
  }
  return true;
}

void append_utf8(std::string *out, uint32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
    return;
  }
  const int more = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  const uint32_t lead[] = {0, 0xC0, 0xE0, 0xF0};
  *out += static_cast<char>(lead[more] | (c >> (6 * more)));
  for (int i = more - 1; i >= 0; --i) *out += static_cast<char>(0x80 | (c >> (6 * i) & 0x3F));
}

std::string utf8_of(const std::u16string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    else if (c >= 0xD800 && c < 0xE000)
      c = 0xFFFD;
    append_utf8(&out, c);
  }
  return out;
}

std::string text_value(const uint8_t *d, const Block &b) {
  std::u16string text;
  for (size_t p = b.value_at; p + 2 <= b.value_at + b.value_size && read_le16(d + p); p += 2)
    text += static_cast<char16_t>(read_le16(d + p));
  return utf8_of(text);
}

bool read_fixed(const uint8_t *d, const Block &root, VersionRead *v) {
  if (root.key != ascii16("VS_VERSION_INFO") || root.value_size < FIXED_SIZE ||
      read_le32(d + root.value_at) != FIXED_SIGNATURE) {
    v->problem = "version information: not a VS_VERSIONINFO with its fixed part (signature 0xFEEF04BD)";
    return false;
  }
  const uint8_t *f = d + root.value_at;
  const uint32_t words[4] = {read_le32(f + 8), read_le32(f + 12), read_le32(f + 16), read_le32(f + 20)};
  for (int i = 0; i < 4; ++i) {
    uint16_t *parts = i < 2 ? v->file_version : v->product_version;
    parts[2 * (i % 2)] = static_cast<uint16_t>(words[i] >> 16);
    parts[2 * (i % 2) + 1] = static_cast<uint16_t>(words[i]);
  }
  v->file_os = read_le32(f + 32);
  v->file_type = read_le32(f + 36);
  return true;
}

bool read_version(const uint8_t *d, size_t size, VersionRead *v) {
  Block root;
  std::vector<Block> top;
  std::string problem;
  if (!read_block(d, 0, size, &root, &problem) || !read_fixed(d, root, v) || !read_children(d, root, &top, &problem)) {
    if (v->problem.empty()) v->problem = "version information: " + problem;
    return false;
  }
  for (const Block &info : top) {
    std::vector<Block> tables;
    if (!read_children(d, info, &tables, &problem)) break;
    if (info.key == ascii16("StringFileInfo") && !tables.empty() && v->table_key.empty()) {
      v->table_key = utf8_of(tables[0].key);
      std::vector<Block> strings;
      if (!read_children(d, tables[0], &strings, &problem)) break;
      for (const Block &s : strings) v->strings.push_back({utf8_of(s.key), text_value(d, s)});
    } else if (info.key == ascii16("VarFileInfo")) {
      for (const Block &var : tables)
        if (var.key == ascii16("Translation"))
          for (size_t p = var.value_at; p + 4 <= var.value_at + var.value_size; p += 4)
            v->translations.push_back(read_le32(d + p));
    }
  }
  if (!problem.empty()) v->problem = "version information: " + problem;
  return problem.empty();
}

}  // namespace

VersionNumber parse_version_number(const std::string &text) {
  VersionNumber v;
  try {
    size_t part = 0, at = 0;
    for (;; ++part) {
      const size_t dot = text.find('.', at);
      const std::string digits = text.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
      const std::string which = "part " + std::to_string(part + 1);
      if (part == 4) {
        v.problem = "more than four parts";
        return v;
      }
      if (digits.empty()) {
        v.problem = which + " is empty";
        return v;
      }
      uint32_t value = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') {
          v.problem = which + " ('" + digits + "') is not a number";
          return v;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
        if (value > 0xFFFF) {
          v.problem = which + " (" + digits + ") is over 65535";
          return v;
        }
      }
      v.parts[part] = static_cast<uint16_t>(value);
      if (dot == std::string::npos) break;
      at = dot + 1;
    }
    v.ok = true;
  } catch (const std::bad_alloc &) {
    v.problem = "out of memory";
  }
  return v;
}

std::string version_number_text(const uint16_t parts[4]) try {
  return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
         std::to_string(parts[3]);
} catch (const std::bad_alloc &) {
  return std::string();
}

VersionResource make_version_resource(const VersionFields &fields) {
  try {
    return make_resource(fields);
  } catch (const std::bad_alloc &) {
    VersionResource r;
    r.problem = "version information: out of memory";
    return r;
  }
}

VersionRead read_version_resource(const uint8_t *data, size_t size) {
  VersionRead v;
  try {
    v.ok = read_version(data, size, &v);
  } catch (const std::bad_alloc &) {
    v.problem = "version information: out of memory";
  }
  return v;
}
