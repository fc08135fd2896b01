#include "package/stub_image.h"

#include "codec/common/byte_order.h"
#include "format/record.h"

namespace {

enum : uint32_t {
  PE_SIGNATURE = 0x00004550,  // "PE\0\0"
  MACHINE_I386 = 0x14C,
  PE32_MAGIC = 0x10B,
  SUBSYSTEM_WINDOWS_GUI = 2,
  HEADER_PROBE = 4096,  // the headers and the section table lie in here
  COFF_HEADER_SIZE = 20,
  SECTION_HEADER_SIZE = 40,
};

PackageResult not_a_stub(const std::string &why) {
  return PackageResult::fail(PACKAGE_DAMAGED, "not a Kestrune stub: " + why);
}

// The image's end from its headers in head (the file's first bytes): the end
// of the last section's raw data. Checks the kind of program and that every
// section lies inside the file.
PackageResult image_end_from_headers(const std::vector<uint8_t> &head, uint64_t file_size, uint64_t *end) {
  if (head.size() < 64 || head[0] != 'M' || head[1] != 'Z') return not_a_stub("no MZ header");
  const uint32_t pe = read_le32(head.data() + 0x3C);
  if (pe > head.size() - 24 || pe % 4 != 0) return not_a_stub("the PE header lies outside the headers");
  if (read_le32(head.data() + pe) != PE_SIGNATURE) return not_a_stub("no PE header");
  const uint8_t *coff = head.data() + pe + 4;
  if (read_le16(coff) != MACHINE_I386) return not_a_stub("not a program for i386");
  const uint32_t sections = read_le16(coff + 2), optional_size = read_le16(coff + 16);
  const uint64_t optional = uint64_t{pe} + 4 + COFF_HEADER_SIZE;
  const uint64_t table = optional + optional_size;
  if (optional_size < 70 || table + uint64_t{sections} * SECTION_HEADER_SIZE > head.size() || sections == 0)
    return not_a_stub("the section table lies outside the headers");
  if (read_le16(head.data() + optional) != PE32_MAGIC) return not_a_stub("not a 32-bit (PE32) program");
  if (read_le16(head.data() + optional + 68) != SUBSYSTEM_WINDOWS_GUI) return not_a_stub("not a Windows GUI program");
  *end = 0;
  for (uint32_t i = 0; i < sections; ++i) {
    const uint8_t *section = head.data() + table + i * SECTION_HEADER_SIZE;
    const uint64_t raw_size = read_le32(section + 16), raw_offset = read_le32(section + 20);
    if (raw_size == 0) continue;
    if (raw_offset + raw_size > file_size)
      return not_a_stub("section " + std::to_string(i + 1) + " runs past the end of the file (to offset " +
                        std::to_string(raw_offset + raw_size) + ")");
    if (raw_offset + raw_size > *end) *end = raw_offset + raw_size;
  }
  if (*end == 0) return not_a_stub("no section holds data");
  return {};
}

}  // namespace

PackageResult read_stub_image(ByteSource &source, std::vector<uint8_t> *image_bytes, StubImage *image) {
  *image = StubImage();
  const uint64_t size = source.size();
  std::vector<uint8_t> &bytes = *image_bytes;
  bytes.resize(static_cast<size_t>(size < uint64_t{HEADER_PROBE} ? size : uint64_t{HEADER_PROBE}));
  if (!source.read_exactly(0, bytes.data(), bytes.size()))
    return PackageResult::fail(PACKAGE_DAMAGED, "reading failed: " + source.error());
  PackageResult headers = image_end_from_headers(bytes, size, &image->image_end);
  if (!headers.ok()) return headers;
  if (image->image_end > MAX_STUB_IMAGE)
    return not_a_stub("its image is " + std::to_string(image->image_end) + " bytes, more than any stub");
  bytes.resize(static_cast<size_t>(image->image_end));
  if (!source.read_exactly(0, bytes.data(), bytes.size()))
    return PackageResult::fail(PACKAGE_DAMAGED, "reading failed: " + source.error());
  // Copies of the signature that cannot begin a whole record are no records.
  bool cut = false;
  image->record_offset = SIZE_MAX;
  for (size_t at = find_record_signature(bytes.data(), bytes.size(), 0); at != SIZE_MAX;
       at = find_record_signature(bytes.data(), bytes.size(), at + 1)) {
    const size_t start = record_start_for_hit(at, bytes.size());
    if (start == SIZE_MAX) {
      cut = true;
      continue;
    }
    if (image->signature_hits++ == 0) image->record_offset = start;
  }
  if (image->signature_hits == 0)
    return not_a_stub(cut ? "its install record is cut off" : "its image holds no install record");
  if (image->signature_hits > 1)
    return not_a_stub("its image holds " + std::to_string(image->signature_hits) +
                      " install records; exactly one is needed");
  return {};
}
