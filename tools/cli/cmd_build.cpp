// build: stub + files -> installer package.
#include <stdio.h>

#include "package/build.h"
#include "package/builtin_stub.h"
#include "package/read.h"
#include "package/report_text.h"
#include "tools/args/build_options.h"
#include "tools/cli/cli.h"
#include "tools/cli/commands.h"

namespace {

const char BUILD_HELP[] =
    "Usage: kestrune-pack build --main FILE --second FILE [options] -o OUT\n"
    "Makes an installer: a copy of the stub with its install record filled in and\n"
    "the payload appended. Compressed unless --stored.\n"
    "\n"
    "  --stub STUB          the unfilled installer executable (default: the\n"
    "                       kestrune.exe built into this tool)\n"
    "  --main FILE          the screen saver; installed and registered\n"
    "  --second FILE        a second file, always installed\n"
    "  --extra FILE         an optional extra file, installed first (not empty)\n"
    "  --main-name NAME     name to install under (default: FILE's base name);\n"
    "  --second-name NAME   likewise; plain names of at most 63 bytes, no '\\',\n"
    "  --extra-name NAME    '/', ':', not '.' or '..', no dot or space at the end\n"
    "  --main-parts 1|2|3   split the main file into that many streams\n"
    "  --best               compress harder: smaller, slower to build; the same\n"
    "                       stub installs it\n"
    "  --stored             store the files (scrambled) instead of compressing\n"
    "  --silent             no progress dialog and no message boxes\n"
    "  --confirm TEXT       yes/no question asked first (default: none)\n"
    "  --done TEXT          message after success (default: \"<Name> is now your\n"
    "                       screen saver.\", Name from the main file's name;\n"
    "                       --done \"\" for none)\n"
    "  --failure TEXT       message after failure\n"
    "                       (default: \"The screen saver could not be installed.\")\n"
    "  --bad-header TEXT    message when the record is damaged\n"
    "                       (default: \"This installer is damaged.\")\n"
    "  --dialog TEXT        progress dialog text; compressed only (default: none)\n"
    "  --codepage N         the Windows code page of the names and texts (default\n"
    "                       1252, Western; on Windows the system's own): 874 and\n"
    "                       1250-1258\n"
    "  --icon FILE          the installer's icon in Explorer and its progress\n"
    "                       dialog: an .ico, or a program (.scr, .exe, .dll)\n"
    "                       whose first icon group is taken\n"
    "  --product-name TEXT  version information for the installer's Properties:\n"
    "  --product-version N[.N[.N[.N]]]   the product, its version (each part\n"
    "  --company TEXT       0-65535), the author, the copyright and the\n"
    "  --copyright TEXT     description (default \"<Name> Setup\"); written\n"
    "  --description TEXT   only when one of them is given\n"
    "  -o, --output OUT     the installer to write (not one of the inputs)\n"
    "\n"
    "Prints each file's size before and after packing and the installer's size.\n"
    "Texts hold at most 63 bytes in the code page. Exit 0 on success, 2 when the request\n"
    "cannot be packaged (nothing is written), 1 when a file cannot be read or\n"
    "OUT cannot be written.\n";

const CommandSyntax BUILD = {"build", BUILD_HELP, BUILD_OPTIONS, BUILD_OPTION_COUNT, 0, ""};

// The files a build reads and writes.
struct BuildFiles {
  MemorySource builtin{BUILTIN_STUB, BUILTIN_STUB_SIZE};
  FileSource stub, main, second, extra, icon;
  OutputFile output;
};

std::optional<std::string> text_option(const ParsedArguments &parsed, const char *name) {
  if (!option_given(parsed, name)) return std::nullopt;
  return option_value(parsed, name);
}

// The request from the options, without the files' contents. False with
// *exit_code on a usage error.
bool request_from_options(const ParsedArguments &parsed, PackageRequest *request, int *exit_code) {
  const char *problem = nullptr;
  if (option_value(parsed, "--main").empty())
    problem = "--main is required";
  else if (option_value(parsed, "--second").empty())
    problem = "--second is required";
  else if (option_value(parsed, "--output").empty())
    problem = "-o OUT is required";
  else if (option_given(parsed, "--extra-name") && !option_given(parsed, "--extra"))
    problem = "--extra-name needs --extra";
  else if (!option_given(parsed, "--stub") && BUILTIN_STUB_SIZE == 0)
    problem =
        "this kestrune-pack has no built-in stub (it was built without the mingw-w64 cross compiler); "
        "give one with --stub STUB";
  if (problem) {
    *exit_code = usage_error("build", problem);
    return false;
  }
  if (option_given(parsed, "--main-parts"))
    request->main_parts = main_parts_value(option_value(parsed, "--main-parts"));
  if (!codepage_from_options(parsed, &request->codepage, &request->text_form, exit_code)) return false;
  request->stored = option_given(parsed, "--stored");
  request->best = option_given(parsed, "--best");
  request->silent = option_given(parsed, "--silent");
  auto name = [&](const char *option, const char *file) {
    return option_given(parsed, option) ? option_value(parsed, option) : base_name(option_value(parsed, file));
  };
  request->main.name = name("--main-name", "--main");
  request->second.name = name("--second-name", "--second");
  request->extra.name = name("--extra-name", "--extra");
  request->confirm = text_option(parsed, "--confirm");
  request->done = text_option(parsed, "--done");
  request->failure = text_option(parsed, "--failure");
  request->bad_header = text_option(parsed, "--bad-header");
  request->dialog = text_option(parsed, "--dialog");
  request->product_name = text_option(parsed, "--product-name");
  request->product_version = text_option(parsed, "--product-version");
  request->company = text_option(parsed, "--company");
  request->copyright = text_option(parsed, "--copyright");
  request->description = text_option(parsed, "--description");
  request->output_name = base_name(option_value(parsed, "--output"));
  if (request->text_form == TEXT_CODEPAGE_BYTES) {
    for (std::string *text : {&request->main.name, &request->second.name, &request->extra.name, &request->output_name})
      *text = system_text_for_console(*text);
    for (std::optional<std::string> *text : {&request->confirm, &request->done, &request->failure, &request->bad_header,
                                             &request->dialog, &request->product_name, &request->product_version,
                                             &request->company, &request->copyright, &request->description})
      if (*text) **text = system_text_for_console(**text);
  }
  return true;
}

// Opens the inputs and the output. False with *exit_code when one cannot be.
bool open_files(const ParsedArguments &parsed, PackageRequest *request, BuildFiles *files, int *exit_code) {
  struct Input {
    const char *option;
    FileSource *file;
    ByteSource **source;
  } inputs[] = {{"--stub", &files->stub, &request->stub},
                {"--main", &files->main, &request->main.source},
                {"--second", &files->second, &request->second.source},
                {"--extra", &files->extra, &request->extra.source},
                {"--icon", &files->icon, &request->icon}};
  FileError error;
  std::vector<const FileSource *> opened;
  for (const Input &input : inputs) {
    if (!option_given(parsed, input.option)) continue;
    if (!input.file->open(option_value(parsed, input.option), &error)) {
      *exit_code = fail(error);
      return false;
    }
    *input.source = input.file;
    opened.push_back(input.file);
  }
  if (!request->stub) request->stub = &files->builtin;
  if (!files->output.open(option_value(parsed, "--output"), opened, true, &error)) {
    *exit_code = fail(error);
    return false;
  }
  return true;
}

}  // namespace

int command_build(const Arguments &args) {
  ParsedArguments parsed;
  PackageRequest request;
  BuildFiles files;
  int code = EXIT_USAGE;
  if (!parse_arguments(BUILD, args, &parsed, &code) || !request_from_options(parsed, &request, &code) ||
      !open_files(parsed, &request, &files, &code))
    return code;
  const std::string &output = option_value(parsed, "--output");
  BuildOutcome outcome;
  {
    TerminalProgress progress("build", request_payload_size(request));
    outcome = build_package(request, package_codec(), files.output.sink(), &progress);
  }
  if (!outcome.result.ok()) return fail(outcome.result, "build");
  for (const std::string &text : outcome.notes) note(text);
  // The summary comes from reading the installer back from the disk, which
  // also makes sure it installs as requested before it takes its name.
  PackageReport report;
  {
    TerminalProgress progress("check", outcome.size);
    report = read_package(files.output.written(), package_codec(), request.codepage, &progress);
  }
  if (system_interrupted()) return fail(PackageResult::fail(PACKAGE_CANCELLED, ""), "");
  if (!report.sound())
    return fail(EXIT_BAD_DATA, "build: the installer does not read back as built: " + report.problems.front());
  FileError error;
  if (!files.output.commit(&error)) return fail(error);
  print_lines(build_summary(output, report, request.codepage));
  return EXIT_OK;
}
