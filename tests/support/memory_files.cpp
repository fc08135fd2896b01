#include "tests/support/memory_files.h"

#include <string.h>

#include "codec/common/stream.h"

HeartbeatLog heartbeat;
namespace {

bool record_progress = false;

}  // namespace

void reset_heartbeat() {
  heartbeat = HeartbeatLog();
  record_progress = true;
}

int32_t stream_file_read(StreamFile file, void *buffer, int32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(file);
  if (f->log_calls) f->read_sizes.push_back(count);
  size_t available = f->position < f->data.size() ? f->data.size() - f->position : 0;
  size_t n = count < 0 ? 0 : static_cast<size_t>(count);
  if (f->read_chunk >= 0 && n > static_cast<size_t>(f->read_chunk)) n = static_cast<size_t>(f->read_chunk);
  if (n > available) n = available;
  if (n > 0) memcpy(buffer, f->data.data() + f->position, n);
  f->position += n;
  return static_cast<int32_t>(n);
}

// Overwrites what lies at the position and appends the rest, so a file that
// is only appended to never fills bytes twice.
int32_t stream_file_write(StreamFile file, const void *buffer, int32_t count) {
  MemoryFile *f = static_cast<MemoryFile *>(file);
  if (f->log_calls) f->write_sizes.push_back(count);
  size_t n = count < 0 ? 0 : static_cast<size_t>(count);
  if (f->write_limit >= 0 && static_cast<int64_t>(n) > f->write_limit) n = static_cast<size_t>(f->write_limit);
  if (f->write_limit >= 0) f->write_limit -= static_cast<int64_t>(n);
  if (f->position > f->data.size()) f->data.resize(f->position);
  const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
  size_t overlap = f->data.size() - f->position < n ? f->data.size() - f->position : n;
  if (overlap > 0) memcpy(f->data.data() + f->position, bytes, overlap);
  f->data.insert(f->data.end(), bytes + overlap, bytes + n);
  f->position += n;
  return static_cast<int32_t>(n);
}

void pump_messages(void) { heartbeat.pumps++; }

void report_progress(int32_t count) {
  if (record_progress) heartbeat.progress.push_back(count);
}

namespace {

std::vector<uint8_t> encode_with(int (*encode)(StreamFile, StreamFile, int32_t), const std::vector<uint8_t> &input,
                                 int *ok) {
  MemoryFile in(input), out;
  int result = encode(in.handle(), out.handle(), static_cast<int32_t>(input.size()));
  if (ok) *ok = result;
  return out.data;
}

}  // namespace

std::vector<uint8_t> encode_bytes(const std::vector<uint8_t> &input, int *ok) {
  return encode_with(compress_stream, input, ok);
}

std::vector<uint8_t> encode_bytes_best(const std::vector<uint8_t> &input, int *ok) {
  return encode_with(compress_stream_best, input, ok);
}

DecodeResult decode_bytes(const std::vector<uint8_t> &packed, size_t offset) {
  MemoryFile in(packed), out;
  in.position = offset;
  DecodeResult result;
  result.ok = decompress_stream(in.handle(), out.handle());
  result.output = out.data;
  result.consumed_length = stream_state.consumed_length;
  return result;
}

std::vector<uint8_t> bytes_of(const std::string &text) { return std::vector<uint8_t>(text.begin(), text.end()); }
