// The one command-line parser of kestrune-pack. Each command declares its
// options and positional arguments in a CommandSyntax; parse_arguments turns
// its arguments into a ParsedArguments or prints one usage message.
//
// Accepted forms: "--name value", "--name=value", "-x value" for an alias,
// flags without a value, "-h"/"--help", and "--" to end the options (every
// argument after it is positional, so file names may begin with '-'). A lone
// "-" is positional. When an option is given more than once the last value
// counts.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

typedef std::vector<std::string> Arguments;

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
  std::vector<std::string> positional;
  std::vector<bool> given;          // one per option of the syntax
  std::vector<std::string> values;  // likewise; the last value given
};

// Parses args (the arguments after the command's name). True when the command
// goes on with *parsed. False when it is to end with *exit_code: EXIT_OK after
// printing the help on stdout, EXIT_USAGE after one message on stderr
// ("unknown option '--bogus'", "--offset needs a number", "expected one FILE,
// got 0", "unexpected argument 'x'", "--stored takes no value").
bool parse_arguments(const CommandSyntax &syntax, const Arguments &args, ParsedArguments *parsed, int *exit_code);

// Whether the option with this long name was given; its last value ("" for a
// flag or when not given). name must be in the command's table.
bool option_given(const ParsedArguments &parsed, const char *name);
const std::string &option_value(const ParsedArguments &parsed, const char *name);

// ---- arguments from files -----------------------------------------------------
// Every argument "@FILE" is replaced by the arguments read from FILE, in its
// place. In FILE, arguments are separated by white space; a double quote
// starts or ends a quoted part in which white space is kept ("" is an empty
// argument); a backslash directly before a double quote stands for the quote
// itself, every other backslash for itself. "@" inside FILE is not expanded
// again. False with *error ("argument file FILE: reason") when FILE cannot be
// read, is larger than MAX_ARGUMENT_FILE, holds a zero byte or leaves a quote
// open. A file that begins with a UTF-8 byte-order mark is read as UTF-8,
// any other in the system's own code page (UTF-8 on POSIX systems).
enum : uint64_t { MAX_ARGUMENT_FILE = 1 << 20 };
bool expand_argument_files(const Arguments &args, Arguments *expanded, std::string *error);
