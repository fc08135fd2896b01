#include "package/stub_image.h"

#include "format/record.h"
#include "package/pe_image.h"

namespace {

enum : uint32_t { HEADER_PROBE = 4096 };  // the headers and the section table lie in here

PackageResult not_a_stub(const std::string &why) {
  return PackageResult::fail(PACKAGE_DAMAGED, "not a Kestrune stub: " + why);
}

}  // namespace

PackageResult read_stub_image(ByteSource &source, std::vector<uint8_t> *image_bytes, StubImage *image) {
  *image = StubImage();
  const uint64_t size = source.size();
  std::vector<uint8_t> &bytes = *image_bytes;
  bytes.resize(static_cast<size_t>(size < uint64_t{HEADER_PROBE} ? size : uint64_t{HEADER_PROBE}));
  if (!source.read_exactly(0, bytes.data(), bytes.size()))
    return PackageResult::fail(PACKAGE_DAMAGED, "reading failed: " + source.error());
  const StubImageCheck headers = check_stub_image(bytes.data(), bytes.size(), size);
  if (!headers.ok)
    return not_a_stub(headers.problem.compare(0, 6, "stub: ") == 0 ? headers.problem.substr(6) : headers.problem);
  image->image_end = headers.image_end;
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
