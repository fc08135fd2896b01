#include "tests/support/pe_samples.h"

#include <fstream>
#include <iterator>

#include "codec/common/byte_order.h"

namespace {

const uint32_t FILE_ALIGNMENT = 0x200, SECTION_ALIGNMENT = 0x1000;

uint32_t align(uint32_t value, uint32_t to) { return (value + to - 1) / to * to; }

void write_be32(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

void put_section(uint8_t *h, const char *name, uint32_t virtual_size, uint32_t rva, uint32_t raw_size,
                 uint32_t raw_offset) {
  for (int i = 0; name[i] && i < 8; ++i) h[i] = static_cast<uint8_t>(name[i]);
  write_le32(h + 8, virtual_size);
  write_le32(h + 12, rva);
  write_le32(h + 16, raw_size);
  write_le32(h + 20, raw_offset);
  write_le32(h + 36, 0xC0000040);  // initialised data, read, write
}

}  // namespace

Bytes icon_bitmap(uint32_t side, uint16_t bits) {
  const uint32_t palette = bits <= 8 ? 1u << bits : 0;
  const uint32_t colour = (side * bits + 31) / 32 * 4 * side, mask = (side + 31) / 32 * 4 * side;
  Bytes image = sample_bytes(40 + 4 * palette + colour + mask, side * 100 + bits);
  write_le32(image.data(), 40);
  write_le32(image.data() + 4, side);
  write_le32(image.data() + 8, 2 * side);
  write_le16(image.data() + 12, 1);
  write_le16(image.data() + 14, bits);
  for (size_t at = 16; at < 40; ++at) image[at] = 0;  // no compression, sizes and colour counts left to the reader
  return image;
}

Bytes icon_png(uint32_t side) {
  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  png.resize(33, 0);
  write_be32(png.data() + 16, side);
  write_be32(png.data() + 20, side);
  png[24] = 8;  // bit depth
  png[25] = 6;  // RGBA
  return png;
}

Bytes ico_file(const std::vector<Bytes> &images) {
  Bytes file(6 + 16 * images.size(), 0);
  write_le16(file.data() + 2, 1);
  write_le16(file.data() + 4, static_cast<uint16_t>(images.size()));
  for (size_t k = 0; k < images.size(); ++k) {
    const Bytes &image = images[k];
    uint8_t *entry = file.data() + 6 + 16 * k;
    const bool png = image[0] == 0x89;
    const uint32_t side = png ? static_cast<uint32_t>(image[18] << 8 | image[19]) : read_le32(image.data() + 4);
    entry[0] = entry[1] = static_cast<uint8_t>(side);
    write_le16(entry + 4, 1);
    write_le16(entry + 6, png ? 32 : read_le16(image.data() + 14));
    write_le32(entry + 8, static_cast<uint32_t>(image.size()));
    write_le32(entry + 12, static_cast<uint32_t>(file.size()));
    file.insert(file.end(), image.begin(), image.end());
  }
  return file;
}

Resource numbered_resource(uint16_t type, uint16_t name, uint16_t language, const Bytes &data) {
  Resource r;
  r.type = resource_number(type);
  r.name = resource_number(name);
  r.language = language;
  r.data = data;
  return r;
}

Bytes sample_pe(const std::vector<Resource> &resources, bool resources_last, uint32_t pe_offset) {
  const uint32_t rsrc_rva = SECTION_ALIGNMENT, headers = FILE_ALIGNMENT;
  const Bytes rsrc = lay_out_resources(resources, rsrc_rva).bytes;
  const uint32_t length = static_cast<uint32_t>(rsrc.size()), raw = align(length, FILE_ALIGNMENT);
  const uint32_t data_rva = rsrc_rva + align(length, SECTION_ALIGNMENT);
  const uint32_t sections = resources_last ? 1 : 2;
  Bytes pe(headers + raw + (resources_last ? 0 : FILE_ALIGNMENT), 0);
  pe[0] = 'M';
  pe[1] = 'Z';
  uint8_t *coff = pe.data() + pe_offset + 4;
  write_le32(coff - 4, 0x00004550);
  write_le16(coff, 0x14C);
  write_le16(coff + 2, static_cast<uint16_t>(sections));
  write_le16(coff + 16, 224);
  write_le16(coff + 18, 0x0102);  // executable, 32-bit
  uint8_t *opt = coff + 20;
  write_le16(opt, 0x10B);
  write_le32(opt + 8, raw + (resources_last ? 0 : FILE_ALIGNMENT));
  write_le32(opt + 28, 0x400000);
  write_le32(opt + 32, SECTION_ALIGNMENT);
  write_le32(opt + 36, FILE_ALIGNMENT);
  write_le16(opt + 48, 4);
  write_le32(opt + 56, resources_last ? data_rva : data_rva + SECTION_ALIGNMENT);
  write_le32(opt + 60, headers);
  write_le16(opt + 68, 2);
  write_le32(opt + 92, 16);
  write_le32(opt + 96 + 8 * 2, rsrc_rva);
  write_le32(opt + 96 + 8 * 2 + 4, length);
  put_section(opt + 224, ".rsrc", length, rsrc_rva, raw, headers);
  if (!resources_last) put_section(opt + 224 + 40, ".data", FILE_ALIGNMENT, data_rva, FILE_ALIGNMENT, headers + raw);
  write_le32(pe.data() + 0x3C, pe_offset);  // last: below 0x40 it lands inside the headers
  std::copy(rsrc.begin(), rsrc.end(), pe.begin() + headers);
  return pe;
}

Bytes file_bytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
