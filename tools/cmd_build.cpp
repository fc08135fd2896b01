// build: stub + files -> installer package.
#include <stdio.h>

#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/package.h"

namespace {

const char BUILD_HELP[] =
    "Usage: kestrune-pack build --stub STUB --main FILE --second FILE [options] -o OUT\n"
    "Makes an installer: a copy of STUB with its install record filled in and the\n"
    "payload appended. Compressed unless --stored.\n"
    "\n"
    "  --stub STUB          the unfilled installer executable (kestrune.exe)\n"
    "  --main FILE          the screen saver; installed and registered\n"
    "  --second FILE        a second file, always installed\n"
    "  --extra FILE         an optional extra file, installed first (not empty)\n"
    "  --main-name NAME     name to install under (default: FILE's base name);\n"
    "  --second-name NAME   likewise; plain names of at most 63 characters,\n"
    "  --extra-name NAME    no '\\', '/', ':', not '.' or '..'\n"
    "  --main-parts 1|2|3   split the main file into that many streams\n"
    "  --stored             store the files (scrambled) instead of compressing\n"
    "  --silent             no progress dialog and no message boxes\n"
    "  --confirm TEXT       yes/no question asked first (default: none)\n"
    "  --done TEXT          message after success (default: none)\n"
    "  --failure TEXT       message after failure\n"
    "                       (default: \"The screen saver could not be installed.\")\n"
    "  --bad-header TEXT    message when the record is damaged\n"
    "                       (default: \"This installer is damaged.\")\n"
    "  --dialog TEXT        progress dialog text; compressed only (default: none)\n"
    "  -o, --output OUT     the installer to write\n"
    "\n"
    "Texts hold at most 63 characters. Exit 0 on success, 2 when the request\n"
    "cannot be packaged (nothing is written), 1 when a file cannot be read or\n"
    "OUT cannot be written.\n";

}  // namespace

const char DEFAULT_FAILURE_TEXT[] = "The screen saver could not be installed.";
const char DEFAULT_BAD_HEADER_TEXT[] = "This installer is damaged.";

int command_build(const Arguments &args) {
  std::string stub, main_file, second_file, extra_file, output;
  std::string main_name, second_name, extra_name;
  bool have_main_name = false, have_second_name = false, have_extra_name = false;
  PackageRequest request;
  request.failure_text = DEFAULT_FAILURE_TEXT;
  request.bad_header_text = DEFAULT_BAD_HEADER_TEXT;

  struct ValueOption {
    const char *name;
    std::string *target;
    bool *seen;
  };
  bool seen_unused = false;
  ValueOption options[] = {
      {"--stub", &stub, &seen_unused},
      {"--main", &main_file, &seen_unused},
      {"--second", &second_file, &seen_unused},
      {"--extra", &extra_file, &request.has_extra},
      {"--main-name", &main_name, &have_main_name},
      {"--second-name", &second_name, &have_second_name},
      {"--extra-name", &extra_name, &have_extra_name},
      {"--confirm", &request.confirm_text, &seen_unused},
      {"--done", &request.done_text, &seen_unused},
      {"--failure", &request.failure_text, &seen_unused},
      {"--bad-header", &request.bad_header_text, &seen_unused},
      {"--dialog", &request.dialog_text, &seen_unused},
      {"-o", &output, &seen_unused},
      {"--output", &output, &seen_unused},
  };
  std::string parts_text;
  bool have_parts = false;

  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (is_help(arg)) {
      fputs(BUILD_HELP, stdout);
      return EXIT_OK;
    }
    if (arg == "--stored") {
      request.stored = true;
      continue;
    }
    if (arg == "--silent") {
      request.silent = true;
      continue;
    }
    std::string value;
    bool inline_value = false;
    size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
      inline_value = true;
    }
    std::string *target = nullptr;
    bool *seen = nullptr;
    if (arg == "--main-parts") {
      target = &parts_text;
      seen = &have_parts;
    }
    for (const ValueOption &option : options)
      if (arg == option.name) {
        target = option.target;
        seen = option.seen;
      }
    if (!target) {
      if (arg.size() > 0 && arg[0] == '-') return usage_error("build", "unknown option '" + arg + "'");
      return usage_error("build", "unexpected argument '" + arg + "'");
    }
    if (!inline_value) {
      if (i + 1 >= args.size()) return usage_error("build", arg + " needs a value");
      value = args[++i];
    }
    *target = value;
    *seen = true;
  }

  if (stub.empty()) return usage_error("build", "--stub is required");
  if (main_file.empty()) return usage_error("build", "--main is required");
  if (second_file.empty()) return usage_error("build", "--second is required");
  if (output.empty()) return usage_error("build", "-o OUT is required");
  if (have_extra_name && !request.has_extra) return usage_error("build", "--extra-name needs --extra");
  if (have_parts) {
    if (parts_text != "1" && parts_text != "2" && parts_text != "3")
      return usage_error("build", "--main-parts must be 1, 2 or 3");
    request.main_parts = parts_text[0] - '0';
  }
  if (request.stored && !request.dialog_text.empty())
    fprintf(stderr, "kestrune-pack: note: stored packages show no progress dialog; --dialog is kept but unused\n");

  request.main_name = have_main_name ? main_name : base_name(main_file);
  request.second_name = have_second_name ? second_name : base_name(second_file);
  if (request.has_extra) request.extra_name = have_extra_name ? extra_name : base_name(extra_file);

  std::string error;
  struct Input {
    const std::string *path;
    std::vector<uint8_t> *bytes;
  } inputs[] = {{&stub, &request.stub},
                {&main_file, &request.main_file},
                {&second_file, &request.second_file},
                {&extra_file, &request.extra_file}};
  for (const Input &input : inputs) {
    if (input.path == &extra_file && !request.has_extra) continue;
    if (!read_whole_file(*input.path, input.bytes, &error)) return fail(EXIT_BAD_DATA, error);
  }

  std::vector<uint8_t> package;
  BuildStatus status = build_package(request, &package, &error);
  if (status == BUILD_REFUSED) return fail(EXIT_USAGE, "build: " + error);
  if (status != BUILD_OK) return fail(EXIT_BAD_DATA, "build: " + error);

  OutputFile out;
  if (!out.open(output, &error)) return fail(EXIT_BAD_DATA, error);
  if (!write_all(out.fd(), package.data(), package.size(), &error))
    return fail(EXIT_BAD_DATA, output + ": write failed: " + error);
  if (!out.commit(&error)) return fail(EXIT_BAD_DATA, error);
  return EXIT_OK;
}
