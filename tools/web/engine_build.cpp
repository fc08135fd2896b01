// Building an installer in the page: the request arrives field by field,
// the installer goes to the output buffer, and it is read back before the
// page gets it, as the command line reads back what it wrote.
#include <stdlib.h>
#include <string.h>

#include <emscripten.h>

#include <memory>

#include "package/build.h"
#include "package/builtin_stub.h"
#include "package/read.h"
#include "package/report_text.h"
#include "tools/web/engine.h"

namespace {

// A file the page handed over, in memory the request owns.
struct OwnedFile {
  uint8_t *bytes = nullptr;
  MemorySource source{nullptr, 0};
  ~OwnedFile() { free(bytes); }
};

struct WebRequest {
  PackageRequest request;
  MemorySource builtin{BUILTIN_STUB, BUILTIN_STUB_SIZE};
  OwnedFile files[4];  // main, second, extra, icon
};
std::unique_ptr<WebRequest> current;

const char *const FILE_ROLES[] = {"main", "second", "extra", "icon"};

struct TextField {
  const char *name;
  std::optional<std::string> PackageRequest::*text;
};
const TextField TEXT_FIELDS[] = {
    {"confirm", &PackageRequest::confirm},
    {"done", &PackageRequest::done},
    {"failure", &PackageRequest::failure},
    {"badHeader", &PackageRequest::bad_header},
    {"dialog", &PackageRequest::dialog},
    {"productName", &PackageRequest::product_name},
    {"productVersion", &PackageRequest::product_version},
    {"company", &PackageRequest::company},
    {"copyright", &PackageRequest::copyright},
    {"description", &PackageRequest::description},
};

// The request's file for a role (main, second, extra), or nullptr.
PackageFile *package_file(PackageRequest &request, int role) {
  PackageFile *files[] = {&request.main, &request.second, &request.extra};
  return role >= 0 && role < 3 ? files[role] : nullptr;
}

WebRequest &request_in_progress() {
  if (!current) current.reset(new WebRequest);
  return *current;
}

uint64_t payload_size(const PackageRequest &request) {
  uint64_t total = 0;
  for (const PackageFile *file : {&request.main, &request.second, &request.extra})
    if (file->source) total += file->source->size();
  return total;
}

// The installer just built, read back: {"ok":true,"size","notes","summary"}.
const char *read_back(const BuildOutcome &outcome, const std::string &output_name, int codepage) {
  MemorySource written(engine_output());
  PackageReport report;
  {
    WorkerProgress progress("check", outcome.size);
    report = read_package(written, package_codec(), codepage, &progress);
  }
  if (!report.sound()) {
    engine_output().clear();
    return engine_failure(
        PackageResult::fail(PACKAGE_DAMAGED, "the installer does not read back as built: " + report.problems.front()));
  }
  JsonWriter json;
  json.begin_object().key("ok").value(true).key("size").value(outcome.size);
  json.key("notes").lines(outcome.notes);
  json.key("summary").lines(build_summary(output_name, report, codepage));
  return engine_answer(json.end_object());
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE void kestrune_request_reset() { current.reset(new WebRequest); }

// Hands the request the file for role; it frees bytes. False for a role it
// does not know (bytes are freed all the same).
EMSCRIPTEN_KEEPALIVE bool kestrune_request_file(const char *role, uint8_t *bytes, size_t size, const char *name) {
  WebRequest &web = request_in_progress();
  for (int i = 0; i < 4; ++i) {
    if (strcmp(role, FILE_ROLES[i]) != 0) continue;
    OwnedFile &file = web.files[i];
    free(file.bytes);
    file.bytes = bytes;
    file.source = MemorySource(bytes, size);
    if (PackageFile *package = package_file(web.request, i)) {
      package->source = &file.source;
      package->name = name;
    } else {
      web.request.icon = &file.source;
    }
    return true;
  }
  free(bytes);
  return false;
}

// Sets a text (confirm ... description), a file's name (mainName,
// secondName, extraName) or outputName. False for a field it does not know.
EMSCRIPTEN_KEEPALIVE bool kestrune_request_text(const char *field, const char *text) {
  PackageRequest &request = request_in_progress().request;
  for (const TextField &known : TEXT_FIELDS) {
    if (strcmp(field, known.name) != 0) continue;
    request.*known.text = std::string(text);
    return true;
  }
  const char *const names[] = {"mainName", "secondName", "extraName"};
  for (int i = 0; i < 3; ++i) {
    if (strcmp(field, names[i]) != 0) continue;
    package_file(request, i)->name = text;
    return true;
  }
  if (strcmp(field, "outputName") != 0) return false;
  request.output_name = text;
  return true;
}

// mainParts, codepage, and the flags stored, best and silent (0 or 1).
EMSCRIPTEN_KEEPALIVE bool kestrune_request_number(const char *field, int value) {
  PackageRequest &request = request_in_progress().request;
  if (strcmp(field, "mainParts") == 0)
    request.main_parts = value;
  else if (strcmp(field, "codepage") == 0)
    request.codepage = value;
  else if (strcmp(field, "stored") == 0)
    request.stored = value != 0;
  else if (strcmp(field, "best") == 0)
    request.best = value != 0;
  else if (strcmp(field, "silent") == 0)
    request.silent = value != 0;
  else
    return false;
  return true;
}

// Builds the request made so far with the built-in stub, then forgets it.
// The installer is the output buffer; the answer its summary, or why not.
EMSCRIPTEN_KEEPALIVE const char *kestrune_build() {
  std::unique_ptr<WebRequest> web(current.release());
  if (!web) web.reset(new WebRequest);
  PackageRequest &request = web->request;
  engine_output().clear();
  if (!codepage_known(request.codepage))
    return engine_failure(PackageResult::fail(PACKAGE_REFUSED, "--codepage " + std::to_string(request.codepage) +
                                                                   ": not a code page this tool knows (" +
                                                                   known_codepages() + ")"));
  if (BUILTIN_STUB_SIZE == 0)
    return engine_failure(PackageResult::fail(PACKAGE_REFUSED, "this page was built without a stub"));
  request.stub = &web->builtin;
  VectorSink sink(&engine_output());
  BuildOutcome outcome;
  {
    WorkerProgress progress("build", payload_size(request));
    outcome = build_package(request, package_codec(), sink, &progress);
  }
  if (!outcome.result.ok()) {
    engine_output().clear();
    return engine_failure(outcome.result);
  }
  const std::string output_name = request.output_name;
  const int codepage = request.codepage;
  web.reset();  // the inputs' memory, before reading back
  return read_back(outcome, output_name, codepage);
}

}  // extern "C"
