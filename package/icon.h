// Icons for the installer: read from an .ico file or from a program's
// resources, kept to the images Windows 95 can draw, and written as an icon
// group (RT_GROUP_ICON) and its images (RT_ICON).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// One image of an icon, as an RT_ICON resource holds it, with the fields its
// group entry gives it.
struct IconImage {
  uint32_t width = 0;   // pixels, 1 to 256
  uint32_t height = 0;  // pixels, 1 to 256 (the bitmap's height is twice that: image and mask)
  uint8_t colours = 0;  // bColorCount: palette size below 8 bits per pixel, else 0
  uint16_t planes = 1;
  uint16_t bit_count = 0;
  std::vector<uint8_t> data;  // BITMAPINFOHEADER, palette, colour bits, mask bits
};

struct IconRead {
  bool ok = false;
  std::string problem;  // one line, "icon file: ..."
  std::vector<IconImage> images;
  // For the caller to print: images left out, and why.
  std::vector<std::string> notes;
};

// The icon in data[0 .. size): an .ico file (ICONDIR at the start), or a PE
// image (.exe, .scr, .dll; "MZ" at the start) whose first icon group, in its
// resource directory's order, is taken with the images it names. Images in
// the bitmap format (BITMAPINFOHEADER, uncompressed, 1 to 32 bits per pixel,
// 1 to 256 pixels a side, with all their bits present) are kept in the order
// they come; PNG images are left out with a note. A malformed file, an image
// that is neither, or no image left is an error.
IconRead read_icon_source(const uint8_t *data, size_t size);

// An icon group entry as GRPICONDIR lists it.
struct IconGroupEntry {
  uint32_t width = 0;  // pixels; the entry's 0 read as 256
  uint32_t height = 0;
  uint8_t colours = 0;
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  uint32_t bytes = 0;
  uint16_t id = 0;  // the RT_ICON resource
};

struct IconGroup {
  bool ok = false;
  std::string problem;
  std::vector<IconGroupEntry> entries;
};

// The RT_GROUP_ICON resource for images, whose RT_ICON ids are ids (one each),
// in *out; false when the lists differ in length or memory runs out.
bool icon_group_bytes(const std::vector<IconImage> &images, const std::vector<uint16_t> &ids,
                      std::vector<uint8_t> *out);

// Reads an RT_GROUP_ICON resource; its entries must lie inside it.
IconGroup parse_icon_group(const uint8_t *data, size_t size);

// "32x32, 16 colours, 1 plane, 4 bits per pixel, 744 bytes (RT_ICON 1)", for
// inspect.
std::string describe_icon_entry(const IconGroupEntry &entry);
