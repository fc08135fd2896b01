#include "tools/cli/cli.h"

#include <stdio.h>

#include "tools/args/build_options.h"
#include "tools/files/system_files.h"

int fail(int code, const std::string &message) {
  fprintf(stderr, "kestrune-pack: %s\n", system_text_for_console(message).c_str());
  return code;
}

int fail(const FileError &error) { return fail(error.exit_code, error.message); }

int fail(const PackageResult &result, const std::string &context) {
  if (result.status == PACKAGE_CANCELLED || system_interrupted())
    return fail(system_interrupted_exit_code(), "interrupted; nothing was written");
  return fail(result.status == PACKAGE_REFUSED ? EXIT_USAGE : EXIT_BAD_DATA,
              context.empty() ? result.message : context + ": " + result.message);
}

int usage_error(const char *command, const std::string &message) {
  fprintf(stderr, "kestrune-pack: %s\nTry 'kestrune-pack %s--help'.\n", system_text_for_console(message).c_str(),
          command ? (std::string(command) + " ").c_str() : "");
  return EXIT_USAGE;
}

void note(const std::string &message) { fail(0, "note: " + message); }
void warn(const std::string &message) { fail(0, "warning: " + message); }

void print_lines(const std::vector<std::string> &lines) {
  for (const std::string &line : lines) printf("%s\n", system_text_for_console(line).c_str());
  fflush(stdout);
}

bool codepage_from_options(const ParsedArguments &parsed, int *codepage, TextForm *form, int *exit_code) {
  const bool given = option_given(parsed, "--codepage");
  std::string problem;
  if (build_codepage(given ? &option_value(parsed, "--codepage") : nullptr, codepage, form, &problem)) return true;
  *exit_code = usage_error(parsed.syntax->name, problem);
  return false;
}

// ---- terminal progress bar --------------------------------------------------

TerminalProgress::TerminalProgress(const std::string &label, uint64_t total)
    : label_(label), total_(total), shown_(total >= PROGRESS_MIN_BYTES && system_stderr_is_terminal()) {}

TerminalProgress::~TerminalProgress() {
  if (!drawn_width_) return;
  // Spaces over the bar: a Windows console knows no erase sequence.
  fprintf(stderr, "\r%*s\r", drawn_width_, "");
  fflush(stderr);
}

bool TerminalProgress::advance(uint64_t done, uint64_t) {
  if (system_interrupted()) return false;
  if (!shown_) return true;
  if (done > total_) done = total_;
  const int permille = static_cast<int>(done * 1000 / total_);
  if (permille == last_permille_) return true;
  last_permille_ = permille;
  enum { WIDTH = 40 };
  char bar[WIDTH + 1];
  const int filled = permille * WIDTH / 1000;
  for (int i = 0; i < WIDTH; ++i) bar[i] = i < filled ? '#' : '.';
  bar[WIDTH] = 0;
  const int printed = fprintf(stderr, "\r%s [%s] %3d%%", system_text_for_console(label_).c_str(), bar, permille / 10);
  fflush(stderr);
  drawn_width_ = printed > 1 ? printed - 1 : 0;
  return true;
}
