// A PE image's resources as a plain list, read from and laid out into a
// resource section (the three-level tree of type, name and language that
// Windows searches), and the stub rewritten around a new resource section.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum : uint16_t {
  RT_ICON_TYPE = 3,
  RT_DIALOG_TYPE = 5,
  RT_GROUP_ICON_TYPE = 14,
  RT_VERSION_TYPE = 16,
  LANGUAGE_EN_US = 1033,
};

// A type or a name: a 16-bit number, or (named) a UTF-16 string.
struct ResourceKey {
  bool named = false;
  uint16_t number = 0;
  std::u16string name;
};

inline ResourceKey resource_number(uint16_t number) {
  ResourceKey key;
  key.number = number;
  return key;
}

struct Resource {
  ResourceKey type;
  ResourceKey name;
  uint16_t language = 0;
  uint32_t codepage = 0;  // the data entry's CodePage field, kept as read
  std::vector<uint8_t> data;
  uint32_t data_rva = 0;  // where the data was read from; laying out ignores it
};

struct ResourceList {
  bool ok = false;
  std::string problem;              // one line, with the offset in the section
  std::vector<Resource> resources;  // in directory order: type, name, language
};

// Reads the resource tree in section[0 .. size), which the image maps at rva.
// Every directory, entry, name string, data entry and the data itself must lie
// in those bytes; the tree must be three levels deep (type, name, language,
// then data entries), its named entries before its numbered ones, numbers
// ascending, and no directory reached twice.
ResourceList parse_resource_tree(const uint8_t *section, size_t size, uint32_t rva);

// The resource directory of a whole image (or of its first size bytes): the
// tree its resource data directory points at, inside that directory's
// section. An image without resources gives an empty list.
ResourceList read_image_resources(const uint8_t *image, size_t size);

struct ResourceSection {
  bool ok = false;
  std::string problem;
  std::vector<uint8_t> bytes;
};

// Lays the resources out as a resource section mapped at rva. In this order:
// the directory tables, breadth first (root, the types' name tables, the
// names' language tables), each with its named entries first, in ascending
// order of their names compared without regard to ASCII case, then its
// numbered entries in ascending order; then the name strings; then the data
// entries; then each resource's data, starting on an 8-byte boundary. Time
// stamps and versions are zero, so the same list gives the same bytes. Two
// resources with the same type, name and language are refused.
ResourceSection lay_out_resources(const std::vector<Resource> &resources, uint32_t rva);

struct ImageRewrite {
  bool ok = false;
  std::string problem;
  std::vector<uint8_t> image;
};

// The stub with its resources replaced by these. The stub must be a bare
// image (nothing after its last section, no signature) whose resource section
// is its last section and begins with the resource tree. The section is laid
// out anew at its address; everything before it stays byte for byte, so
// nothing in the other sections moves. Updated: the section's VirtualSize
// (the tree's length) and SizeOfRawData (that, to FileAlignment), SizeOfImage
// (to SectionAlignment), SizeOfInitializedData (by the change in raw size),
// the resource data directory (RVA and length), and the CheckSum when the
// stub had one (over the whole new image).
ImageRewrite replace_resources(const std::vector<uint8_t> &stub, const std::vector<Resource> &resources);

// The first resource of this numbered type and name in that language, or
// nullptr.
const Resource *find_resource(const std::vector<Resource> &resources, uint16_t type, uint16_t name, uint16_t language);
