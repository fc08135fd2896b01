#include "package/icon.h"

#include <new>

#include "codec/common/byte_order.h"
#include "package/pe_resources.h"

namespace {

const size_t ICONDIR_SIZE = 6;
const size_t ICO_ENTRY_SIZE = 16;
const size_t GROUP_ENTRY_SIZE = 14;
const size_t BITMAP_HEADER_SIZE = 40;  // BITMAPINFOHEADER
const uint8_t PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t read_be32(const uint8_t *p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
}

std::string size_text(uint32_t width, uint32_t height) { return std::to_string(width) + "x" + std::to_string(height); }

enum ImageKind { IMAGE_BITMAP, IMAGE_PNG, IMAGE_BAD };

struct Examined {
  ImageKind kind = IMAGE_BAD;
  std::string problem;
  IconImage image;  // a bitmap's fields; width and height for PNG too
};

bool is_png(const uint8_t *p, size_t n) {
  if (n < sizeof PNG_SIGNATURE) return false;
  for (size_t i = 0; i < sizeof PNG_SIGNATURE; ++i)
    if (p[i] != PNG_SIGNATURE[i]) return false;
  return true;
}

// A bitmap image's fields, checked so that every byte Windows will read from
// it is there. name is "image 3" for the messages.
Examined examine_bitmap(const uint8_t *p, size_t n, const std::string &name) {
  Examined e;
  const int32_t width = static_cast<int32_t>(read_le32(p + 4));
  const int32_t height2 = static_cast<int32_t>(read_le32(p + 8));
  const uint16_t planes = read_le16(p + 12);
  const uint16_t bits = read_le16(p + 14);
  const uint32_t compression = read_le32(p + 16);
  const uint32_t used = read_le32(p + 32);
  const std::string prefix = "icon file: " + name + " ";
  if (width < 1 || width > 256 || height2 < 2 || height2 > 512 || height2 % 2) {
    e.problem = prefix + "is a bitmap of " + std::to_string(width) + "x" + std::to_string(height2) +
                ", not an icon image of 1 to 256 pixels a side (with its mask, twice as high)";
    return e;
  }
  if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) || compression) {
    e.problem = prefix + "has " + std::to_string(planes) + " planes, " + std::to_string(bits) +
                " bits per pixel, compression " + std::to_string(compression) + ": not an icon bitmap";
    return e;
  }
  if (bits <= 8 && used > (1u << bits)) {
    e.problem =
        prefix + "claims " + std::to_string(used) + " palette colours at " + std::to_string(bits) + " bits per pixel";
    return e;
  }
  const uint64_t w = static_cast<uint64_t>(width), h = static_cast<uint64_t>(height2 / 2);
  const uint64_t palette = bits <= 8 && used == 0 ? 1u << bits : used;
  const uint64_t needed = BITMAP_HEADER_SIZE + 4 * palette + (w * bits + 31) / 32 * 4 * h + (w + 31) / 32 * 4 * h;
  if (n < needed) {
    e.problem = prefix + "is cut short: " + std::to_string(n) + " bytes, where a " + size_text(width, height2 / 2) +
                " bitmap of " + std::to_string(bits) + " bits per pixel needs " + std::to_string(needed);
    return e;
  }
  e.kind = IMAGE_BITMAP;
  e.image.width = static_cast<uint32_t>(w);
  e.image.height = static_cast<uint32_t>(h);
  e.image.colours = bits < 8 ? static_cast<uint8_t>(1u << bits) : 0;
  e.image.planes = planes;
  e.image.bit_count = bits;
  e.image.data.assign(p, p + n);
  return e;
}

// entry_width and entry_height: the directory's bytes (0 for 256), used for
// a PNG image without a header to read them from.
Examined examine_image(const uint8_t *p, size_t n, const std::string &name, uint8_t entry_width, uint8_t entry_height) {
  if (n >= BITMAP_HEADER_SIZE && read_le32(p) == BITMAP_HEADER_SIZE) return examine_bitmap(p, n, name);
  Examined e;
  if (!is_png(p, n)) {
    e.problem = "icon file: " + name + " is neither a bitmap (BITMAPINFOHEADER) nor a PNG image";
    return e;
  }
  e.kind = IMAGE_PNG;
  const bool header = n >= 24 && p[12] == 'I' && p[13] == 'H' && p[14] == 'D' && p[15] == 'R';
  e.image.width = header ? read_be32(p + 16) : entry_width ? entry_width : 256;
  e.image.height = header ? read_be32(p + 20) : entry_height ? entry_height : 256;
  return e;
}

// Keeps the bitmaps, notes the PNG images; false (with the problem in *read)
// on a bad image.
bool take_image(const Examined &e, IconRead *read, std::vector<std::string> *png_sizes) {
  if (e.kind == IMAGE_BAD) {
    read->problem = e.problem;
    return false;
  }
  if (e.kind == IMAGE_PNG)
    png_sizes->push_back(size_text(e.image.width, e.image.height));
  else
    read->images.push_back(e.image);
  return true;
}

void finish(IconRead *read, const std::vector<std::string> &png_sizes) {
  std::string sizes;
  for (const std::string &s : png_sizes) sizes += (sizes.empty() ? "" : ", ") + s;
  if (read->images.empty()) {
    read->problem = "icon file: no image Windows 95 can show; its only images are PNG (" + sizes + ")";
    return;
  }
  if (!png_sizes.empty())
    read->notes.push_back("left out " + std::to_string(png_sizes.size()) + " PNG image" +
                          (png_sizes.size() == 1 ? "" : "s") + " (" + sizes + "), which Windows 95 cannot show");
  read->ok = true;
}

IconRead read_ico(const uint8_t *data, size_t size) {
  IconRead read;
  const size_t count = read_le16(data + 4);
  if (count == 0) {
    read.problem = "icon file: it holds no images";
    return read;
  }
  if (ICONDIR_SIZE + ICO_ENTRY_SIZE * count > size) {
    read.problem = "icon file: its " + std::to_string(count) + " image entries run past its end (" +
                   std::to_string(size) + " bytes)";
    return read;
  }
  std::vector<std::string> png_sizes;
  for (size_t k = 0; k < count; ++k) {
    const uint8_t *entry = data + ICONDIR_SIZE + ICO_ENTRY_SIZE * k;
    const uint32_t bytes = read_le32(entry + 8);
    const uint32_t offset = read_le32(entry + 12);
    const std::string name = "image " + std::to_string(k + 1);
    if (bytes == 0 || offset > size || bytes > size - offset) {
      read.problem = "icon file: " + name + " lies outside the file (offset " + std::to_string(offset) + ", " +
                     std::to_string(bytes) + " bytes)";
      return read;
    }
    if (!take_image(examine_image(data + offset, bytes, name, entry[0], entry[1]), &read, &png_sizes)) return read;
  }
  finish(&read, png_sizes);
  return read;
}

// The image of a group entry: the RT_ICON of that id in the group's
// language, else in the first language that has it.
const Resource *group_image(const std::vector<Resource> &resources, uint16_t id, uint16_t language) {
  const Resource *found = find_resource(resources, RT_ICON_TYPE, id, language);
  for (const Resource &r : resources)
    if (!found && !r.type.named && r.type.number == RT_ICON_TYPE && !r.name.named && r.name.number == id) found = &r;
  return found;
}

IconRead read_program_icon(const uint8_t *data, size_t size) {
  IconRead read;
  const ResourceList list = read_image_resources(data, size);
  if (!list.ok) {
    read.problem = "icon file: " + list.problem;
    return read;
  }
  const Resource *group = nullptr;
  for (const Resource &r : list.resources)
    if (!group && !r.type.named && r.type.number == RT_GROUP_ICON_TYPE) group = &r;
  if (!group) {
    read.problem = "icon file: the program holds no icon (no RT_GROUP_ICON resource)";
    return read;
  }
  const IconGroup entries = parse_icon_group(group->data.data(), group->data.size());
  if (!entries.ok) {
    read.problem = "icon file: its first icon group: " + entries.problem;
    return read;
  }
  std::vector<std::string> png_sizes;
  for (size_t k = 0; k < entries.entries.size(); ++k) {
    const IconGroupEntry &entry = entries.entries[k];
    const Resource *image = group_image(list.resources, entry.id, group->language);
    if (!image) {
      read.problem = "icon file: its first icon group names image " + std::to_string(entry.id) +
                     ", which the program does not hold";
      return read;
    }
    const std::string name = "image " + std::to_string(k + 1) + " (RT_ICON " + std::to_string(entry.id) + ")";
    const Examined e = examine_image(image->data.data(), image->data.size(), name, static_cast<uint8_t>(entry.width),
                                     static_cast<uint8_t>(entry.height));
    if (!take_image(e, &read, &png_sizes)) return read;
  }
  finish(&read, png_sizes);
  return read;
}

}  // namespace

IconRead read_icon_source(const uint8_t *data, size_t size) {
  try {
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z') return read_program_icon(data, size);
    IconRead read;
    if (size < ICONDIR_SIZE) {
      read.problem = "icon file: " + std::to_string(size) + " bytes, too short for an icon";
    } else if (read_le16(data) != 0 || read_le16(data + 2) != 1) {
      read.problem = read_le16(data) == 0 && read_le16(data + 2) == 2
                         ? "icon file: a cursor, not an icon"
                         : "icon file: neither an icon (.ico) nor a program (.exe, .scr, .dll)";
    } else {
      read = read_ico(data, size);
    }
    return read;
  } catch (const std::bad_alloc &) {
    IconRead read;
    read.problem = "icon file: out of memory";
    return read;
  }
}

bool icon_group_bytes(const std::vector<IconImage> &images, const std::vector<uint16_t> &ids,
                      std::vector<uint8_t> *out) {
  if (images.size() != ids.size() || images.size() > 0xFFFF) return false;
  try {
    out->assign(ICONDIR_SIZE + GROUP_ENTRY_SIZE * images.size(), 0);
  } catch (const std::bad_alloc &) {
    return false;
  }
  write_le16(out->data() + 2, 1);
  write_le16(out->data() + 4, static_cast<uint16_t>(images.size()));
  for (size_t k = 0; k < images.size(); ++k) {
    const IconImage &image = images[k];
    uint8_t *entry = out->data() + ICONDIR_SIZE + GROUP_ENTRY_SIZE * k;
    entry[0] = static_cast<uint8_t>(image.width);  // 256 wraps to 0, as the format has it
    entry[1] = static_cast<uint8_t>(image.height);
    entry[2] = image.colours;
    write_le16(entry + 4, image.planes);
    write_le16(entry + 6, image.bit_count);
    write_le32(entry + 8, static_cast<uint32_t>(image.data.size()));
    write_le16(entry + 12, ids[k]);
  }
  return true;
}

IconGroup parse_icon_group(const uint8_t *data, size_t size) {
  IconGroup group;
  if (size < ICONDIR_SIZE || read_le16(data) != 0 || read_le16(data + 2) != 1) {
    group.problem = "not an icon group (GRPICONDIR)";
    return group;
  }
  const size_t count = read_le16(data + 4);
  if (ICONDIR_SIZE + GROUP_ENTRY_SIZE * count > size) {
    group.problem = "its " + std::to_string(count) + " entries run past its " + std::to_string(size) + " bytes";
    return group;
  }
  try {
    for (size_t k = 0; k < count; ++k) {
      const uint8_t *e = data + ICONDIR_SIZE + GROUP_ENTRY_SIZE * k;
      IconGroupEntry entry;
      entry.width = e[0] ? e[0] : 256;
      entry.height = e[1] ? e[1] : 256;
      entry.colours = e[2];
      entry.planes = read_le16(e + 4);
      entry.bit_count = read_le16(e + 6);
      entry.bytes = read_le32(e + 8);
      entry.id = read_le16(e + 12);
      group.entries.push_back(entry);
    }
  } catch (const std::bad_alloc &) {
    group.entries.clear();
    group.problem = "out of memory";
    return group;
  }
  group.ok = true;
  return group;
}

std::string describe_icon_entry(const IconGroupEntry &entry) try {
  std::string text = size_text(entry.width, entry.height) + ", ";
  if (entry.colours) text += std::to_string(entry.colours) + " colours, ";
  text += std::to_string(entry.planes) + (entry.planes == 1 ? " plane, " : " planes, ");
  text += std::to_string(entry.bit_count) + " bits per pixel, " + std::to_string(entry.bytes) + " bytes (RT_ICON " +
          std::to_string(entry.id) + ")";
  return text;
} catch (const std::bad_alloc &) {
  return std::string();
}
