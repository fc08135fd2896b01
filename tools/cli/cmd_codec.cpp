// compress, decompress, streams: single container streams on their own.
#include <stdio.h>

#include "package/streams.h"
#include "tools/cli/cli.h"
#include "tools/cli/commands.h"

namespace {

const char COMPRESS_HELP[] =
    "Usage: kestrune-pack compress IN OUT [--best]\n"
    "Encodes the whole of IN as one container stream and writes it to OUT;\n"
    "--best compresses harder (smaller, slower; any decoder reads the result).\n"
    "IN may be a pipe. OUT appears only when complete, and is never IN. Exit 0\n"
    "on success, 1 when IN cannot be read (or changes while it is read) or OUT\n"
    "cannot be written, 2 when IN is 2 GiB or more.\n";

const char DECOMPRESS_HELP[] =
    "Usage: kestrune-pack decompress IN OUT [--offset N]\n"
    "Decodes the one stream that starts at byte N of IN (default 0; decimal or\n"
    "0x-hex) and writes its content to OUT. OUT appears only when the stream\n"
    "decoded cleanly. Exit 0 on success, 1 when the stream is damaged (the\n"
    "message names the file, the offset and the fault) or OUT cannot be written.\n";

const char STREAMS_HELP[] =
    "Usage: kestrune-pack streams FILE [--offset N]\n"
    "Lists the streams that follow each other from byte N of FILE (default 0),\n"
    "one line each: offset, size (decoded bytes) and consumed_length (bytes the\n"
    "stream occupies in FILE). Stops at the end of the file or at the first bytes\n"
    "that are not a stream, which are then named on stderr. Exit 0 when at least\n"
    "one stream was found.\n";

const OptionSpec OFFSET_OPTION[] = {{"--offset", nullptr, "number"}};
const OptionSpec BEST_OPTION[] = {{"--best", nullptr, nullptr}};
const CommandSyntax COMPRESS = {"compress", COMPRESS_HELP, BEST_OPTION, 1, 2, "IN OUT"};
const CommandSyntax DECOMPRESS = {"decompress", DECOMPRESS_HELP, OFFSET_OPTION, 1, 2, "IN OUT"};
const CommandSyntax STREAMS = {"streams", STREAMS_HELP, OFFSET_OPTION, 1, 1, "FILE"};

// The --offset of parsed (0 when not given). False with *exit_code when it is
// not a number.
bool offset_argument(const ParsedArguments &parsed, uint64_t *offset, int *exit_code) {
  *offset = 0;
  const std::string &text = option_value(parsed, "--offset");
  if (option_given(parsed, "--offset") && !parse_number(text, offset)) {
    *exit_code = usage_error(parsed.syntax->name, "--offset: '" + text + "' is not a byte offset");
    return false;
  }
  return true;
}

// Opens IN and prepares OUT. False with *exit_code when either fails.
bool open_pair(const ParsedArguments &parsed, FileSource *in, OutputFile *out, int *exit_code) {
  FileError error;
  if (!in->open(parsed.positional[0], &error) || !out->open(parsed.positional[1], {in}, true, &error)) {
    *exit_code = fail(error);
    return false;
  }
  return true;
}

// How a run of the codec from in to out ends: out put in place when it went
// well, else the first fault (an interruption, a failed write or read, or
// what the stream itself says) and nothing written.
int finish(bool ok, bool cancelled, bool write_failed, bool read_failed, FileSource *in, OutputFile *out,
           const std::string &fault) {
  if (cancelled || system_interrupted()) return fail(PackageResult::fail(PACKAGE_CANCELLED, ""), "");
  if (write_failed) return fail(EXIT_BAD_DATA, out->sink().error());
  if (read_failed) return fail(EXIT_BAD_DATA, in->error());
  if (!ok) return fail(EXIT_BAD_DATA, fault);
  FileError error;
  return out->commit(&error) ? EXIT_OK : fail(error);
}

}  // namespace

int command_compress(const Arguments &args) {
  ParsedArguments parsed;
  FileSource in;
  OutputFile out;
  int code = EXIT_USAGE;
  if (!parse_arguments(COMPRESS, args, &parsed, &code) || !open_pair(parsed, &in, &out, &code)) return code;
  StreamRun run;
  {
    TerminalProgress progress(in.path(), in.size());
    run = package_codec().encode(in, 0, static_cast<uint32_t>(in.size()), out.sink(), option_given(parsed, "--best"),
                                 &progress);
  }
  return finish(
      run.ok, run.cancelled, run.write_failed, run.read_failed, &in, &out,
      in.path() + ": the file changed size while it was read (expected " + std::to_string(in.size()) + " bytes)");
}

int command_decompress(const Arguments &args) {
  ParsedArguments parsed;
  FileSource in;
  OutputFile out;
  uint64_t offset = 0;
  int code = EXIT_USAGE;
  if (!parse_arguments(DECOMPRESS, args, &parsed, &code) || !offset_argument(parsed, &offset, &code) ||
      !open_pair(parsed, &in, &out, &code))
    return code;
  StreamCheck check;
  {
    TerminalProgress progress(in.path(), declared_stream_size(in, offset));
    check = check_stream_at(package_codec(), in, offset, &out.sink(), &progress);
  }
  return finish(check.ok, check.cancelled, check.write_failed, check.read_failed, &in, &out,
                in.path() + ": stream at offset " + std::to_string(offset) + ": " + check.problem);
}

int command_streams(const Arguments &args) {
  ParsedArguments parsed;
  FileSource in;
  uint64_t offset = 0;
  int code = EXIT_USAGE;
  if (!parse_arguments(STREAMS, args, &parsed, &code) || !offset_argument(parsed, &offset, &code)) return code;
  FileError error;
  if (!in.open(parsed.positional[0], &error)) return fail(error);
  StreamListing listing = list_streams(package_codec(), in, offset);
  std::vector<std::string> lines;
  for (const StreamListing::Entry &entry : listing.streams)
    lines.push_back(std::to_string(entry.offset) + " " + std::to_string(entry.size) + " " +
                    std::to_string(entry.consumed_length));
  print_lines(lines);
  if (listing.streams.empty()) {
    std::string why = listing.stopped_by.ok ? "end of file" : listing.stopped_by.problem;
    return fail(EXIT_BAD_DATA, in.path() + ": no stream at offset " + std::to_string(offset) + ": " + why);
  }
  if (!listing.stopped_by.ok && listing.end_offset < in.size())
    fail(EXIT_OK, in.path() + ": " + std::to_string(in.size() - listing.end_offset) + " bytes from offset " +
                      std::to_string(listing.end_offset) + " are not a stream (" + listing.stopped_by.problem + ")");
  return EXIT_OK;
}
