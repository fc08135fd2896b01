#include "tools/memory_streams.h"

#include <algorithm>

#include "codec/common/container.h"
#include "codec/common/stream.h"
#include "tools/tool_files.h"

namespace {

std::string at_offset(const char *what, uint64_t offset) {
  return std::string(what) + " at offset " + std::to_string(offset);
}

// Checks one block header + data lying at image[at] by the container's rule
// (judge_block); "" when it is sound.
std::string block_problem(const uint8_t *image, size_t size, uint64_t at, int32_t *length) {
  const uint64_t present = at < size ? size - at : 0;
  const int32_t available = static_cast<int32_t>(present < uint64_t{BLOCK_SIZE} ? present : uint64_t{BLOCK_SIZE});
  switch (judge_block(image + (at < size ? at : size), available, length)) {
    case BLOCK_SOUND: return "";
    case BLOCK_CUT_HEADER: return at_offset("file ends inside the block header", at);
    case BLOCK_NO_SIGNATURE: return at_offset("no block signature", at);
    case BLOCK_BAD_LENGTH: return at_offset(("impossible block length " + std::to_string(*length)).c_str(), at);
    case BLOCK_CUT: return at_offset("file ends inside the block", at);
    case BLOCK_BAD_CHECKSUM: return at_offset("checksum mismatch in the block", at);
  }
  return at_offset("bad block", at);
}

// Finds the first structural fault of a stream that failed to decode. The
// blocks are walked the way the writer lays them out: full blocks, then one
// shorter last block.
void diagnose(const uint8_t *image, size_t size, uint64_t offset, StreamCheck *check) {
  int32_t length = 0;
  std::string problem = block_problem(image, size, offset, &length);
  if (problem.empty() && length != SIZE_BLOCK_LENGTH) problem = at_offset("size block has the wrong length", offset);
  if (!problem.empty()) {
    check->problem = offset >= size ? at_offset("no stream: end of file", offset) : problem;
    check->problem_offset = offset;
    return;
  }
  if (!check->size_block_ok) {
    check->problem = at_offset("impossible uncompressed size in the size block", offset);
    check->problem_offset = offset;
    return;
  }
  uint64_t at = offset + SIZE_BLOCK_LENGTH;
  while (true) {
    problem = block_problem(image, size, at, &length);
    if (!problem.empty()) {
      check->problem = problem;
      check->problem_offset = at;
      return;
    }
    if (length < BLOCK_SIZE) break;
    at += length;
  }
  check->problem = "data does not decode to the declared " + std::to_string(check->declared_size) + " bytes (" +
                   std::to_string(check->produced) + " produced)";
  check->problem_offset = offset;
}

}  // namespace

uint64_t declared_stream_size(const uint8_t *image, size_t size, uint64_t offset) {
  uint32_t declared = 0;
  if (offset > size) return 0;
  int32_t available = static_cast<int32_t>(std::min<uint64_t>(size - offset, SIZE_BLOCK_LENGTH));
  return read_size_block(image + offset, available, &declared) ? declared : 0;
}

bool compress_bytes(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best,
                    const char *progress_label) {
  if (size > static_cast<size_t>(MAX_STREAM_SIZE)) return false;
  ToolFile input = tool_file_memory(data, size, 0);
  ToolFile output = tool_file_vector(out);
  if (progress_label) progress_begin(progress_label, size, &input);
  int (*encode)(StreamFile, StreamFile, int32_t) = best ? compress_stream_best : compress_stream;
  int ok = encode(as_stream_file(&input), as_stream_file(&output), static_cast<int32_t>(size));
  if (progress_label) progress_end();
  return ok == 1 && input.bytes_read >= size;
}

bool encode_stream(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best) {
  return compress_bytes(data, size, out, best);
}

StreamCheck decode_stream_at(const uint8_t *image, size_t size, uint64_t offset, StreamFile output) {
  StreamCheck check;
  if (offset <= size &&
      read_size_block(image + offset, static_cast<int32_t>(std::min<uint64_t>(size - offset, SIZE_BLOCK_LENGTH)),
                      &check.declared_size))
    check.size_block_ok = check.declared_size <= static_cast<uint32_t>(MAX_STREAM_SIZE);
  if (offset > size) {
    check.problem = at_offset("no stream: offset lies beyond the end of the file", offset);
    check.problem_offset = offset;
    return check;
  }
  ToolFile input = tool_file_memory(image, size, static_cast<size_t>(offset));
  ToolFile counter = tool_file_counter();
  if (!output) output = as_stream_file(&counter);
  ToolFile *sink = static_cast<ToolFile *>(output);
  uint64_t written_before = sink->bytes_written;
  int ok = decompress_stream(as_stream_file(&input), output);
  check.produced = sink->bytes_written - written_before;
  check.write_error = sink->error_number;
  if (ok == 1 && check.size_block_ok && check.produced == check.declared_size) {
    check.ok = true;
    check.consumed_length = static_cast<uint64_t>(stream_state.consumed_length);
    return check;
  }
  if (check.write_error) {
    check.problem = "writing the output failed";
    check.problem_offset = offset;
    return check;
  }
  diagnose(image, size, offset, &check);
  return check;
}

StreamListing list_streams(const uint8_t *image, size_t size, uint64_t offset) {
  StreamListing listing;
  listing.end_offset = offset;
  if (offset > size) {
    listing.stopped_by = decode_stream_at(image, size, offset, nullptr);
    return listing;
  }
  while (listing.end_offset < size) {
    StreamCheck check = decode_stream_at(image, size, listing.end_offset, nullptr);
    if (!check.ok || check.consumed_length == 0) {
      listing.stopped_by = check;
      return listing;
    }
    listing.streams.push_back({listing.end_offset, check.declared_size, check.consumed_length});
    listing.end_offset += check.consumed_length;
  }
  listing.stopped_by.ok = true;
  return listing;
}
