#include "tools/package.h"

#include <string.h>

#include "format/payload.h"
#include "format/record.h"
#include "format/seal.h"
#include "tools/record_words.h"

namespace {

const uint32_t MAX_SIZE = 0x7FFFFFFF;  // sizes and offsets are signed 32-bit in the stub

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

  Named texts[] = {{"--confirm", &request.confirm_text},
                   {"--done", &request.done_text},
                   {"--failure", &request.failure_text},
                   {"--bad-header", &request.bad_header_text},
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
  if (request.stored && request.best) return refuse(error, "--best needs a compressed package (not --stored)");
  if (!request.main_part_sizes.empty()) {
    size_t total = 0;
    for (size_t part : request.main_part_sizes) total += part;
    if (request.main_part_sizes.size() != static_cast<size_t>(request.main_parts) || total != request.main_file.size())
      return refuse(error, "the main part sizes do not add up to the main file");
    for (size_t i = 1; i < request.main_part_sizes.size(); ++i)
      if (request.main_part_sizes[i] == 0) return refuse(error, "an empty main part cannot be represented");
  }
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
  size_t hits = 0;
  size_t start = find_record(stub.data(), stub.size(), &hits);
  if (hits == 0) return refuse(error, "the stub holds no install record");
  if (hits > 1)
    return refuse(error, "the stub holds " + std::to_string(hits) + " install records; exactly one is needed");
  if (start == SIZE_MAX) return refuse(error, "the stub's install record is cut off");
  InstallConfig record;
  read_stored_record(stub.data() + start, &record);
  if (header_check_holds(&record) && record.payload_offset != 0)
    return refuse(error, "the stub is already a package (its record is filled in)");
  *record_start = start;
  return true;
}

void put_text(InstallConfig *record, int32_t offset, const std::string &text) {
  char *slot = record_text(record, offset);
  memset(slot, 0, TEXT_SLOT_SIZE);
  memcpy(slot, text.data(), text.size());
}

InstallConfig fill_record(const PackageRequest &request, const std::vector<size_t> &parts) {
  InstallConfig record = {};
  record.payload_offset = static_cast<int32_t>(request.stub.size());
  record.main_size = static_cast<uint32_t>(parts[0]);
  record.second_size = static_cast<uint32_t>(request.second_file.size());
  record.header_check = expected_header_check(&record);
  record.extra_size = request.has_extra ? static_cast<uint32_t>(request.extra_file.size()) : 0;
  record.flags = (request.stored ? 0 : FLAG_COMPRESSED) | (request.silent ? FLAG_SILENT : 0);
  record.main_part2_size = parts.size() > 1 ? static_cast<uint32_t>(parts[1]) : 0;
  record.main_part3_size = parts.size() > 2 ? static_cast<uint32_t>(parts[2]) : 0;
  put_text(&record, OFFSET_MAIN_FILE_NAME, request.main_name);
  put_text(&record, OFFSET_SECOND_FILE_NAME, request.second_name);
  put_text(&record, OFFSET_EXTRA_FILE_NAME, request.has_extra ? request.extra_name : std::string());
  put_text(&record, OFFSET_CONFIRM_TEXT, request.confirm_text);
  put_text(&record, OFFSET_DONE_TEXT, request.done_text);
  put_text(&record, OFFSET_FAILURE_TEXT, request.failure_text);
  put_text(&record, OFFSET_BAD_HEADER_TEXT, request.bad_header_text);
  put_text(&record, OFFSET_DIALOG_TEXT, request.dialog_text);
  put_text(&record, OFFSET_RECORD_SIGNATURE, RECORD_SIGNATURE);
  return record;
}

// The bytes of one payload item's file or part, before storing or compressing.
struct Slice {
  const uint8_t *data;
  size_t size;
};

Slice item_content(const PackageRequest &request, const std::vector<size_t> &parts, PayloadRole role) {
  switch (role) {
    case ROLE_EXTRA: return {request.extra_file.data(), request.extra_file.size()};
    case ROLE_SECOND: return {request.second_file.data(), request.second_file.size()};
    case ROLE_MAIN: return {request.main_file.data(), parts[0]};
    case ROLE_MAIN_PART2: return {request.main_file.data() + parts[0], parts[1]};
    case ROLE_MAIN_PART3: return {request.main_file.data() + parts[0] + parts[1], parts[2]};
  }
  return {nullptr, 0};
}

}  // namespace

std::vector<size_t> split_main_file(size_t size, int parts) {
  std::vector<size_t> sizes;
  for (int i = 0; i < parts; ++i) sizes.push_back(size / parts + (static_cast<size_t>(i) < size % parts ? 1 : 0));
  return sizes;
}

BuildStatus build_package(const PackageRequest &request, std::vector<uint8_t> *package, std::string *error,
                          StreamEncoder encode) {
  package->clear();
  size_t record_start = 0;
  if (!check_request(request, error) || !locate_stub_record(request.stub, &record_start, error)) return BUILD_REFUSED;
  if (request.stub.size() > MAX_SIZE) {
    *error = "the stub is larger than 2 GiB";
    return BUILD_REFUSED;
  }

  std::vector<size_t> parts = request.main_part_sizes.empty()
                                  ? split_main_file(request.main_file.size(), request.stored ? 1 : request.main_parts)
                                  : request.main_part_sizes;
  InstallConfig record = fill_record(request, parts);

  // The payload, item by item in the order the record implies.
  std::vector<uint8_t> payload;
  PayloadItem items[MAX_PAYLOAD_ITEMS];
  const int32_t count = plan_payload(&record, items);
  for (int32_t i = 0; i < count; ++i) {
    Slice content = item_content(request, parts, items[i].role);
    if (request.stored) {
      size_t start = payload.size();
      payload.insert(payload.end(), content.data, content.data + content.size);
      xor_buffer(payload.data() + start, static_cast<int32_t>(content.size), items[i].key);
    } else if (!encode(content.data, content.size, &payload, request.best)) {
      *error = "compressing the payload failed";
      return BUILD_FAILED;
    }
  }
  if (payload.size() > MAX_SIZE - request.stub.size()) {
    *error = "the package would be larger than 2 GiB";
    return BUILD_REFUSED;
  }

  package->reserve(request.stub.size() + payload.size());
  package->assign(request.stub.begin(), request.stub.end());
  write_stored_record(&record, package->data() + record_start);
  package->insert(package->end(), payload.begin(), payload.end());
  // Last: the seal covers the finished record and every payload byte.
  if (!seal_image(package->data(), package->size(), record_start)) {
    package->clear();
    *error = "sealing the package failed";
    return BUILD_FAILED;
  }
  return BUILD_OK;
}
