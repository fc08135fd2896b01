// The command line of kestrune-pack: each command declares its options and
// positional arguments in a CommandSyntax (tools/args/arguments.h, which
// also has the forms accepted and the argument files); parse_arguments turns
// its arguments into a ParsedArguments or prints the help or one usage
// message.
#pragma once
#include "tools/args/arguments.h"

// Parses args (the arguments after the command's name). True when the command
// goes on with *parsed. False when it is to end with *exit_code: EXIT_OK after
// printing the help on stdout, EXIT_USAGE after one message on stderr.
bool parse_arguments(const CommandSyntax &syntax, const Arguments &args, ParsedArguments *parsed, int *exit_code);
