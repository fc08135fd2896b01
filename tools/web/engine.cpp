// What the engine's calls share, and the calls that help the form: a
// name's 8.3 form and the texts a package gets unless its author gives
// others.
#include "tools/web/engine.h"

#include <emscripten.h>

#include "package/codepage.h"
#include "package/names.h"

namespace {

std::vector<uint8_t> output;
std::string answer;

const char *status_name(PackageStatus status) {
  switch (status) {
    case PACKAGE_OK: return "ok";
    case PACKAGE_DAMAGED: return "damaged";
    case PACKAGE_REFUSED: return "refused";
    case PACKAGE_CANCELLED: return "cancelled";
  }
  return "damaged";
}

// A name as the library sees it, back in UTF-8 for the page.
std::string for_page(const std::string &text, int codepage) { return codepage_to_utf8(text, codepage); }

}  // namespace

EM_JS(void, post_progress, (const char *phase, double done, double total), {
  if (Module.onProgress) Module.onProgress(UTF8ToString(phase), done, total);
});

std::vector<uint8_t> &engine_output() { return output; }

const char *engine_answer(const JsonWriter &json) {
  answer = json.text();
  return answer.c_str();
}

const char *engine_failure(const PackageResult &result) {
  JsonWriter json;
  json.begin_object().key("ok").value(false);
  json.key("status").value(status_name(result.status)).key("message").value(result.message);
  return engine_answer(json.end_object());
}

bool WorkerProgress::advance(uint64_t done, uint64_t) {
  if (done >= next_ || done == total_) {
    post_progress(phase_, static_cast<double>(done), static_cast<double>(total_));
    next_ = done + total_ / 100 + 1;
  }
  return true;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE uint8_t *kestrune_output_data() { return output.data(); }
EMSCRIPTEN_KEEPALIVE size_t kestrune_output_size() { return output.size(); }

// {"shortName", "problem", "doneText"} for a file name the page was given
// (UTF-8): the 8.3 name the file system likely makes ("" when it needs
// none), why it is no plain name (null when it is one), and the done text
// it gives when it names the main file.
EMSCRIPTEN_KEEPALIVE const char *kestrune_describe_name(const char *name, int codepage) {
  std::string in_codepage, error;
  JsonWriter json;
  json.begin_object();
  if (!text_in_codepage(name, TEXT_UTF8, codepage, "the name", &in_codepage, &error)) {
    json.key("shortName").value("").key("problem").value(error).key("doneText").value("");
    return engine_answer(json.end_object());
  }
  json.key("shortName").value(for_page(likely_short_name(in_codepage), codepage));
  json.key("problem");
  if (const char *why = file_name_problem(in_codepage))
    json.value(why);
  else
    json.null();
  json.key("doneText").value(for_page(default_done_text(in_codepage), codepage));
  return engine_answer(json.end_object());
}

// {"failure", "badHeader", "codepages": [...], "defaultCodepage"}.
EMSCRIPTEN_KEEPALIVE const char *kestrune_defaults() {
  JsonWriter json;
  json.begin_object().key("failure").value(DEFAULT_FAILURE_TEXT).key("badHeader").value(DEFAULT_BAD_HEADER_TEXT);
  json.key("codepages").begin_array();
  for (int codepage = 0; codepage < 65536; ++codepage)
    if (codepage_known(codepage)) json.value(codepage);
  json.end_array().key("defaultCodepage").value(static_cast<int>(DEFAULT_CODEPAGE));
  return engine_answer(json.end_object());
}

}  // extern "C"
