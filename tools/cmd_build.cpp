// build: stub + files -> installer package.
#include <stdio.h>

#include "format/record.h"
#include "tools/builtin_stub.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/memory_streams.h"
#include "tools/package.h"
#include "tools/package_read.h"
#include "tools/record_words.h"

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
    "  --second-name NAME   likewise; plain names of at most 63 characters,\n"
    "  --extra-name NAME    no '\\', '/', ':', not '.' or '..'\n"
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
    "  -o, --output OUT     the installer to write\n"
    "\n"
    "Prints each file's size before and after packing and the installer's size.\n"
    "Texts hold at most 63 characters. Exit 0 on success, 2 when the request\n"
    "cannot be packaged (nothing is written), 1 when a file cannot be read or\n"
    "OUT cannot be written.\n";

const OptionSpec BUILD_OPTIONS[] = {
    {"--stub", nullptr, "file"},       {"--main", nullptr, "file"},         {"--second", nullptr, "file"},
    {"--extra", nullptr, "file"},      {"--main-name", nullptr, "name"},    {"--second-name", nullptr, "name"},
    {"--extra-name", nullptr, "name"}, {"--main-parts", nullptr, "number"}, {"--stored", nullptr, nullptr},
    {"--silent", nullptr, nullptr},    {"--best", nullptr, nullptr},        {"--confirm", nullptr, "text"},
    {"--done", nullptr, "text"},       {"--failure", nullptr, "text"},      {"--bad-header", nullptr, "text"},
    {"--dialog", nullptr, "text"},     {"--output", "-o", "file"},
};
const CommandSyntax BUILD = {"build", BUILD_HELP, BUILD_OPTIONS, sizeof BUILD_OPTIONS / sizeof BUILD_OPTIONS[0], 0, ""};

const char DEFAULT_FAILURE_TEXT[] = "The screen saver could not be installed.";
const char DEFAULT_BAD_HEADER_TEXT[] = "This installer is damaged.";

// "<Name> is now your screen saver." for the main file's installed name:
// Name is the name without its extension, written as a word when it is all
// capitals or all small letters (STARFIELD.SCR and starfield.scr give
// "Starfield"), kept as it is when it mixes both, and cut so that the text
// fits its slot.
std::string default_done_text(const std::string &main_name) {
  static const char TAIL[] = " is now your screen saver.";
  size_t dot = main_name.rfind('.');
  std::string name = dot != std::string::npos && dot > 0 ? main_name.substr(0, dot) : main_name;
  bool has_upper = false, has_lower = false;
  for (char c : name) {
    has_upper = has_upper || (c >= 'A' && c <= 'Z');
    has_lower = has_lower || (c >= 'a' && c <= 'z');
  }
  if (has_upper != has_lower) {
    for (char &c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z') name[0] = static_cast<char>(name[0] - 'a' + 'A');
  }
  size_t room = TEXT_SLOT_SIZE - 1 - (sizeof TAIL - 1);
  if (name.size() > room) name.resize(room);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name + TAIL;
}

// The files a build reads and writes.
struct BuildPaths {
  std::string stub, main, second, extra, output;
  bool builtin_stub = false;  // no --stub: the stub built into the tool
};

// The option's value, or fallback when it was not given.
std::string value_or(const ParsedArguments &parsed, const char *name, const std::string &fallback) {
  return option_given(parsed, name) ? option_value(parsed, name) : fallback;
}

// Checks the options that belong together and fills in everything of the
// request but the file contents. False with *exit_code on a usage error.
bool request_from_options(const ParsedArguments &parsed, BuildPaths *paths, PackageRequest *request, int *exit_code) {
  *exit_code = EXIT_USAGE;
  paths->stub = option_value(parsed, "--stub");
  paths->main = option_value(parsed, "--main");
  paths->second = option_value(parsed, "--second");
  paths->extra = option_value(parsed, "--extra");
  paths->output = option_value(parsed, "--output");
  paths->builtin_stub = !option_given(parsed, "--stub");
  request->has_extra = option_given(parsed, "--extra");
  const char *problem = nullptr;
  if (paths->main.empty())
    problem = "--main is required";
  else if (paths->second.empty())
    problem = "--second is required";
  else if (paths->output.empty())
    problem = "-o OUT is required";
  else if (option_given(parsed, "--extra-name") && !request->has_extra)
    problem = "--extra-name needs --extra";
  else if (paths->builtin_stub && BUILTIN_STUB_SIZE == 0)
    problem =
        "this kestrune-pack has no built-in stub (it was built without the mingw-w64 cross compiler); "
        "give one with --stub STUB";
  if (problem) {
    usage_error("build", problem);
    return false;
  }
  if (option_given(parsed, "--main-parts")) {
    const std::string &parts = option_value(parsed, "--main-parts");
    if (parts != "1" && parts != "2" && parts != "3") {
      usage_error("build", "--main-parts must be 1, 2 or 3");
      return false;
    }
    request->main_parts = parts[0] - '0';
  }
  request->stored = option_given(parsed, "--stored");
  request->best = option_given(parsed, "--best");
  request->silent = option_given(parsed, "--silent");
  request->main_name = value_or(parsed, "--main-name", base_name(paths->main));
  request->second_name = value_or(parsed, "--second-name", base_name(paths->second));
  if (request->has_extra) request->extra_name = value_or(parsed, "--extra-name", base_name(paths->extra));
  request->confirm_text = option_value(parsed, "--confirm");
  request->done_text = value_or(parsed, "--done", default_done_text(request->main_name));
  request->failure_text = value_or(parsed, "--failure", DEFAULT_FAILURE_TEXT);
  request->bad_header_text = value_or(parsed, "--bad-header", DEFAULT_BAD_HEADER_TEXT);
  request->dialog_text = option_value(parsed, "--dialog");
  if (request->stored && !request->dialog_text.empty())
    fprintf(stderr, "kestrune-pack: note: stored packages show no progress dialog; --dialog is kept but unused\n");
  return true;
}

// Reads the stub (or takes the built-in one) and the payload files into the
// request. False with *exit_code when one cannot be read.
bool read_inputs(const BuildPaths &paths, PackageRequest *request, int *exit_code) {
  if (paths.builtin_stub) request->stub.assign(BUILTIN_STUB, BUILTIN_STUB + BUILTIN_STUB_SIZE);
  struct Input {
    const std::string *path;
    std::vector<uint8_t> *bytes;
  } inputs[] = {{&paths.stub, &request->stub},
                {&paths.main, &request->main_file},
                {&paths.second, &request->second_file},
                {&paths.extra, &request->extra_file}};
  std::string error;
  for (const Input &input : inputs) {
    if (input.path == &paths.stub && paths.builtin_stub) continue;
    if (input.path == &paths.extra && !request->has_extra) continue;
    if (!read_whole_file(*input.path, input.bytes, &error)) {
      *exit_code = fail(EXIT_BAD_DATA, error);
      return false;
    }
  }
  return true;
}

// The package builder's encoder, drawing a progress bar for long files.
bool encode_showing_progress(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best) {
  return compress_bytes(data, size, out, best, "build");
}

// 1234567 -> "1,234,567".
std::string with_commas(uint64_t value) {
  std::string digits = std::to_string(value), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// Prints what went into the installer, read back from its bytes: each file
// with its installed name and its size before and after packing, the payload
// as a whole, and the installer.
void print_summary(const std::string &output, const PackageReport &report) {
  printf("%s: %s installer, %s bytes, %s\n", output.c_str(), report.compressed ? "compressed" : "stored",
         with_commas(report.file_size).c_str(), report.seal.seal.present ? "sealed" : "not sealed");
  uint64_t payload_in = 0;
  for (size_t i = 0; i < report.items.size();) {
    const ItemCheck &first = report.items[i];
    uint64_t size = 0, packed = 0;
    size_t parts = 0;
    for (; i < report.items.size() && (parts == 0 || !report.items[i].item.new_file); ++i, ++parts) {
      size += report.items[i].item.size;
      packed += report.items[i].consumed_length;
    }
    payload_in += size;
    printf("  %-6s  %-20s %13s -> %s bytes%s\n", payload_role_name(first.item.role),
           text_slot_value(report.record, first.item.name_offset).c_str(), with_commas(size).c_str(),
           with_commas(packed).c_str(), parts > 1 ? (" in " + std::to_string(parts) + " streams").c_str() : "");
  }
  uint64_t payload_out = report.payload_end - report.payload_offset;
  printf("payload %s -> %s bytes", with_commas(payload_in).c_str(), with_commas(payload_out).c_str());
  if (payload_in) printf(" (%.1f%%)", 100.0 * static_cast<double>(payload_out) / static_cast<double>(payload_in));
  printf("\n");
}

}  // namespace

int command_build(const Arguments &args) {
  ParsedArguments parsed;
  BuildPaths paths;
  PackageRequest request;
  int code = EXIT_USAGE;
  if (!parse_arguments(BUILD, args, &parsed, &code) || !request_from_options(parsed, &paths, &request, &code) ||
      !read_inputs(paths, &request, &code))
    return code;

  std::vector<uint8_t> package;
  std::string error;
  BuildStatus status = build_package(request, &package, &error, encode_showing_progress);
  if (status == BUILD_REFUSED) return fail(EXIT_USAGE, "build: " + error);
  if (status != BUILD_OK) return fail(EXIT_BAD_DATA, "build: " + error);
  // The summary comes from reading the package back, which also makes sure
  // it installs as requested before anything is written.
  PackageReport report = read_package(package.data(), package.size());
  if (!report.problems.empty())
    return fail(EXIT_BAD_DATA, "build: the package does not read back as built: " + report.problems.front());
  if (!write_whole_file(paths.output, package, &error)) return fail(EXIT_BAD_DATA, error);
  print_summary(paths.output, report);
  return EXIT_OK;
}
