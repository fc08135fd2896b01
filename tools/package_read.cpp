#include "tools/package_read.h"

#include <string.h>

#include "format/record_fields.h"
#include "tools/memory_streams.h"
#include "tools/record_words.h"
#include "tools/tool_files.h"

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

const char *name_field(int32_t offset) {
  return offset == OFFSET_MAIN_FILE_NAME     ? "main_file_name"
         : offset == OFFSET_SECOND_FILE_NAME ? "second_file_name"
                                             : "extra_file_name";
}

void check_record_fields(PackageReport *report, const PayloadItem *items, int32_t count) {
  const InstallConfig &record = report->record;
  if (!report->header_check_holds) report->problems.push_back("header_check does not hold");
  for (const RecordField &slot : TEXT_SLOTS) {
    if (!text_slot_terminated(&record, slot.offset))
      report->problems.push_back(std::string(slot.name) + " has no terminating zero within its 64 bytes");
  }
  for (int32_t i = 0; i < count; ++i) {
    if (!items[i].new_file) continue;
    if (const char *why = file_name_problem(text_slot_value(record, items[i].name_offset)))
      report->problems.push_back(std::string(name_field(items[i].name_offset)) + " is not a plain file name: " + why);
  }
}

// Walks the items in order from payload_offset; stops at the first item whose
// extent cannot be known (a stream that does not decode, a stored file that
// runs past the end of the file).
void walk_items(const uint8_t *image, size_t size, PackageReport *report) {
  uint64_t at = report->payload_offset;
  for (ItemCheck &check : report->items) {
    const uint32_t configured = check.item.size;
    check.reached = true;
    check.offset = at;
    if (check.compressed) {
      StreamCheck stream = decode_stream_at(image, size, at, nullptr);
      check.decoded_size = stream.declared_size;
      if (!stream.ok) {
        check.problem = stream.problem;
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

}  // namespace

PackageReport read_package(const uint8_t *image, size_t size) {
  PackageReport report;
  report.file_size = size;
  size_t start = find_record(image, size, &report.signature_hits);
  if (start == SIZE_MAX) {
    report.problems.push_back(report.signature_hits == 0 ? "no install record found" : "the install record is cut off");
    return report;
  }
  report.record_found = true;
  report.record_offset = start;
  read_stored_record(image + start, &report.record);
  const InstallConfig &record = report.record;
  report.header_check_holds = header_check_holds(&record);
  report.compressed = (record.flags & FLAG_COMPRESSED) != 0;
  report.silent = (record.flags & FLAG_SILENT) != 0;

  PayloadItem items[MAX_PAYLOAD_ITEMS];
  const int32_t count = plan_payload(&record, items);
  check_record_fields(&report, items, count);
  report.seal = check_image_seal(image, size, start);
  if (!seal_check_ok(&report.seal)) report.problems.push_back(describe_seal(report.seal));

  if (record.payload_offset < 0) {
    report.problems.push_back("payload_offset is negative");
    return report;
  }
  report.payload_offset = static_cast<uint64_t>(record.payload_offset);
  for (int32_t i = 0; i < count; ++i) {
    ItemCheck check;
    check.item = items[i];
    check.compressed = report.compressed;
    report.items.push_back(check);
  }
  walk_items(image, size, &report);
  return report;
}

bool write_payload_item(const uint8_t *image, size_t size, const ItemCheck &check, StreamFile output) {
  if (!check.ok) return false;
  if (check.compressed) return decode_stream_at(image, size, check.offset, output).ok;
  const uint32_t length = check.item.size;
  if (check.offset > size || length > size - check.offset) return false;
  uint8_t chunk[16384];
  uint64_t left = length;
  const uint8_t *from = image + check.offset;
  while (left > 0) {
    int32_t count = static_cast<int32_t>(left < sizeof chunk ? left : sizeof chunk);
    memcpy(chunk, from, count);
    xor_buffer(chunk, count, check.item.key);
    if (stream_file_write(output, chunk, count) != count) return false;
    from += count;
    left -= count;
  }
  return true;
}
