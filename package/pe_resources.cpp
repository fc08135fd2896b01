// Reading the resource tree. The layout and the stub's rewrite are in
// pe_resource_layout.cpp.
#include <new>
#include <set>

#include "codec/common/byte_order.h"
#include "package/hex_text.h"
#include "package/pe_image.h"
#include "package/pe_resources.h"

namespace {

const uint32_t HIGH_BIT = 0x80000000u;
const size_t TABLE_SIZE = 16;
const size_t ENTRY_SIZE = 8;
const size_t DATA_ENTRY_SIZE = 16;
const int LANGUAGE_LEVEL = 2;

const char *const LEVEL_NAMES[] = {"type", "name", "language"};

class TreeReader {
 public:
  TreeReader(const uint8_t *section, size_t size, uint32_t rva, std::vector<Resource> *out)
      : section_(section), size_(size), rva_(rva), out_(out) {}

  // Reads the directory at offset, which sits at level (0 the types) with the
  // keys above it in *path.
  bool walk(uint64_t offset, int level, Resource *path);
  std::string problem;

 private:
  bool fail(const std::string &what) {
    problem = "resources: " + what;
    return false;
  }
  bool read_key(uint32_t field, uint64_t entry_at, ResourceKey *key);
  bool read_leaf(uint32_t target, uint64_t entry_at, Resource *path);

  const uint8_t *section_;
  size_t size_;
  uint32_t rva_;
  std::vector<Resource> *out_;
  std::set<uint64_t> visited_;
};

bool TreeReader::read_key(uint32_t field, uint64_t entry_at, ResourceKey *key) {
  *key = ResourceKey();
  if (!(field & HIGH_BIT)) {
    if (field > 0xFFFF) return fail("the entry at section offset " + hex_text(entry_at) + " has id " + hex_text(field));
    key->number = static_cast<uint16_t>(field);
    return true;
  }
  const uint64_t at = field & ~HIGH_BIT;
  if (at + 2 > size_ || at + 2 + 2 * static_cast<uint64_t>(read_le16(section_ + at)) > size_)
    return fail("the name of the entry at section offset " + hex_text(entry_at) + " lies outside the section (offset " +
                hex_text(at) + ")");
  key->named = true;
  const size_t length = read_le16(section_ + at);
  for (size_t i = 0; i < length; ++i) key->name += static_cast<char16_t>(read_le16(section_ + at + 2 + 2 * i));
  return true;
}

bool TreeReader::read_leaf(uint32_t target, uint64_t entry_at, Resource *path) {
  if (target & HIGH_BIT)
    return fail("the language entry at section offset " + hex_text(entry_at) + " points at a directory, not at data");
  if (static_cast<uint64_t>(target) + DATA_ENTRY_SIZE > size_)
    return fail("the data entry at section offset " + hex_text(target) + " lies outside the section");
  const uint8_t *d = section_ + target;
  const uint32_t data_rva = read_le32(d);
  const uint32_t length = read_le32(d + 4);
  const uint64_t start = static_cast<uint64_t>(data_rva) - rva_;
  if (data_rva < rva_ || start > size_ || length > size_ - start)
    return fail("the data of the entry at section offset " + hex_text(target) + " lies outside the section (RVA " +
                hex_text(data_rva) + ", " + std::to_string(length) + " bytes)");
  path->codepage = read_le32(d + 8);
  path->data_rva = data_rva;
  path->data.assign(section_ + start, section_ + start + length);
  out_->push_back(*path);
  return true;
}

bool TreeReader::walk(uint64_t offset, int level, Resource *path) {
  const std::string where =
      "the " + std::string(LEVEL_NAMES[level]) + " directory at section offset " + hex_text(offset);
  if (offset + TABLE_SIZE > size_) return fail(where + " lies outside the section");
  if (!visited_.insert(offset).second) return fail(where + " is reached twice");
  const uint8_t *table = section_ + offset;
  const size_t named = read_le16(table + 12);
  const size_t count = named + read_le16(table + 14);
  if (offset + TABLE_SIZE + ENTRY_SIZE * count > size_)
    return fail(where + ": its " + std::to_string(count) + " entries run past the section's end");
  int64_t last_number = -1;
  for (size_t i = 0; i < count; ++i) {
    const uint64_t entry_at = offset + TABLE_SIZE + ENTRY_SIZE * i;
    const uint32_t field = read_le32(section_ + entry_at);
    const uint32_t target = read_le32(section_ + entry_at + 4);
    if (((field & HIGH_BIT) != 0) != (i < named))
      return fail(where + ": entry " + std::to_string(i + 1) + " is not where its kind belongs (names first)");
    ResourceKey key;
    if (!read_key(field, entry_at, &key)) return false;
    if (!key.named) {
      if (key.number <= last_number)
        return fail(where + ": ids not in ascending order at entry " + std::to_string(i + 1));
      last_number = key.number;
    }
    if (level == LANGUAGE_LEVEL) {
      if (key.named) return fail(where + " holds a named language");
      path->language = key.number;
      if (!read_leaf(target, entry_at, path)) return false;
      continue;
    }
    if (!(target & HIGH_BIT))
      return fail("the " + std::string(LEVEL_NAMES[level]) + " entry at section offset " + hex_text(entry_at) +
                  " points at data, not at a directory");
    (level == 0 ? path->type : path->name) = key;
    if (!walk(target & ~HIGH_BIT, level + 1, path)) return false;
  }
  return true;
}

}  // namespace

ResourceList parse_resource_tree(const uint8_t *section, size_t size, uint32_t rva) {
  ResourceList list;
  try {
    TreeReader reader(section, size, rva, &list.resources);
    Resource path;
    list.ok = reader.walk(0, 0, &path);
    list.problem = reader.problem;
  } catch (const std::bad_alloc &) {
    list.ok = false;
    list.problem = "resources: out of memory";
  }
  if (!list.ok) list.resources.clear();
  return list;
}

ResourceList read_image_resources(const uint8_t *image, size_t size) {
  ResourceList list;
  try {
    const PeParse parse = parse_pe_image(image, size, size);
    if (!parse.ok) {
      list.problem = parse.problem;
      return list;
    }
    const std::vector<PeDirectory> &directories = parse.image.directories;
    if (directories.size() <= PE_DIRECTORY_RESOURCE || directories[PE_DIRECTORY_RESOURCE].rva == 0) {
      list.ok = true;
      return list;
    }
    const PeDirectory &directory = directories[PE_DIRECTORY_RESOURCE];
    uint64_t offset = 0, available = 0;
    if (!pe_rva_to_offset(parse.image, directory.rva, &offset, &available) || directory.size > available) {
      list.problem = "resources: the resource directory (RVA " + hex_text(directory.rva) + ", " +
                     std::to_string(directory.size) + " bytes) lies outside its section's data";
      return list;
    }
    return parse_resource_tree(image + offset, static_cast<size_t>(available), directory.rva);
  } catch (const std::bad_alloc &) {
    list.problem = "resources: out of memory";
    return list;
  }
}

const Resource *find_resource(const std::vector<Resource> &resources, uint16_t type, uint16_t name, uint16_t language) {
  for (const Resource &r : resources)
    if (!r.type.named && r.type.number == type && !r.name.named && r.name.number == name && r.language == language)
      return &r;
  return nullptr;
}
