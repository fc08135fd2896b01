// kestrune-pack: builds Kestrune installers and takes them apart again.
#include <stdio.h>
#include <string.h>

#include <new>

#include "package/builtin_stub.h"
#include "tools/cli/cli.h"
#include "tools/cli/commands.h"
#include "tools/files/system_files.h"

namespace {

const char TOOL_HELP[] =
    "Usage: kestrune-pack COMMAND [ARGS]\n"
    "\n"
    "Installers:\n"
    "  build --main FILE --second FILE [options] -o OUT\n"
    "                              make an installer from the stub and the files\n"
    "  inspect FILE                print an installer's record and payload layout\n"
    "  verify FILE                 check an installer completely (exit 0 = sound)\n"
    "  extract FILE -d DIR         write an installer's files into DIR\n"
    "\n"
    "Single streams:\n"
    "  compress IN OUT             encode IN as one stream\n"
    "  decompress IN OUT [--offset N]\n"
    "                              decode the stream at byte N of IN\n"
    "  streams FILE [--offset N]   list the consecutive streams from byte N\n"
    "\n"
    "'kestrune-pack help COMMAND' (or 'COMMAND --help') describes each command;\n"
    "'kestrune-pack --version' prints the version. An argument @FILE stands for\n"
    "the arguments written in FILE (see docs/package-tool.md).\n"
    "Exit codes: 0 success, 1 damaged data or a failed read/write, 2 usage.\n";

struct Command {
  const char *name;
  int (*run)(const Arguments &);
};

const Command COMMANDS[] = {
    {"build", command_build},     {"inspect", command_inspect},   {"verify", command_verify},
    {"extract", command_extract}, {"compress", command_compress}, {"decompress", command_decompress},
    {"streams", command_streams},
};

// The command called name, or nullptr.
const Command *find_command(const std::string &name) {
  for (const Command &command : COMMANDS)
    if (name == command.name) return &command;
  return nullptr;
}

// "help" alone prints the overview, "help COMMAND" the command's own help.
int help(const Arguments &args) {
  if (args.empty()) {
    fputs(TOOL_HELP, stdout);
    return EXIT_OK;
  }
  const Command *command = find_command(args[0].text);
  if (!command) return usage_error(nullptr, "unknown command '" + args[0].text + "'");
  if (args.size() > 1) return usage_error(nullptr, "help takes one COMMAND");
  return command->run(Arguments{"--help"});
}

int run(const Arguments &given) {
  Arguments args;
  std::string error;
  if (!expand_argument_files(given, &args, &error)) return usage_error(nullptr, error);
  // "/?" asks for help on Windows.
  for (Argument &arg : args)
    if (arg.text == "/?") arg.text = "--help";
  if (args.empty()) {
    fputs(TOOL_HELP, stderr);
    return EXIT_USAGE;
  }
  std::string name = args.front().text;
  args.erase(args.begin());
  if (name == "--version") {
    printf("kestrune-pack %s\n", KESTRUNE_VERSION);
    if (BUILTIN_STUB_SIZE)
      printf("built-in stub: kestrune.exe, %lu bytes\n", static_cast<unsigned long>(BUILTIN_STUB_SIZE));
    else
      printf("no built-in stub: build needs --stub STUB\n");
    return EXIT_OK;
  }
  if (name == "-h" || name == "--help" || name == "help") return help(name == "help" ? args : Arguments());
  if (const Command *command = find_command(name)) return command->run(args);
  return usage_error(nullptr, "unknown command '" + name + "'");
}

}  // namespace

int main(int argc, char **argv) {
  system_watch_interrupt();
  try {
    std::vector<std::string> given = system_arguments(argc, argv);
    return run(Arguments(given.begin() + 1, given.end()));
  } catch (const std::bad_alloc &) {
    return fail(EXIT_BAD_DATA, "out of memory");
  } catch (const std::exception &failure) {
    return fail(EXIT_BAD_DATA, std::string("internal error: ") + failure.what());
  }
}
