#include "tools/cli/options.h"

#include <stdio.h>

#include "tools/cli/cli.h"

bool parse_arguments(const CommandSyntax &syntax, const Arguments &args, ParsedArguments *parsed, int *exit_code) {
  bool help = false;
  std::string problem;
  const bool ok = read_arguments(syntax, args, parsed, &help, &problem);
  if (help) {
    fputs(syntax.help, stdout);
    *exit_code = EXIT_OK;
    return false;
  }
  if (!ok) {
    *exit_code = usage_error(syntax.name, problem);
    return false;
  }
  return true;
}
