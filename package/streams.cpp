#include "package/streams.h"

#include "codec/common/container.h"

namespace {

std::string at_offset(const std::string &what, uint64_t offset) {
  return what + " at offset " + std::to_string(offset);
}

// Judges the block at source[at] by the container's one rule; "" when sound.
std::string block_problem(ByteSource &source, uint64_t at, int32_t *length, bool *read_failed) {
  uint8_t block[BLOCK_SIZE];
  const uint64_t size = source.size();
  const uint64_t present = at < size ? size - at : 0;
  const size_t available = present < uint64_t{BLOCK_SIZE} ? static_cast<size_t>(present) : size_t{BLOCK_SIZE};
  if (available && !source.read_exactly(at, block, available)) {
    *read_failed = true;
    return at_offset("reading failed", at);
  }
  switch (judge_block(block, static_cast<int32_t>(available), length)) {
    case BLOCK_SOUND: return "";
    case BLOCK_CUT_HEADER: return at_offset("file ends inside the block header", at);
    case BLOCK_NO_SIGNATURE: return at_offset("no block signature", at);
    case BLOCK_BAD_LENGTH: return at_offset("impossible block length " + std::to_string(*length), at);
    case BLOCK_CUT: return at_offset("file ends inside the block", at);
    case BLOCK_BAD_CHECKSUM: return at_offset("checksum mismatch in the block", at);
  }
  return at_offset("bad block", at);
}

void set_problem(StreamCheck *check, const std::string &problem, uint64_t offset) {
  check->problem = problem;
  check->problem_offset = offset;
}

// Finds the first structural fault of a stream that failed to decode,
// walking the blocks the way a writer lays them out: the size block, full
// blocks, then one shorter last block.
void diagnose(ByteSource &source, uint64_t offset, StreamCheck *check) {
  int32_t length = 0;
  std::string problem = block_problem(source, offset, &length, &check->read_failed);
  if (problem.empty() && length != SIZE_BLOCK_LENGTH) problem = at_offset("size block has the wrong length", offset);
  if (!problem.empty()) {
    set_problem(check, offset >= source.size() ? at_offset("no stream: end of file", offset) : problem, offset);
    return;
  }
  if (!check->size_block_ok) {
    set_problem(check, at_offset("impossible uncompressed size in the size block", offset), offset);
    return;
  }
  uint64_t at = offset + SIZE_BLOCK_LENGTH;
  for (;;) {
    problem = block_problem(source, at, &length, &check->read_failed);
    if (!problem.empty()) {
      set_problem(check, problem, at);
      return;
    }
    if (length < BLOCK_SIZE) break;
    at += static_cast<uint64_t>(length);
  }
  set_problem(check,
              "data does not decode to the declared " + std::to_string(check->declared_size) + " bytes (" +
                  std::to_string(check->produced) + " produced)",
              offset);
}

// The size a stream's intact size block declares; false when it is not intact.
bool read_declared_size(ByteSource &source, uint64_t offset, uint32_t *size) {
  uint8_t block[SIZE_BLOCK_LENGTH];
  if (offset >= source.size()) return false;
  const uint64_t left = source.size() - offset;
  const int32_t present = left < uint64_t{SIZE_BLOCK_LENGTH} ? static_cast<int32_t>(left) : SIZE_BLOCK_LENGTH;
  return source.read_exactly(offset, block, static_cast<size_t>(present)) && read_size_block(block, present, size);
}

}  // namespace

uint32_t declared_stream_size(ByteSource &source, uint64_t offset) {
  uint32_t size = 0;
  return read_declared_size(source, offset, &size) ? size : 0;
}

StreamCheck check_stream_at(StreamCodec &codec, ByteSource &source, uint64_t offset, ByteSink *output,
                            Progress *progress) {
  StreamCheck check;
  if (offset > source.size()) {
    set_problem(&check, at_offset("no stream: offset lies beyond the end of the file", offset), offset);
    return check;
  }
  check.size_block_ok = read_declared_size(source, offset, &check.declared_size) &&
                        check.declared_size <= static_cast<uint32_t>(MAX_STREAM_SIZE);
  const StreamRun run = codec.decode(source, offset, output, progress);
  check.produced = run.produced;
  check.read_failed = run.read_failed;
  check.write_failed = run.write_failed;
  check.cancelled = run.cancelled;
  if (run.ok && check.size_block_ok && run.produced == check.declared_size) {
    check.ok = true;
    check.consumed_length = run.consumed_length;
    return check;
  }
  if (run.write_failed || run.cancelled) {
    set_problem(&check, run.cancelled ? "cancelled" : "writing the output failed", offset);
    return check;
  }
  diagnose(source, offset, &check);
  return check;
}

StreamListing list_streams(StreamCodec &codec, ByteSource &source, uint64_t offset) {
  StreamListing listing;
  listing.end_offset = offset;
  if (offset > source.size()) {
    listing.stopped_by = check_stream_at(codec, source, offset, nullptr, nullptr);
    return listing;
  }
  while (listing.end_offset < source.size()) {
    StreamCheck check = check_stream_at(codec, source, listing.end_offset, nullptr, nullptr);
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
