// Fuzz target: the package tool's reading of arbitrary files, what inspect,
// verify and extract do: find the record, check it and the seal, walk and
// decode every payload item, and write out every intact one.
//
// Beyond the sanitizers it checks the report's own promises: items lie inside
// the image, an intact item extracts to exactly its size, and a package the
// report calls clean extracts completely.

#include "fuzz/fuzz_check.h"
#include "package/codepage.h"
#include "package/read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  MemorySource source(data, size);
  PackageReport report = read_package(source, package_codec(), DEFAULT_CODEPAGE, nullptr);
  if (report.kind == KIND_NOT_A_STUB) return 0;
  fuzz_check(report.image.record_offset + 640 <= size, "record outside the image");
  for (const ItemCheck &item : report.items) {
    if (!item.ok) continue;
    fuzz_check(item.offset <= size && item.consumed_length <= size - item.offset, "intact item outside the image");
    std::vector<uint8_t> extracted;
    VectorSink output(&extracted);
    fuzz_check(write_payload_item(package_codec(), source, item, output, nullptr).ok(),
               "intact item failed to extract");
    uint64_t expected = item.compressed ? item.decoded_size : item.item.size;
    fuzz_check(extracted.size() == expected, "extracted size differs from the item's size");
  }
  if (report.problems.empty()) fuzz_check(report.payload_end <= size, "clean package ends past the image");
  return 0;
}
