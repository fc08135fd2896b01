// compress, decompress, streams: single container streams on their own.
#include <stdio.h>

#include "codec/common/stream.h"
#include "tools/cli.h"
#include "tools/commands.h"
#include "tools/memory_streams.h"
#include "tools/tool_files.h"

namespace {

const char COMPRESS_HELP[] =
    "Usage: kestrune-pack compress IN OUT [--best]\n"
    "Encodes the whole of IN as one container stream and writes it to OUT;\n"
    "--best compresses harder (smaller, slower; any decoder reads the result).\n"
    "OUT appears only when complete. Exit 0 on success, 1 when IN cannot be\n"
    "read (or changes while it is read) or OUT cannot be written.\n";

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
  if (option_given(parsed, "--offset") && !parse_offset(text, offset)) {
    *exit_code = usage_error(parsed.syntax->name, "--offset: '" + text + "' is not a byte offset");
    return false;
  }
  return true;
}

// Compresses from an open regular file, so that inputs of any size stream
// through without being held in memory.
int compress_open_file(const std::string &in_path, SystemFile in_file, uint64_t size, const std::string &out_path,
                       bool best, OutputFile *out) {
  ToolFile input = tool_file_system(in_file);
  ToolFile output = tool_file_system(out->file());
  progress_begin(in_path.c_str(), size, &input);
  int (*encode)(StreamFile, StreamFile, int32_t) = best ? compress_stream_best : compress_stream;
  int ok = encode(as_stream_file(&input), as_stream_file(&output), static_cast<int32_t>(size));
  progress_end();
  if (input.error_number)
    return fail(EXIT_BAD_DATA, in_path + ": read failed: " + system_error_text(input.error_number));
  if (output.error_number)
    return fail(EXIT_BAD_DATA, out_path + ": write failed: " + system_error_text(output.error_number));
  SystemFileType type;
  uint64_t size_after = 0;
  int code = 0;
  if (!ok || input.bytes_read < size || !system_file_type(in_file, &type, &size_after, &code) || size_after != size)
    return fail(EXIT_BAD_DATA,
                in_path + ": the file changed size while it was read (expected " + std::to_string(size) + " bytes)");
  return EXIT_OK;
}

}  // namespace

int command_compress(const Arguments &args) {
  ParsedArguments parsed;
  int code = EXIT_USAGE;
  if (!parse_arguments(COMPRESS, args, &parsed, &code)) return code;
  const std::vector<std::string> &files = parsed.positional;
  const bool best = option_given(parsed, "--best");

  int system_code = 0;
  SystemFile in_file = system_open_read(files[0].c_str(), &system_code);
  if (in_file == NO_SYSTEM_FILE) return fail(EXIT_BAD_DATA, files[0] + ": " + system_error_text(system_code));
  SystemFileType type;
  uint64_t size = 0;
  if (!system_file_type(in_file, &type, &size, &system_code) || type == SYSTEM_FILE_DIRECTORY) {
    system_close(in_file, &system_code);
    return fail(EXIT_BAD_DATA, files[0] + ": not a readable file");
  }
  OutputFile out;
  std::string error;
  if (!out.open(files[1], &error)) {
    system_close(in_file, &system_code);
    return fail(EXIT_BAD_DATA, error);
  }
  // Regular files stream through; anything else (and files such as those in
  // /proc that report a size of 0 but have content) is read whole first.
  if (type == SYSTEM_FILE_REGULAR && size > 0) {
    if (size > 0x7FFFFFFF) {
      system_close(in_file, &system_code);
      return fail(EXIT_BAD_DATA, files[0] + ": larger than the 2 GiB a stream can hold");
    }
    code = compress_open_file(files[0], in_file, size, files[1], best, &out);
    system_close(in_file, &system_code);
    if (code != EXIT_OK) return code;
  } else {
    system_close(in_file, &system_code);
    std::vector<uint8_t> bytes;
    if (!read_whole_file(files[0], &bytes, &error)) return fail(EXIT_BAD_DATA, error);
    std::vector<uint8_t> stream;
    if (!compress_bytes(bytes.data(), bytes.size(), &stream, best))
      return fail(EXIT_BAD_DATA, files[0] + ": larger than the 2 GiB a stream can hold");
    ToolFile output = tool_file_system(out.file());
    if (stream_file_write(as_stream_file(&output), stream.data(), static_cast<int32_t>(stream.size())) !=
        static_cast<int32_t>(stream.size()))
      return fail(EXIT_BAD_DATA, files[1] + ": write failed: " + system_error_text(output.error_number));
  }
  if (!out.commit(&error)) return fail(EXIT_BAD_DATA, error);
  return EXIT_OK;
}

int command_decompress(const Arguments &args) {
  ParsedArguments parsed;
  uint64_t offset = 0;
  int code = EXIT_USAGE;
  if (!parse_arguments(DECOMPRESS, args, &parsed, &code) || !offset_argument(parsed, &offset, &code)) return code;
  const std::vector<std::string> &files = parsed.positional;
  std::vector<uint8_t> image;
  std::string error;
  if (!read_whole_file(files[0], &image, &error)) return fail(EXIT_BAD_DATA, error);
  OutputFile out;
  if (!out.open(files[1], &error)) return fail(EXIT_BAD_DATA, error);
  ToolFile output = tool_file_system(out.file());
  progress_begin(files[0].c_str(), declared_stream_size(image.data(), image.size(), offset), nullptr);
  StreamCheck check = decode_stream_at(image.data(), image.size(), offset, as_stream_file(&output));
  progress_end();
  if (check.write_error)
    return fail(EXIT_BAD_DATA, files[1] + ": write failed: " + system_error_text(check.write_error));
  if (!check.ok)
    return fail(EXIT_BAD_DATA, files[0] + ": stream at offset " + std::to_string(offset) + ": " + check.problem);
  if (!out.commit(&error)) return fail(EXIT_BAD_DATA, error);
  return EXIT_OK;
}

int command_streams(const Arguments &args) {
  ParsedArguments parsed;
  uint64_t offset = 0;
  int code = EXIT_USAGE;
  if (!parse_arguments(STREAMS, args, &parsed, &code) || !offset_argument(parsed, &offset, &code)) return code;
  const std::vector<std::string> &files = parsed.positional;
  std::vector<uint8_t> image;
  std::string error;
  if (!read_whole_file(files[0], &image, &error)) return fail(EXIT_BAD_DATA, error);
  StreamListing listing = list_streams(image.data(), image.size(), offset);
  for (const StreamListing::Entry &entry : listing.streams)
    printf("%llu %lu %llu\n", static_cast<unsigned long long>(entry.offset), static_cast<unsigned long>(entry.size),
           static_cast<unsigned long long>(entry.consumed_length));
  fflush(stdout);
  if (listing.streams.empty()) {
    std::string why = listing.stopped_by.ok ? "end of file" : listing.stopped_by.problem;
    return fail(EXIT_BAD_DATA, files[0] + ": no stream at offset " + std::to_string(offset) + ": " + why);
  }
  if (!listing.stopped_by.ok && listing.end_offset < image.size())
    fail(EXIT_OK, files[0] + ": " + std::to_string(image.size() - listing.end_offset) + " bytes from offset " +
                      std::to_string(listing.end_offset) + " are not a stream (" + listing.stopped_by.problem + ")");
  return EXIT_OK;
}
