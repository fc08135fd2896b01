// Arguments as the package tool's faces read them: from the command line
// and from argument files (a project of the window is one), and the one
// parser that turns them into options for a command. Shared by
// kestrune-pack and kestrune-packw; it prints nothing.
//
// Accepted forms: "--name value", "--name=value", "-x value" for an alias,
// flags without a value, "-h"/"--help", and "--" to end the options (every
// argument after it is positional, so file names may begin with '-'). A lone
// "-" is positional. When an option is given more than once the last value
// counts.
//
// Paths: every positional argument is a file, and so is the value of an
// option whose value_name is "file" or "directory". Such a path, when it is
// relative and was written in an argument file, is taken against that file's
// folder, so that a project names the same files wherever it is used from
// (a file in the current folder keeps its paths as they are).
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

struct Argument {
  // Implicit on purpose: an argument typed on the command line is its text.
  // cppcheck-suppress noExplicitConstructor
  Argument(const char *text) : text(text) {}
  // cppcheck-suppress noExplicitConstructor
  Argument(std::string text, std::string folder = std::string()) : text(std::move(text)), folder(std::move(folder)) {}
  std::string text;
  // The folder of the argument file the argument was written in ("dir/",
  // ending in its separator); "" for the command line and a file in the
  // current folder.
  std::string folder;
};
typedef std::vector<Argument> Arguments;

struct OptionSpec {
  const char *name;        // "--output"
  const char *alias;       // "-o", or nullptr
  const char *value_name;  // what the value is, for "--output needs a file";
                           // nullptr: a flag that takes no value
};

struct CommandSyntax {
  const char *name;  // "decompress"
  const char *help;  // printed for -h/--help
  const OptionSpec *options;
  size_t option_count;
  size_t positional_count;  // exactly this many positional arguments
  const char *positional;   // their names, for messages: "FILE", "IN OUT"
};

struct ParsedArguments {
  const CommandSyntax *syntax = nullptr;
  std::vector<std::string> positional;  // paths resolved (see above)
  std::vector<bool> given;              // one per option of the syntax
  std::vector<std::string> values;      // likewise; the last value given, paths resolved
};

// Reads args (the arguments after the command's name) by syntax. *help says
// whether -h or --help was among them. False with *problem on the first
// fault ("unknown option '--bogus'", "--offset needs a number", "expected one
// FILE, got 0", "unexpected argument 'x'", "--stored takes no value"); the
// whole line is read either way, so that a help request is seen after a
// fault.
bool read_arguments(const CommandSyntax &syntax, const Arguments &args, ParsedArguments *parsed, bool *help,
                    std::string *problem);

// Whether the option with this long name was given; its last value ("" for a
// flag or when not given). name must be in the command's table.
bool option_given(const ParsedArguments &parsed, const char *name);
const std::string &option_value(const ParsedArguments &parsed, const char *name);

// ---- argument files -----------------------------------------------------------
// In an argument file, arguments are separated by white space; a double
// quote starts or ends a quoted part in which white space is kept ("" is an
// empty argument); a backslash directly before a double quote stands for the
// quote itself, every other backslash for itself. A file that begins with a
// UTF-8 byte-order mark is read as UTF-8, any other in the system's own code
// page (UTF-8 on POSIX systems).
enum : uint64_t { MAX_ARGUMENT_FILE = 1 << 20 };

// The arguments written in the file at path, each with the file's folder.
// False with *error ("argument file FILE: reason") when the file cannot be
// read, is larger than MAX_ARGUMENT_FILE, holds a zero byte or leaves a
// quote open.
bool read_argument_file(const std::string &path, Arguments *out, std::string *error);

// Every argument "@FILE" replaced by the arguments read from FILE, in its
// place. "@" inside FILE is not expanded again. False with *error as above.
bool expand_argument_files(const Arguments &args, Arguments *expanded, std::string *error);

// Splits text by the rule above, appending to *out with folder. False when a
// quote is left open.
bool split_argument_text(const std::string &text, const std::string &folder, Arguments *out);

// text as an argument file writes it, so that splitting gives text back:
// bare when it holds no white space or quote and is not empty, otherwise in
// double quotes, a quote as \" and a backslash at the end after the closing
// quote.
std::string quote_argument(const std::string &text);

// A number as both faces take it: non-negative decimal or 0x-prefixed
// hexadecimal.
bool parse_number(const std::string &text, uint64_t *value);
