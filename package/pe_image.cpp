#include "package/pe_image.h"

#include <new>

#include "codec/common/byte_order.h"
#include "package/hex_text.h"

namespace {

const size_t DOS_HEADER_SIZE = 0x40;
const size_t E_LFANEW_OFFSET = 0x3C;
const size_t COFF_SIZE = 20;
const size_t SECTION_HEADER_SIZE = 40;
const size_t MAX_SECTIONS = 96;  // what the Windows loader accepts
const size_t MAX_DIRECTORIES = 16;
const uint16_t FILE_EXECUTABLE_IMAGE = 0x0002;
const uint16_t FILE_DLL = 0x2000;

bool power_of_two(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

PeParse refused(const std::string &problem) {
  PeParse parse;
  parse.problem = problem;
  return parse;
}

// The optional header's fields that differ between PE32 and PE32+.
struct OptionalLayout {
  size_t fixed_size;          // up to the data directories
  size_t directory_count_at;  // NumberOfRvaAndSizes
};

// COFF header, optional header and data directories.
bool read_headers(const uint8_t *data, size_t available, PeImage *image, size_t *table, size_t *count,
                  std::string *problem) {
  const size_t pe = image->pe_offset;
  const uint8_t *coff = data + pe + 4;
  image->machine = read_le16(coff);
  *count = read_le16(coff + 2);
  const size_t optional_size = read_le16(coff + 16);
  image->characteristics = read_le16(coff + 18);
  image->optional_offset = pe + 4 + COFF_SIZE;
  const size_t opt = image->optional_offset;
  if (opt + 2 > available) {
    *problem = "the optional header lies outside the file (offset " + hex_text(opt) + ")";
    return false;
  }
  image->magic = read_le16(data + opt);
  OptionalLayout layout;
  if (image->magic == PE_MAGIC_PE32) {
    layout = {96, 92};
  } else if (image->magic == PE_MAGIC_PE32_PLUS) {
    layout = {112, 108};
  } else {
    *problem =
        "optional header magic " + hex_text(image->magic) + " at offset " + hex_text(opt) + ", neither PE32 nor PE32+";
    return false;
  }
  if (optional_size < layout.fixed_size || opt + optional_size > available) {
    *problem = "optional header of " + std::to_string(optional_size) + " bytes at offset " + hex_text(opt) +
               " is short or lies outside the file";
    return false;
  }
  const uint8_t *o = data + opt;
  image->section_alignment = read_le32(o + 32);
  image->file_alignment = read_le32(o + 36);
  image->size_of_image = read_le32(o + 56);
  image->size_of_headers = read_le32(o + 60);
  image->checksum = read_le32(o + 64);
  image->checksum_offset = opt + 64;
  image->subsystem = read_le16(o + 68);
  const uint32_t directories = read_le32(o + layout.directory_count_at);
  image->directories_offset = opt + layout.fixed_size;
  if (directories > MAX_DIRECTORIES || layout.fixed_size + 8 * directories > optional_size) {
    *problem = std::to_string(directories) + " data directories do not fit the optional header (offset " +
               hex_text(opt + layout.directory_count_at) + ")";
    return false;
  }
  for (uint32_t i = 0; i < directories; ++i) {
    const uint8_t *d = data + image->directories_offset + 8 * i;
    image->directories.push_back({read_le32(d), read_le32(d + 4)});
  }
  *table = opt + optional_size;
  return true;
}

bool read_sections(const uint8_t *data, size_t table, size_t count, uint64_t file_size, PeImage *image,
                   std::string *problem) {
  uint64_t end = image->size_of_headers;
  uint64_t next_free_rva = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t at = table + SECTION_HEADER_SIZE * i;
    const uint8_t *h = data + at;
    PeSection s;
    for (size_t c = 0; c < 8 && h[c]; ++c) s.name += static_cast<char>(h[c]);
    s.virtual_size = read_le32(h + 8);
    s.virtual_address = read_le32(h + 12);
    s.raw_size = read_le32(h + 16);
    s.raw_offset = read_le32(h + 20);
    s.characteristics = read_le32(h + 36);
    s.header_offset = at;
    const std::string name = "section " + std::to_string(i + 1) + " (" + s.name + ")";
    if (s.raw_size && static_cast<uint64_t>(s.raw_offset) + s.raw_size > file_size) {
      *problem = name + "'s data lies outside the file (offset " + hex_text(s.raw_offset) + ", " +
                 std::to_string(s.raw_size) + " bytes)";
      return false;
    }
    if (s.virtual_address < next_free_rva) {
      *problem = name + " at RVA " + hex_text(s.virtual_address) + " overlaps the section before it";
      return false;
    }
    next_free_rva = static_cast<uint64_t>(s.virtual_address) + (s.virtual_size ? s.virtual_size : s.raw_size);
    if (s.raw_size && static_cast<uint64_t>(s.raw_offset) + s.raw_size > end) end = s.raw_offset + s.raw_size;
    image->sections.push_back(s);
  }
  image->image_end = end;
  return true;
}

PeParse parse_checked(const uint8_t *data, size_t available, uint64_t file_size) {
  if (available > file_size) return refused("more bytes at hand than the file holds");
  if (available < DOS_HEADER_SIZE) return refused(std::to_string(available) + " bytes, too short for a DOS header");
  if (data[0] != 'M' || data[1] != 'Z') return refused("no MZ signature at offset 0");
  PeParse parse;
  PeImage &image = parse.image;
  const uint32_t pe = read_le32(data + E_LFANEW_OFFSET);
  if (pe < 4 || pe % 4 || static_cast<uint64_t>(pe) + 4 + COFF_SIZE > available)
    return refused("e_lfanew " + hex_text(pe) + " (offset 0x3C) does not point at headers inside the file");
  if (read_le32(data + pe) != 0x00004550) return refused("no PE signature at offset " + hex_text(pe));
  image.pe_offset = pe;
  size_t table = 0, count = 0;
  if (!read_headers(data, available, &image, &table, &count, &parse.problem)) return parse;
  if (count == 0 || count > MAX_SECTIONS)
    return refused(std::to_string(count) + " sections (offset " + hex_text(pe + 6) + "), expected 1 to 96");
  const uint64_t table_end = table + SECTION_HEADER_SIZE * count;
  if (table_end > available || table_end > image.size_of_headers || image.size_of_headers > file_size)
    return refused("the section table (offset " + hex_text(table) + ", " + std::to_string(count) +
                   " sections) lies outside the headers (SizeOfHeaders " + hex_text(image.size_of_headers) + ")");
  if (!power_of_two(image.file_alignment) || !power_of_two(image.section_alignment) ||
      image.section_alignment < image.file_alignment)
    return refused("FileAlignment " + hex_text(image.file_alignment) + " and SectionAlignment " +
                   hex_text(image.section_alignment) + " are not powers of two, the first no larger");
  if (!read_sections(data, table, count, file_size, &image, &parse.problem)) return parse;
  parse.ok = true;
  return parse;
}

}  // namespace

PeParse parse_pe_image(const uint8_t *data, size_t available, uint64_t file_size) {
  try {
    return parse_checked(data, available, file_size);
  } catch (const std::bad_alloc &) {
    return refused("out of memory reading the image's headers");
  }
}

StubImageCheck check_stub_image(const uint8_t *data, size_t available, uint64_t file_size) {
  StubImageCheck check;
  const PeParse parse = parse_pe_image(data, available, file_size);
  const PeImage &image = parse.image;
  if (!parse.ok) {
    check.problem = "stub: " + parse.problem;
  } else if (image.magic != PE_MAGIC_PE32 || image.machine != PE_MACHINE_I386) {
    check.problem = "stub: machine " + hex_text(image.machine) + ", magic " + hex_text(image.magic) +
                    ": not a PE32 program for i386 (0x14C, 0x10B)";
  } else if (image.subsystem != PE_SUBSYSTEM_WINDOWS_GUI) {
    check.problem = "stub: subsystem " + std::to_string(image.subsystem) + " (offset " +
                    hex_text(image.optional_offset + 68) + "), not a Windows GUI program (2)";
  } else if (!(image.characteristics & FILE_EXECUTABLE_IMAGE) || (image.characteristics & FILE_DLL)) {
    check.problem = "stub: characteristics " + hex_text(image.characteristics) + " (offset " +
                    hex_text(image.pe_offset + 22) + ") do not make it a program";
  } else {
    const PeSection &last = image.sections.back();
    const uint64_t extent = pe_align_up(
        static_cast<uint64_t>(last.virtual_address) + (last.virtual_size ? last.virtual_size : last.raw_size),
        image.section_alignment);
    if (image.size_of_image < extent) {
      check.problem =
          "stub: SizeOfImage " + hex_text(image.size_of_image) + " is short of its sections (" + hex_text(extent) + ")";
    } else {
      check.ok = true;
      check.image_end = image.image_end;
    }
  }
  return check;
}

uint32_t pe_checksum(const uint8_t *data, size_t size, size_t checksum_offset) {
  uint64_t sum = 0;
  for (size_t at = 0; at < size; at += 2) {
    if (at + 1 < size) {
      const bool in_field = at + 1 >= checksum_offset && at < checksum_offset + 4;
      if (in_field) continue;
      sum += read_le16(data + at);
    } else {
      sum += data[at];
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + size);
}

bool pe_rva_to_offset(const PeImage &image, uint32_t rva, uint64_t *offset, uint64_t *available) {
  for (const PeSection &s : image.sections) {
    const uint32_t extent = s.virtual_size && s.virtual_size < s.raw_size ? s.virtual_size : s.raw_size;
    if (rva >= s.virtual_address && rva - s.virtual_address < extent) {
      *offset = static_cast<uint64_t>(s.raw_offset) + (rva - s.virtual_address);
      *available = extent - (rva - s.virtual_address);
      return true;
    }
  }
  return false;
}

int pe_section_of(const PeImage &image, uint32_t rva) {
  for (size_t i = 0; i < image.sections.size(); ++i) {
    const PeSection &s = image.sections[i];
    const uint32_t size = s.virtual_size ? s.virtual_size : s.raw_size;
    if (rva >= s.virtual_address && rva - s.virtual_address < size) return static_cast<int>(i);
  }
  return -1;
}
