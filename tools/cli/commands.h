// The kestrune-pack subcommands. Each takes the arguments after its own name
// and returns the process exit code (see ExitCode in tools/cli.h).
#pragma once
#include "tools/cli/options.h"

int command_compress(const Arguments &args);
int command_decompress(const Arguments &args);
int command_streams(const Arguments &args);
int command_build(const Arguments &args);
int command_inspect(const Arguments &args);
int command_verify(const Arguments &args);
int command_extract(const Arguments &args);
