// Reading an installer in the page: the report inspect and verify give, as
// JSON, and for extract the files it holds in the output buffer.
#include <stdio.h>
#include <string.h>

#include <emscripten.h>

#include "package/codepage.h"
#include "package/names.h"
#include "package/read.h"
#include "package/record_fields.h"
#include "package/report_text.h"
#include "tools/web/engine.h"

namespace {

const char *kind_name(PackageKind kind) {
  switch (kind) {
    case KIND_NOT_A_STUB: return "not a stub";
    case KIND_UNFILLED_STUB: return "unfilled stub";
    case KIND_PACKAGE: return "package";
  }
  return "not a stub";
}

// The record field by field: words as numbers, texts as UTF-8 strings and
// the seal's bytes in hexadecimal, under the names inspect prints.
void record_json(const InstallConfig &record, int codepage, JsonWriter &json) {
  json.begin_object();
  const uint8_t *bytes = reinterpret_cast<const uint8_t *>(&record);
  for (size_t i = 0; i < RECORD_FIELD_COUNT; ++i) {
    const RecordField &field = RECORD_FIELDS[i];
    json.key(field.name);
    uint32_t word;
    memcpy(&word, bytes + field.offset, sizeof word);
    if (field.kind == FIELD_WORD) {
      json.value(static_cast<uint64_t>(word));
    } else if (field.kind == FIELD_SIGNED_WORD) {
      json.value(static_cast<int64_t>(static_cast<int32_t>(word)));
    } else if (field.kind == FIELD_TEXT || field.offset == OFFSET_RECORD_SIGNATURE) {
      json.value(codepage_to_utf8(text_slot_value(record, field.offset), codepage));
    } else {
      std::string hex;
      for (int32_t b = 0; b < field.size; ++b) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02x", bytes[field.offset + b]);
        hex += digits;
      }
      json.value(hex);
    }
  }
  json.end_object();
}

void items_json(const PackageReport &report, int codepage, JsonWriter &json) {
  json.begin_array();
  for (const ItemCheck &check : report.items) {
    json.begin_object().key("role").value(payload_role_name(check.item.role));
    json.key("name").value(codepage_to_utf8(text_slot_value(report.record, check.item.name_offset), codepage));
    json.key("compressed").value(check.compressed).key("reached").value(check.reached).key("ok").value(check.ok);
    json.key("offset").value(check.offset).key("length").value(check.consumed_length);
    json.key("size").value(static_cast<uint64_t>(check.item.size));
    json.key("decodedSize").value(static_cast<uint64_t>(check.decoded_size));
    json.key("problem").value(check.problem).end_object();
  }
  json.end_array();
}

void seal_json(const SealCheck &check, JsonWriter &json) {
  json.begin_object().key("present").value(check.seal.present != 0);
  json.key("recordOk").value(check.record_ok != 0).key("payloadOk").value(check.payload_ok != 0);
  json.key("recordCrc").value(static_cast<uint64_t>(check.seal.record_crc));
  json.key("payloadLength").value(static_cast<uint64_t>(check.seal.payload_length));
  json.key("payloadCrc").value(static_cast<uint64_t>(check.seal.payload_crc));
  json.key("trailingBytes").value(check.trailing_bytes).key("text").value(describe_seal(check)).end_object();
}

// The report as an object: what inspect lists and verify decides.
void report_json(const PackageReport &report, const std::string &name, int codepage, JsonWriter &json) {
  json.begin_object().key("kind").value(kind_name(report.kind)).key("sound").value(report.sound());
  json.key("fileSize").value(report.file_size).key("codepage").value(codepage);
  json.key("problems").lines(report.problems);
  json.key("listing").lines(inspect_listing(name, report, codepage));
  json.key("verdict");
  if (report.sound())
    json.value(verify_verdict(name, report));
  else
    json.null();
  if (report.kind != KIND_NOT_A_STUB) {
    json.key("recordOffset").value(static_cast<uint64_t>(report.image.record_offset));
    json.key("headerCheckHolds").value(report.header_check_holds);
    json.key("record");
    record_json(report.record, codepage, json);
  }
  if (report.kind == KIND_PACKAGE) {
    json.key("compressed").value(report.compressed).key("silent").value(report.silent);
    json.key("payloadOffset").value(report.payload_offset).key("payloadEnd").value(report.payload_end);
    json.key("namesDistinct").value(report.names_distinct);
    json.key("items");
    items_json(report, codepage, json);
    json.key("seal");
    seal_json(report.seal, json);
  }
  json.end_object();
}

// The files of the installer, one after the other in the output buffer:
// "files": [{"name", "size", "at"}], with extract's warnings. False with
// *failed when one cannot be written.
bool extract_files(ByteSource &installer, const PackageReport &report, const std::vector<ExtractFile> &files,
                   int codepage, JsonWriter &json, PackageResult *failed) {
  std::vector<uint8_t> &out = engine_output();
  VectorSink sink(&out);
  json.key("files").begin_array();
  for (const ExtractFile &file : files) {
    const uint64_t at = out.size();
    for (size_t item : file.items) {
      WorkerProgress progress("extract", file.size);
      PackageResult written = write_payload_item(package_codec(), installer, report.items[item], sink, &progress);
      if (!written.ok()) {
        *failed = written;
        return false;
      }
    }
    json.begin_object().key("name").value(codepage_to_utf8(file.name, codepage));
    json.key("size").value(file.size).key("at").value(at).end_object();
  }
  json.end_array();
  return true;
}

}  // namespace

extern "C" {

// Reads the installer in bytes (the caller keeps them) and answers
// {"ok":true,"report":{...}}. extract 1 also writes its files out (2: what
// can be written even from a damaged one, as --force); refusing answers
// {"ok":false,...,"report"}. name stands for the file in the report's lines.
EMSCRIPTEN_KEEPALIVE const char *kestrune_read(const uint8_t *bytes, size_t size, int codepage, const char *name,
                                               int extract) {
  engine_output().clear();
  if (!codepage_known(codepage))
    return engine_failure(PackageResult::fail(
        PACKAGE_REFUSED,
        "--codepage " + std::to_string(codepage) + ": not a code page this tool knows (" + known_codepages() + ")"));
  MemorySource installer(bytes, size);
  PackageReport report;
  {
    WorkerProgress progress("check", size);
    report = read_package(installer, package_codec(), codepage, &progress);
  }
  std::vector<ExtractFile> files;
  std::vector<std::string> warnings;
  PackageResult plan;
  if (extract) plan = plan_extraction(report, extract == 2, &files, &warnings);
  JsonWriter json;
  json.begin_object().key("ok").value(plan.ok());
  if (!plan.ok()) {
    const bool refused = extract != 2;
    json.key("status").value("damaged");
    json.key("message").value(refused ? "refusing to extract what verify refuses; nothing was written "
                                        "(--force extracts what can be extracted)"
                                      : plan.message);
  }
  json.key("report");
  report_json(report, name, codepage, json);
  if (plan.ok() && extract) {
    json.key("warnings").lines(warnings);
    PackageResult failed;
    if (!extract_files(installer, report, files, codepage, json, &failed)) {
      engine_output().clear();
      return engine_failure(PackageResult::fail(failed.status, name + std::string(": ") + failed.message));
    }
  }
  return engine_answer(json.end_object());
}

}  // extern "C"
