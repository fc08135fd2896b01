#include "tools/package.h"

#include <string.h>

#include "installer/install_config.h"
#include "tools/integrity.h"
#include "tools/record.h"
#include "tools/memory_streams.h"
#include "tools/tool_files.h"

namespace {

const uint32_t MAX_SIZE = 0x7FFFFFFF;  // sizes and offsets are signed 32-bit in the stub

uint8_t key_for(PayloadRole role) {
  switch (role) {
    case ROLE_EXTRA: return KEY_EXTRA;
    case ROLE_SECOND: return KEY_SECOND;
    default: return KEY_MAIN;
  }
}

bool refuse(std::string *error, const std::string &why) {
  *error = why;
  return false;
}

bool names_equal_ignoring_case(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

bool check_request(const PackageRequest &request, std::string *error) {
  struct Named {
    const char *option;
    const std::string *value;
  };
  Named names[] = {{"--main-name", &request.main_name},
                   {"--second-name", &request.second_name},
                   {"--extra-name", &request.extra_name}};
  for (int i = 0; i < (request.has_extra ? 3 : 2); ++i) {
    if (const char *why = file_name_problem(*names[i].value))
      return refuse(error, std::string(names[i].option) + " \"" + *names[i].value + "\": " + why);
  }
  if (names_equal_ignoring_case(request.main_name, request.second_name) ||
      (request.has_extra && (names_equal_ignoring_case(request.extra_name, request.main_name) ||
                             names_equal_ignoring_case(request.extra_name, request.second_name))))
    return refuse(error, "the payload files need different names (Windows ignores case)");

  Named texts[] = {{"--confirm", &request.confirm_text},   {"--done", &request.done_text},
                   {"--failure", &request.failure_text},   {"--bad-header", &request.bad_header_text},
                   {"--dialog", &request.dialog_text}};
  for (const Named &text : texts) {
    if (text.value->size() > TEXT_SLOT_SIZE - 1)
      return refuse(error, std::string(text.option) + " is " + std::to_string(text.value->size()) +
                               " characters; at most 63 fit");
    if (text.value->find('\0') != std::string::npos)
      return refuse(error, std::string(text.option) + " contains a zero byte");
  }

  if (request.main_parts < 1 || request.main_parts > 3) return refuse(error, "--main-parts must be 1, 2 or 3");
  if (request.stored && request.main_parts != 1)
    return refuse(error, "--main-parts needs a compressed package (not --stored)");
  if (request.has_extra && request.extra_file.empty())
    return refuse(error, "the extra file is empty; an empty extra file cannot be represented (size 0 means none)");
  if (static_cast<size_t>(request.main_parts) > request.main_file.size() && request.main_parts > 1)
    return refuse(error, "the main file has fewer bytes than --main-parts; an empty part cannot be represented");
  if (request.main_file.size() > MAX_SIZE || request.second_file.size() > MAX_SIZE ||
      request.extra_file.size() > MAX_SIZE)
    return refuse(error, "payload files must be smaller than 2 GiB");
  return true;
}

// Finds the one record of an unfilled stub; false with a message otherwise.
bool locate_stub_record(const std::vector<uint8_t> &stub, size_t *record_start, std::string *error) {
  std::vector<size_t> hits = find_signature_hits(stub.data(), stub.size());
  if (hits.empty()) return refuse(error, "the stub holds no install record");
  if (hits.size() > 1)
    return refuse(error, "the stub holds " + std::to_string(hits.size()) + " install records; exactly one is needed");
  size_t start = record_start_for_hit(hits[0], stub.size());
  if (start == SIZE_MAX) return refuse(error, "the stub's install record is cut off");
  uint8_t plain[CONFIG_SIZE];
  memcpy(plain, stub.data() + start, CONFIG_SIZE);
  scramble_bytes(plain, CONFIG_SIZE, CONFIG_KEY);
  if (header_check_holds(plain) && read_le32(plain + OFFSET_PAYLOAD_OFFSET) != 0)
    return refuse(error, "the stub is already a package (its record is filled in)");
  *record_start = start;
  return true;
}

void put_text(uint8_t *record, int offset, const std::string &text) {
  memset(record + offset, 0, TEXT_SLOT_SIZE);
  memcpy(record + offset, text.data(), text.size());
}

void append_scrambled(std::vector<uint8_t> *out, const std::vector<uint8_t> &bytes, uint8_t key) {
  size_t start = out->size();
  out->insert(out->end(), bytes.begin(), bytes.end());
  scramble_bytes(out->data() + start, bytes.size(), key);
}

}  // namespace

std::vector<size_t> split_main_file(size_t size, int parts) {
  std::vector<size_t> sizes;
  for (int i = 0; i < parts; ++i) sizes.push_back(size / parts + (static_cast<size_t>(i) < size % parts ? 1 : 0));
  return sizes;
}

BuildStatus build_package(const PackageRequest &request, std::vector<uint8_t> *package, std::string *error) {
  package->clear();
  size_t record_start = 0;
  if (!check_request(request, error) || !locate_stub_record(request.stub, &record_start, error))
    return BUILD_REFUSED;
  if (request.stub.size() > MAX_SIZE) {
    *error = "the stub is larger than 2 GiB";
    return BUILD_REFUSED;
  }

  // ---- payload ----
  std::vector<uint8_t> payload;
  std::vector<size_t> parts = split_main_file(request.main_file.size(), request.stored ? 1 : request.main_parts);
  if (request.stored) {
    if (request.has_extra) append_scrambled(&payload, request.extra_file, KEY_EXTRA);
    append_scrambled(&payload, request.main_file, KEY_MAIN);
    append_scrambled(&payload, request.second_file, KEY_SECOND);
  } else {
    bool ok = true;
    if (request.has_extra) ok = ok && compress_bytes(request.extra_file.data(), request.extra_file.size(), &payload);
    size_t at = 0;
    for (size_t part : parts) {
      ok = ok && compress_bytes(request.main_file.data() + at, part, &payload);
      at += part;
    }
    ok = ok && compress_bytes(request.second_file.data(), request.second_file.size(), &payload);
    if (!ok) {
      *error = "compressing the payload failed";
      return BUILD_FAILED;
    }
  }
  if (payload.size() > MAX_SIZE - request.stub.size()) {
    *error = "the package would be larger than 2 GiB";
    return BUILD_REFUSED;
  }

  // ---- record ----
  uint8_t record[CONFIG_SIZE] = {};
  uint32_t payload_offset = static_cast<uint32_t>(request.stub.size());
  uint32_t main_size = static_cast<uint32_t>(parts[0]);
  uint32_t second_size = static_cast<uint32_t>(request.second_file.size());
  write_le32(record + OFFSET_PAYLOAD_OFFSET, payload_offset);
  write_le32(record + OFFSET_MAIN_SIZE, main_size);
  write_le32(record + OFFSET_SECOND_SIZE, second_size);
  write_le32(record + OFFSET_HEADER_CHECK, payload_offset ^ main_size ^ second_size ^ 0u);
  write_le32(record + OFFSET_EXTRA_SIZE, request.has_extra ? static_cast<uint32_t>(request.extra_file.size()) : 0);
  write_le32(record + OFFSET_FLAGS, (request.stored ? 0 : FLAG_COMPRESSED) | (request.silent ? FLAG_SILENT : 0));
  write_le32(record + OFFSET_MAIN_PART2_SIZE, parts.size() > 1 ? static_cast<uint32_t>(parts[1]) : 0);
  write_le32(record + OFFSET_MAIN_PART3_SIZE, parts.size() > 2 ? static_cast<uint32_t>(parts[2]) : 0);
  put_text(record, OFFSET_MAIN_FILE_NAME, request.main_name);
  put_text(record, OFFSET_SECOND_FILE_NAME, request.second_name);
  put_text(record, OFFSET_EXTRA_FILE_NAME, request.has_extra ? request.extra_name : std::string());
  put_text(record, OFFSET_CONFIRM_TEXT, request.confirm_text);
  put_text(record, OFFSET_DONE_TEXT, request.done_text);
  put_text(record, OFFSET_FAILURE_TEXT, request.failure_text);
  put_text(record, OFFSET_BAD_HEADER_TEXT, request.bad_header_text);
  put_text(record, OFFSET_DIALOG_TEXT, request.dialog_text);
  memcpy(record + OFFSET_RECORD_SIGNATURE, RECORD_SIGNATURE, RECORD_SIGNATURE_SIZE);
  scramble_bytes(record, CONFIG_SIZE, CONFIG_KEY);

  package->reserve(request.stub.size() + payload.size());
  package->assign(request.stub.begin(), request.stub.end());
  memcpy(package->data() + record_start, record, CONFIG_SIZE);
  package->insert(package->end(), payload.begin(), payload.end());
  // Last: the seal covers the finished record and every payload byte.
  if (!kestrune::seal_installer(package->data(), package->size(), record_start)) {
    package->clear();
    *error = "sealing the package failed";
    return BUILD_FAILED;
  }
  return BUILD_OK;
}

// ---- reading ---------------------------------------------------------------------

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

int name_offset_for(PayloadRole role) {
  switch (role) {
    case ROLE_EXTRA: return OFFSET_EXTRA_FILE_NAME;
    case ROLE_SECOND: return OFFSET_SECOND_FILE_NAME;
    default: return OFFSET_MAIN_FILE_NAME;
  }
}

namespace {

void check_record_fields(PackageReport *report) {
  const uint8_t *plain = report->plain_record;
  if (!report->header_check_holds) report->problems.push_back("header_check does not hold");
  for (const TextSlot &slot : TEXT_SLOTS) {
    if (!text_slot_terminated(plain, slot.offset))
      report->problems.push_back(std::string(slot.name) + " has no terminating zero within its 64 bytes");
  }
  bool has_extra = read_le32(plain + OFFSET_EXTRA_SIZE) != 0;
  for (int offset : {OFFSET_MAIN_FILE_NAME, OFFSET_SECOND_FILE_NAME, OFFSET_EXTRA_FILE_NAME}) {
    if (offset == OFFSET_EXTRA_FILE_NAME && !has_extra) continue;
    if (const char *why = file_name_problem(text_slot_value(plain, offset))) {
      const char *field = offset == OFFSET_MAIN_FILE_NAME     ? "main_file_name"
                          : offset == OFFSET_SECOND_FILE_NAME ? "second_file_name"
                                                              : "extra_file_name";
      report->problems.push_back(std::string(field) + " is not a plain file name: " + why);
    }
  }
}

void plan_items(PackageReport *report) {
  const uint8_t *plain = report->plain_record;
  uint32_t extra = read_le32(plain + OFFSET_EXTRA_SIZE);
  uint32_t part2 = read_le32(plain + OFFSET_MAIN_PART2_SIZE);
  uint32_t part3 = read_le32(plain + OFFSET_MAIN_PART3_SIZE);
  auto add = [report](PayloadRole role, uint32_t size) {
    PayloadItem item;
    item.role = role;
    item.compressed = report->compressed;
    item.configured_size = size;
    report->items.push_back(item);
  };
  if (extra != 0) add(ROLE_EXTRA, extra);
  add(ROLE_MAIN, read_le32(plain + OFFSET_MAIN_SIZE));
  if (report->compressed && part2 != 0) add(ROLE_MAIN_PART2, part2);
  if (report->compressed && part3 != 0) add(ROLE_MAIN_PART3, part3);
  add(ROLE_SECOND, read_le32(plain + OFFSET_SECOND_SIZE));
}

// Walks the items in order from payload_offset; stops at the first item whose
// extent cannot be known (a stream that does not decode, a stored file that
// runs past the end of the file).
void walk_items(const uint8_t *image, size_t size, PackageReport *report) {
  uint64_t at = report->payload_offset;
  for (PayloadItem &item : report->items) {
    item.reached = true;
    item.offset = at;
    if (item.compressed) {
      StreamCheck check = decode_stream_at(image, size, at, nullptr);
      item.decoded_size = check.declared_size;
      if (!check.ok) {
        item.problem = check.problem;
        break;
      }
      item.stored_length = check.container_length;
      at += check.container_length;
      if (check.declared_size != item.configured_size) {
        item.problem = "decodes to " + std::to_string(check.declared_size) + " bytes, the record says " +
                       std::to_string(item.configured_size);
        continue;
      }
    } else {
      if (at > size || item.configured_size > size - at) {
        item.problem = "the file ends " + std::to_string(at + item.configured_size - size) + " bytes early";
        break;
      }
      item.stored_length = item.configured_size;
      at += item.configured_size;
    }
    item.ok = true;
  }
  report->payload_end = at;
  for (const PayloadItem &item : report->items) {
    if (!item.reached)
      report->problems.push_back(std::string(payload_role_name(item.role)) + ": not reached");
    else if (!item.ok)
      report->problems.push_back(std::string(payload_role_name(item.role)) + " at offset " +
                                 std::to_string(item.offset) + ": " + item.problem);
  }
}

}  // namespace

PackageReport read_package(const uint8_t *image, size_t size) {
  PackageReport report;
  report.file_size = size;
  std::vector<size_t> hits = find_signature_hits(image, size);
  report.signature_hits = hits.size();
  // The first hit whose record lies within the file: the stub, and so its
  // record, comes before any payload byte.
  size_t start = SIZE_MAX;
  for (size_t i = 0; i < hits.size() && start == SIZE_MAX; ++i) start = record_start_for_hit(hits[i], size);
  if (start == SIZE_MAX) {
    report.problems.push_back(hits.empty() ? "no install record found" : "the install record is cut off");
    return report;
  }
  report.record_found = true;
  report.record_offset = start;
  memcpy(report.plain_record, image + start, CONFIG_SIZE);
  scramble_bytes(report.plain_record, CONFIG_SIZE, CONFIG_KEY);
  const uint8_t *plain = report.plain_record;
  report.header_check_holds = header_check_holds(plain);
  uint32_t flags = read_le32(plain + OFFSET_FLAGS);
  report.compressed = (flags & FLAG_COMPRESSED) != 0;
  report.silent = (flags & FLAG_SILENT) != 0;
  check_record_fields(&report);
  report.seal = kestrune::check_seal(image, size, start);
  if (!report.seal.ok()) report.problems.push_back(kestrune::describe_seal(report.seal));

  int32_t payload_offset = static_cast<int32_t>(read_le32(plain + OFFSET_PAYLOAD_OFFSET));
  if (payload_offset < 0) {
    report.problems.push_back("payload_offset is negative");
    return report;
  }
  report.payload_offset = static_cast<uint64_t>(payload_offset);
  plan_items(&report);
  walk_items(image, size, &report);
  return report;
}

bool write_payload_item(const uint8_t *image, size_t size, const PayloadItem &item, StreamFile output) {
  if (!item.ok) return false;
  if (item.compressed) return decode_stream_at(image, size, item.offset, output).ok;
  if (item.offset > size || item.configured_size > size - item.offset) return false;
  uint8_t chunk[16384];
  uint64_t left = item.configured_size;
  const uint8_t *from = image + item.offset;
  while (left > 0) {
    int32_t count = static_cast<int32_t>(left < sizeof chunk ? left : sizeof chunk);
    memcpy(chunk, from, count);
    scramble_bytes(chunk, count, key_for(item.role));
    if (stream_file_write(output, chunk, count) != count) return false;
    from += count;
    left -= count;
  }
  return true;
}
