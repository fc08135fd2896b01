// The web page's engine: the package library compiled to WebAssembly, with
// a few extern "C" calls for the page's worker script (tools/web/worker.js).
// Bytes travel in the module's linear memory; every answer is a JSON text
// that stays valid until the next call, and bytes the answer points at lie
// in the output buffer until the next build or read.
//
//   kestrune_request_reset()                  a new, empty build request
//   kestrune_request_file(role, bytes, n, name)  main/second/extra/icon; the
//                                             request owns bytes (malloc'd)
//   kestrune_request_text(field, text)        a text or name, UTF-8
//   kestrune_request_number(field, value)     mainParts, codepage, flags
//   kestrune_build()                          the installer -> output buffer
//   kestrune_read(bytes, n, codepage, name, how)  inspect / verify / extract
//   kestrune_describe_name(name, codepage)    8.3 form, problem, done text
//   kestrune_defaults()                       the default texts, code pages
//   kestrune_output_data(), kestrune_output_size()
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "package/io.h"
#include "tools/web/json.h"

// The bytes the last build or extraction produced.
std::vector<uint8_t> &engine_output();

// The answer of a call, kept until the next one.
const char *engine_answer(const JsonWriter &json);

// {"ok":false,"status":"refused"|"damaged"|"cancelled","message":...}.
const char *engine_failure(const PackageResult &result);

// Progress passed on to the worker script (Module.onProgress(phase, done,
// total)), at most once per hundredth of the total so that a large file does
// not flood the page with messages.
class WorkerProgress : public Progress {
 public:
  WorkerProgress(const char *phase, uint64_t total) : phase_(phase), total_(total) {}
  bool advance(uint64_t done, uint64_t total) override;

 private:
  const char *phase_;
  uint64_t total_;
  uint64_t next_ = 0;
};
