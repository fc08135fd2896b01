#include "tools/gui/project_build.h"

#include "package/read.h"
#include "package/report_text.h"
#include "tools/args/build_options.h"
#include "tools/files/system_files.h"

namespace {

// What is missing, as the console tool says it, and which field to fill in.
const char *missing_part(const Project &project) {
  if (project.main.empty()) return "No screen saver is given (--main is required).";
  if (project.second.empty()) return "No second file is given (--second is required).";
  if (project.output.empty()) return "No installer file is given (-o OUT is required).";
  if (project.extra_name && project.extra.empty())
    return "An extra name needs an extra file (--extra-name needs --extra).";
  if (project.stub.empty() && BUILTIN_STUB_SIZE == 0)
    return "This program has no built-in stub (it was built without the mingw-w64 cross compiler); a project needs "
           "--stub STUB.";
  return nullptr;
}

std::optional<std::string> in_form(const std::optional<std::string> &text, TextForm form) {
  if (!text || form == TEXT_UTF8) return text;
  return system_text_for_console(*text);
}

// The request's names, texts and options (not its files), as
// request_from_options in the console tool makes them.
bool fill_request(const Project &project, PackageRequest *request, std::string *error) {
  const std::string *codepage = project.codepage.empty() ? nullptr : &project.codepage;
  if (!build_codepage(codepage, &request->codepage, &request->text_form, error)) return false;
  const TextForm form = request->text_form;
  request->main_parts = project.main_parts;
  request->stored = project.stored;
  request->best = project.best;
  request->silent = project.silent;
  request->main.name = *in_form(project.main_name ? project.main_name : base_name(project.main), form);
  request->second.name = *in_form(project.second_name ? project.second_name : base_name(project.second), form);
  request->extra.name = *in_form(project.extra_name ? project.extra_name : base_name(project.extra), form);
  request->confirm = in_form(project.confirm, form);
  request->done = in_form(project.done, form);
  request->failure = in_form(project.failure, form);
  request->bad_header = in_form(project.bad_header, form);
  request->dialog = in_form(project.dialog, form);
  request->product_name = in_form(project.product_name, form);
  request->product_version = in_form(project.product_version, form);
  request->company = in_form(project.company, form);
  request->copyright = in_form(project.copyright, form);
  request->description = in_form(project.description, form);
  request->output_name =
      form == TEXT_UTF8 ? base_name(project.output) : system_text_for_console(base_name(project.output));
  return true;
}

// The build (0 to 800 per mille) and the check that reads the installer
// back (800 to 1000), as one bar.
class PhaseProgress : public Progress {
 public:
  PhaseProgress(Progress *whole, uint64_t from, uint64_t to) : whole_(whole), from_(from), to_(to) {}
  bool advance(uint64_t done, uint64_t total) override {
    if (!whole_) return true;
    const uint64_t part = total ? (to_ - from_) * (done < total ? done : total) / total : 0;
    return whole_->advance(from_ + part, 1000);
  }

 private:
  Progress *whole_;
  uint64_t from_, to_;
};

}  // namespace

int project_codepage(const Project &project, TextForm *form) {
  int codepage = 0;
  std::string unknown;  // Build says so; until then the texts take the default
  build_codepage(project.codepage.empty() ? nullptr : &project.codepage, &codepage, form, &unknown);
  return codepage;
}

bool prepare_build(const Project &project, ProjectFiles *files, PackageRequest *request, std::string *error) {
  if (const char *missing = missing_part(project)) {
    *error = missing;
    return false;
  }
  if (!fill_request(project, request, error)) return false;
  struct Input {
    const std::string *path;
    FileSource *file;
    ByteSource **source;
  } inputs[] = {{&project.stub, &files->stub, &request->stub},
                {&project.main, &files->main, &request->main.source},
                {&project.second, &files->second, &request->second.source},
                {&project.extra, &files->extra, &request->extra.source},
                {&project.icon, &files->icon, &request->icon}};
  FileError failure;
  std::vector<const FileSource *> opened;
  for (const Input &input : inputs) {
    if (input.path->empty()) continue;
    if (!input.file->open(*input.path, &failure)) {
      *error = failure.message;
      return false;
    }
    *input.source = input.file;
    opened.push_back(input.file);
  }
  if (!request->stub) request->stub = &files->builtin;
  if (!files->output.open(project.output, opened, true, &failure)) {
    *error = failure.message;
    return false;
  }
  return true;
}

BuildReport run_build(const PackageRequest &request, ProjectFiles *files, Progress *progress) {
  BuildReport report;
  BuildOutcome outcome;
  {
    PhaseProgress phase(progress, 0, 800);
    outcome = build_package(request, package_codec(), files->output.sink(), &phase);
  }
  PackageReport check;
  if (outcome.result.ok()) {
    PhaseProgress phase(progress, 800, 1000);
    check = read_package(files->output.written(), package_codec(), request.codepage, &phase);
  }
  // The check takes a cancel as one more problem; asking once more tells
  // the two apart, and a cancel during the check keeps the file out too.
  report.cancelled =
      outcome.result.status == PACKAGE_CANCELLED || (outcome.result.ok() && progress && !progress->advance(1000, 1000));
  if (report.cancelled) {
    files->output.abandon();
    return report;
  }
  if (!outcome.result.ok()) {
    files->output.abandon();
    report.error = "build: " + outcome.result.message;
    return report;
  }
  if (!check.sound()) {
    files->output.abandon();
    report.error = "build: the installer does not read back as built: " + check.problems.front();
    return report;
  }
  FileError failure;
  if (!files->output.commit(&failure)) {
    report.error = failure.message;
    return report;
  }
  for (const std::string &note : outcome.notes) report.lines.push_back("note: " + note);
  for (const std::string &line : build_summary(files->output.path(), check, request.codepage))
    report.lines.push_back(line);
  report.ok = true;
  return report;
}
