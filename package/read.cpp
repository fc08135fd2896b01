#include "package/read.h"

#include <new>

#include "format/crc32.h"
#include "package/names.h"
#include "package/record_fields.h"
#include "package/report_text.h"
#include "package/streams.h"

const char *payload_role_name(PayloadRole role) {
  switch (role) {
    case ROLE_EXTRA: return "extra";
    case ROLE_MAIN: return "main";
    case ROLE_MAIN_PART2: return "main part 2";
    case ROLE_MAIN_PART3: return "main part 3";
    case ROLE_SECOND: return "second";
  }
  return "?";
}

namespace {

void check_record_fields(PackageReport *report, const PayloadItem *items, int32_t count, int codepage) {
  const InstallConfig &record = report->record;
  if (!report->header_check_holds) report->problems.push_back("header_check does not hold");
  for (size_t i = 0; i < RECORD_FIELD_COUNT; ++i) {
    const RecordField &field = RECORD_FIELDS[i];
    if (field.kind == FIELD_TEXT && !text_slot_terminated(&record, field.offset))
      report->problems.push_back(std::string(field.name) + " has no terminating zero within its 64 bytes");
  }
  for (int32_t i = 0; i < count; ++i) {
    if (!items[i].new_file) continue;
    const std::string name = text_slot_value(record, items[i].name_offset);
    if (const char *why = file_name_problem(name))
      report->problems.push_back(std::string(record_field_at(items[i].name_offset)->name) +
                                 " is not a plain file name: " + why);
    for (int32_t j = i + 1; j < count; ++j)
      if (items[j].new_file && names_are_one_file(name, text_slot_value(record, items[j].name_offset), codepage)) {
        report->names_distinct = false;
        report->problems.push_back(std::string(record_field_at(items[i].name_offset)->name) + " and " +
                                   record_field_at(items[j].name_offset)->name +
                                   " are one file under Windows: the second would be written over the first");
      }
  }
}

// The seal over the payload, read in chunks.
SealCheck check_seal(ByteSource &source, const std::vector<uint8_t> &image, size_t record_offset,
                     uint64_t payload_offset, Progress *progress) {
  SealCheck check = {};
  uint8_t plain[CONFIG_SIZE];
  for (int32_t i = 0; i < CONFIG_SIZE; ++i) plain[i] = image[record_offset + static_cast<size_t>(i)];
  xor_buffer(plain, CONFIG_SIZE, CONFIG_KEY);
  check.seal = read_seal(plain);
  if (!check.seal.present) return check;
  check.record_ok = seal_record_crc(plain) == check.seal.record_crc;
  const uint64_t size = source.size();
  if (payload_offset > size) {
    check.trailing_bytes = -static_cast<int64_t>(check.seal.payload_length);
    return check;
  }
  check.trailing_bytes = static_cast<int64_t>(size - payload_offset) - check.seal.payload_length;
  if (check.trailing_bytes < 0) return check;
  std::vector<uint8_t> chunk(COPY_CHUNK);
  uint32_t crc = CRC32_INITIAL;
  for (uint64_t done = 0; done < check.seal.payload_length;) {
    const uint64_t left = check.seal.payload_length - done;
    const size_t n = left < COPY_CHUNK ? static_cast<size_t>(left) : size_t{COPY_CHUNK};
    if (!source.read_exactly(payload_offset + done, chunk.data(), n)) return check;
    crc = crc32_update(crc, chunk.data(), static_cast<int32_t>(n));
    done += n;
    if (progress && !progress->advance(done, check.seal.payload_length)) return check;
  }
  check.payload_ok = crc == check.seal.payload_crc;
  return check;
}

// Walks the items in order from payload_offset; stops at the first item whose
// extent cannot be known (a stream that does not decode, a stored file that
// runs past the end of the file).
void walk_items(StreamCodec &codec, ByteSource &source, PackageReport *report, Progress *progress) {
  const uint64_t size = source.size();
  uint64_t at = report->payload_offset, done = 0, total = 0;
  for (const ItemCheck &check : report->items) total += check.item.size;
  for (ItemCheck &check : report->items) {
    const uint32_t configured = check.item.size;
    check.reached = true;
    check.offset = at;
    if (check.compressed) {
      ProgressSpan span(progress, done, total);
      StreamCheck stream = check_stream_at(codec, source, at, nullptr, &span);
      check.decoded_size = stream.declared_size;
      if (!stream.ok) {
        check.problem = stream.read_failed ? "reading failed: " + source.error() : stream.problem;
        break;
      }
      check.consumed_length = stream.consumed_length;
      at += stream.consumed_length;
      if (stream.declared_size != configured) {
        check.problem = "decodes to " + std::to_string(stream.declared_size) + " bytes, the record says " +
                        std::to_string(configured);
        continue;
      }
    } else {
      if (at > size || configured > size - at) {
        check.problem = "the file ends " + std::to_string(at + configured - size) + " bytes early";
        break;
      }
      check.consumed_length = configured;
      at += configured;
    }
    done += configured;
    check.ok = true;
  }
  report->payload_end = at;
  for (const ItemCheck &check : report->items) {
    if (!check.reached)
      report->problems.push_back(std::string(payload_role_name(check.item.role)) + ": not reached");
    else if (!check.ok)
      report->problems.push_back(std::string(payload_role_name(check.item.role)) + " at offset " +
                                 std::to_string(check.offset) + ": " + check.problem);
  }
}

void read_record(ByteSource &source, StreamCodec &codec, int codepage, Progress *progress,
                 const std::vector<uint8_t> &image, PackageReport *report) {
  read_stored_record(image.data() + report->image.record_offset, &report->record);
  const InstallConfig &record = report->record;
  report->header_check_holds = header_check_holds(&record);
  report->compressed = (record.flags & FLAG_COMPRESSED) != 0;
  report->silent = (record.flags & FLAG_SILENT) != 0;
  if (!report->header_check_holds && record.payload_offset == 0 && report->file_size == report->image.image_end) {
    report->kind = KIND_UNFILLED_STUB;
    report->problems.push_back("this is the unfilled stub: it holds no screen saver");
    return;
  }
  report->kind = KIND_PACKAGE;
  PayloadItem items[MAX_PAYLOAD_ITEMS];
  const int32_t count = plan_payload(&record, items);
  check_record_fields(report, items, count, codepage);
  if (record.payload_offset < 0) {
    report->problems.push_back("payload_offset is negative");
    return;
  }
  report->payload_offset = static_cast<uint64_t>(record.payload_offset);
  report->seal = check_seal(source, image, report->image.record_offset, report->payload_offset, nullptr);
  if (!seal_check_ok(&report->seal)) report->problems.push_back(describe_seal(report->seal));
  if (report->payload_offset != report->image.image_end)
    report->problems.push_back("payload_offset " + std::to_string(report->payload_offset) +
                               " is not where the stub's image ends (" + std::to_string(report->image.image_end) + ")");
  report->branding = read_branding(image.data(), image.size());
  if (!report->branding.ok) report->problems.push_back("resources: " + report->branding.problem);
  for (int32_t i = 0; i < count; ++i) {
    ItemCheck check;
    check.item = items[i];
    check.compressed = report->compressed;
    report->items.push_back(check);
  }
  walk_items(codec, source, report, progress);
}

}  // namespace

PackageReport read_package(ByteSource &source, StreamCodec &codec, int codepage, Progress *progress) {
  PackageReport report;
  try {
    report.file_size = source.size();
    report.codepage = codepage;
    std::vector<uint8_t> image;
    PackageResult stub = read_stub_image(source, &image, &report.image);
    if (!stub.ok()) {
      report.problems.push_back(stub.message);
      return report;
    }
    read_record(source, codec, codepage, progress, image, &report);
  } catch (const std::bad_alloc &) {
    report.problems.push_back("out of memory");
  }
  return report;
}

PackageResult write_payload_item(StreamCodec &codec, ByteSource &source, const ItemCheck &check, ByteSink &out,
                                 Progress *progress) {
  if (!check.ok) return PackageResult::fail(PACKAGE_DAMAGED, check.problem);
  if (check.compressed) {
    StreamCheck stream = check_stream_at(codec, source, check.offset, &out, progress);
    if (stream.ok) return {};
    if (stream.cancelled) return PackageResult::fail(PACKAGE_CANCELLED, "cancelled");
    if (stream.write_failed) return PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
    return PackageResult::fail(PACKAGE_DAMAGED,
                               stream.read_failed ? "reading failed: " + source.error() : stream.problem);
  }
  std::vector<uint8_t> chunk(COPY_CHUNK);
  const uint64_t size = check.item.size;
  for (uint64_t done = 0; done < size;) {
    const size_t n = size - done < COPY_CHUNK ? static_cast<size_t>(size - done) : size_t{COPY_CHUNK};
    if (!source.read_exactly(check.offset + done, chunk.data(), n))
      return PackageResult::fail(PACKAGE_DAMAGED, "reading failed: " + source.error());
    xor_buffer(chunk.data(), static_cast<int32_t>(n), check.item.key);
    if (!out.write(chunk.data(), n)) return PackageResult::fail(PACKAGE_DAMAGED, "write failed: " + out.error());
    done += n;
    if (progress && !progress->advance(done, size)) return PackageResult::fail(PACKAGE_CANCELLED, "cancelled");
  }
  return {};
}
