// Reading 32-bit Windows images (PE32, and PE32+ for icon sources) from
// bytes: the DOS header's pointer, the COFF and optional headers and the
// section table, every field read one by one and every offset checked against
// the bytes at hand. Nothing here changes an image; pe_resources.h rewrites
// the stub's resource section.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

enum : uint16_t {
  PE_MACHINE_I386 = 0x14C,
  PE_MAGIC_PE32 = 0x10B,
  PE_MAGIC_PE32_PLUS = 0x20B,
  PE_SUBSYSTEM_WINDOWS_GUI = 2,
};

enum : uint32_t {
  PE_DIRECTORY_RESOURCE = 2,
  PE_DIRECTORY_SECURITY = 4,  // the only directory that holds a file offset
  PE_SCN_INITIALIZED_DATA = 0x40,
};

struct PeSection {
  std::string name;  // up to 8 characters, as stored
  uint32_t virtual_size = 0;
  uint32_t virtual_address = 0;
  uint32_t raw_size = 0;
  uint32_t raw_offset = 0;
  uint32_t characteristics = 0;
  size_t header_offset = 0;  // where its 40-byte header lies in the file
};

struct PeDirectory {
  uint32_t rva = 0;
  uint32_t size = 0;
};

// The headers of one image. Offsets are file offsets.
struct PeImage {
  size_t pe_offset = 0;        // "PE\0\0", as the DOS header's e_lfanew says
  size_t optional_offset = 0;  // the optional header
  uint16_t machine = 0;
  uint16_t characteristics = 0;
  uint16_t magic = 0;  // PE_MAGIC_PE32 or PE_MAGIC_PE32_PLUS
  uint16_t subsystem = 0;
  uint32_t section_alignment = 0;
  uint32_t file_alignment = 0;
  uint32_t size_of_image = 0;
  uint32_t size_of_headers = 0;
  uint32_t checksum = 0;
  size_t checksum_offset = 0;  // of the CheckSum field
  size_t directories_offset = 0;
  std::vector<PeDirectory> directories;  // NumberOfRvaAndSizes of them (at most 16)
  std::vector<PeSection> sections;       // in table order
  // One past the last byte the image occupies in the file: the end of the
  // section data that lies furthest in (or of the headers). Whatever follows
  // is not part of the image; in an installer, the payload.
  uint64_t image_end = 0;
};

struct PeParse {
  bool ok = false;
  std::string problem;  // one line, naming the field and its offset
  PeImage image;
};

// Reads the headers of the image whose first `available` bytes are data[0 ..
// available) and whose file is file_size bytes long (at least available). The
// headers must lie in the bytes at hand; the sections' data only inside the
// file. e_lfanew may be any multiple of 4 that leaves the headers inside the
// file, however small (a DOS header without a DOS program).
PeParse parse_pe_image(const uint8_t *data, size_t available, uint64_t file_size);

struct StubImageCheck {
  bool ok = false;
  std::string problem;
  uint64_t image_end = 0;  // where the payload starts (when ok)
};

// Whether data[0 .. available) (the start of a file of file_size bytes) is a
// stub: a PE32 i386 GUI program whose sections lie inside the file. Reports
// where the image ends; for an installer that must equal the record's
// payload_offset, for a bare stub the file's size (the caller compares).
StubImageCheck check_stub_image(const uint8_t *data, size_t available, uint64_t file_size);

// The image's PE checksum over data[0 .. size) (the whole file): 16-bit words
// added with the carry folded back in, the 4-byte CheckSum field at
// checksum_offset left out, a last odd byte taken as a word of its own, and
// the file's length added.
uint32_t pe_checksum(const uint8_t *data, size_t size, size_t checksum_offset);

// The file offset of rva and how many bytes of the section's file data follow
// it; false when no section's file data holds rva.
bool pe_rva_to_offset(const PeImage &image, uint32_t rva, uint64_t *offset, uint64_t *available);

// The section whose virtual range holds rva, or -1.
int pe_section_of(const PeImage &image, uint32_t rva);

inline uint64_t pe_align_up(uint64_t value, uint32_t alignment) {
  return alignment ? (value + alignment - 1) / alignment * alignment : value;
}
