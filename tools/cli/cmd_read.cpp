// inspect, verify, extract: reading finished installers, however damaged.
#include <stdio.h>

#include <memory>

#include "package/codepage.h"
#include "package/read.h"
#include "package/report_text.h"
#include "tools/cli/cli.h"
#include "tools/cli/commands.h"

namespace {

const char INSPECT_HELP[] =
    "Usage: kestrune-pack inspect FILE [--codepage N]\n"
    "Prints the install record of an installer (unscrambled, every field by\n"
    "name, and whether header_check holds) and its payload layout: each stream\n"
    "or stored file with its offset, sizes and check result; names and texts\n"
    "are shown from code page N (default 1252). Exit 0 when FILE is a Kestrune\n"
    "stub (even if the installer is damaged), 1 otherwise.\n";

const char VERIFY_HELP[] =
    "Usage: kestrune-pack verify FILE [--codepage N]\n"
    "Exit 0 only if FILE is a whole stub with its record filled in, the\n"
    "record's header check and seal hold, its texts are terminated, its file\n"
    "names are plain names of different files, and every stream decodes\n"
    "cleanly to its configured size (stored: every file lies within FILE).\n"
    "Otherwise exit 1 with one line per fault on stderr; the bare stub is\n"
    "named as such.\n";

const char EXTRACT_HELP[] =
    "Usage: kestrune-pack extract FILE -d DIR [--force] [--codepage N]\n"
    "Writes the payload files of an installer into DIR (made, with the folders\n"
    "above it, if missing) under their configured names, the main file\n"
    "assembled from its parts. Runs nothing. Refuses names that could leave\n"
    "DIR, and installers that verify would refuse (a broken seal, a failed\n"
    "header check, names that are one file, a payload that does not check\n"
    "out): nothing is written then. An existing file in DIR is never\n"
    "replaced. --force extracts what can be extracted, with a warning for\n"
    "each fault, and replaces existing files. A file appears only when\n"
    "complete. On Linux the names are converted from code page N (default\n"
    "1252) to UTF-8.\n";

const OptionSpec CODEPAGE_OPTION[] = {{"--codepage", nullptr, "number"}};
const OptionSpec EXTRACT_OPTIONS[] = {
    {"--directory", "-d", "directory"}, {"--force", nullptr, nullptr}, {"--codepage", nullptr, "number"}};
const CommandSyntax INSPECT = {"inspect", INSPECT_HELP, CODEPAGE_OPTION, 1, 1, "FILE"};
const CommandSyntax VERIFY = {"verify", VERIFY_HELP, CODEPAGE_OPTION, 1, 1, "FILE"};
const CommandSyntax EXTRACT = {"extract", EXTRACT_HELP, EXTRACT_OPTIONS, 3, 1, "FILE"};

// Parses the command's arguments and reads the installer. False with
// *exit_code when either fails.
bool load(const CommandSyntax &syntax, const Arguments &args, ParsedArguments *parsed, FileSource *file,
          PackageReport *report, int *codepage, int *exit_code) {
  *exit_code = EXIT_USAGE;
  TextForm form;
  if (!parse_arguments(syntax, args, parsed, exit_code) || !codepage_from_options(*parsed, codepage, &form, exit_code))
    return false;
  FileError error;
  if (!file->open(parsed->positional[0], &error)) {
    *exit_code = fail(error);
    return false;
  }
  TerminalProgress progress(syntax.name, file->size());
  *report = read_package(*file, package_codec(), *codepage, &progress);
  if (system_interrupted()) {
    *exit_code = fail(PackageResult::fail(PACKAGE_CANCELLED, ""), "");
    return false;
  }
  return true;
}

// The path a file of the installer goes to in directory: its name as the
// system's calls take it (UTF-8, which the Windows provider turns into the
// ANSI code page again).
std::string extract_path(const ExtractFile &file, const std::string &directory, int codepage) {
  return join_path(directory,
                   codepage_known(codepage) ? codepage_to_utf8(file.name, codepage) : system_text_to_utf8(file.name));
}

// Writes every file into its prepared output, then puts them all in place:
// a refused or failing file leaves none of them written.
bool extract_files(FileSource &installer, const PackageReport &report, const std::vector<ExtractFile> &files,
                   const std::string &directory, bool force, int codepage, int *exit_code) {
  std::vector<std::unique_ptr<OutputFile>> outputs;
  FileError error;
  for (const ExtractFile &file : files) {
    outputs.emplace_back(new OutputFile);
    if (!outputs.back()->open(extract_path(file, directory, codepage), {&installer}, force, &error)) {
      *exit_code = fail(error);
      return false;
    }
  }
  for (size_t i = 0; i < files.size(); ++i) {
    TerminalProgress progress(outputs[i]->path(), files[i].size);
    for (size_t index : files[i].items) {
      PackageResult written =
          write_payload_item(package_codec(), installer, report.items[index], outputs[i]->sink(), &progress);
      if (!written.ok()) {
        *exit_code = fail(written, outputs[i]->path());
        return false;
      }
    }
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (!outputs[i]->commit(&error)) {
      *exit_code = fail(error);
      return false;
    }
    print_lines({outputs[i]->path() + " (" + std::to_string(files[i].size) + " bytes)"});
  }
  return true;
}

}  // namespace

int command_inspect(const Arguments &args) {
  ParsedArguments parsed;
  FileSource file;
  PackageReport report;
  int code, codepage;
  if (!load(INSPECT, args, &parsed, &file, &report, &codepage, &code)) return code;
  if (report.kind == KIND_NOT_A_STUB) return fail(EXIT_BAD_DATA, file.path() + ": " + report.problems.front());
  print_lines(inspect_listing(file.path(), report, codepage));
  return EXIT_OK;
}

int command_verify(const Arguments &args) {
  ParsedArguments parsed;
  FileSource file;
  PackageReport report;
  int code, codepage;
  if (!load(VERIFY, args, &parsed, &file, &report, &codepage, &code)) return code;
  if (!report.sound()) {
    for (const std::string &problem : report.problems) fail(EXIT_BAD_DATA, file.path() + ": " + problem);
    return EXIT_BAD_DATA;
  }
  print_lines({verify_verdict(file.path(), report)});
  return EXIT_OK;
}

int command_extract(const Arguments &args) {
  ParsedArguments parsed;
  int code = EXIT_USAGE;
  if (!parse_arguments(EXTRACT, args, &parsed, &code)) return code;
  const std::string &directory = option_value(parsed, "--directory");
  if (directory.empty()) return usage_error("extract", "-d DIR is required");
  const bool force = option_given(parsed, "--force");
  FileSource file;
  PackageReport report;
  int codepage;
  if (!load(EXTRACT, args, &parsed, &file, &report, &codepage, &code)) return code;

  std::vector<ExtractFile> files;
  std::vector<std::string> warnings;
  PackageResult plan = plan_extraction(report, force, &files, &warnings);
  if (!plan.ok() && !force) {
    for (const std::string &problem : report.problems) fail(EXIT_BAD_DATA, file.path() + ": " + problem);
    return fail(EXIT_BAD_DATA, file.path() +
                                   ": refusing to extract what verify refuses; nothing was written "
                                   "(--force extracts what can be extracted)");
  }
  for (const std::string &warning : warnings) warn(file.path() + ": " + warning);
  if (!plan.ok()) return fail(plan, file.path());
  std::vector<std::string> made;
  FileError error;
  if (!make_directories(directory, &made, &error)) return fail(error);
  if (!extract_files(file, report, files, directory, force, codepage, &code)) {
    remove_made_directories(made);
    return code;
  }
  return EXIT_OK;
}
