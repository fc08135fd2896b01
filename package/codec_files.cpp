// The codec's file seam (codec/common/stream_io.h) over the package library's
// sources and sinks, and package_codec() over it: kestrune_package_codec, the
// provider the faces link.
#include "codec/common/stream.h"
#include "codec/common/stream_io.h"
#include "package/codec.h"

namespace {

// A StreamFile handed to the codec here: one side of the current run.
struct Endpoint {
  ByteSource *source = nullptr;  // the input side reads source[position, end)
  uint64_t position = 0, end = 0;
  ByteSink *sink = nullptr;  // the output side; nullptr only counts
  bool failed = false;
  uint64_t transferred = 0;
};

// The one run in progress, for the heartbeat calls.
struct Run {
  Progress *progress = nullptr;
  const Endpoint *counted = nullptr;  // the side whose bytes are the progress
  bool cancelled = false;
  uint32_t pumps = 0;
};
Run run;

enum { PUMPS_PER_CHECK = 64 };  // about every 64 KiB of byte operations

void check_progress() {
  if (!run.cancelled && run.progress && !run.progress->advance(run.counted->transferred, 0)) run.cancelled = true;
}

StreamRun outcome(int ok, const Endpoint &in, const Endpoint &out) {
  StreamRun result;
  result.cancelled = run.cancelled;
  result.read_failed = in.failed;
  result.write_failed = out.failed;
  result.produced = out.transferred;
  result.ok = ok == 1 && !result.cancelled && !in.failed && !out.failed;
  run = Run();
  return result;
}

class LibraryCodec : public StreamCodec {
 public:
  StreamRun encode(ByteSource &source, uint64_t offset, uint32_t count, ByteSink &sink, bool best,
                   Progress *progress) override {
    Endpoint in, out;
    in.source = &source;
    in.position = offset;
    in.end = offset + count;
    out.sink = &sink;
    run = Run();
    run.progress = progress;
    run.counted = &in;
    const int ok = count > 0x7FFFFFFFu
                       ? 0
                       : (best ? compress_stream_best : compress_stream)(&in, &out, static_cast<int32_t>(count));
    const bool whole = in.transferred == count;
    StreamRun result = outcome(ok, in, out);
    result.ok = result.ok && whole;
    return result;
  }

  StreamRun decode(ByteSource &source, uint64_t offset, ByteSink *sink, Progress *progress) override {
    Endpoint in, out;
    in.source = &source;
    in.position = offset;
    in.end = source.size();
    out.sink = sink;
    run = Run();
    run.progress = progress;
    run.counted = &out;
    const int ok = offset <= in.end ? decompress_stream(&in, &out) : 0;
    StreamRun result = outcome(ok, in, out);
    if (result.ok) result.consumed_length = static_cast<uint64_t>(stream_state.consumed_length);
    return result;
  }
};

}  // namespace

StreamCodec &package_codec() {
  static LibraryCodec codec;
  return codec;
}

// ---- the codec's seam ---------------------------------------------------------

int32_t stream_file_read(StreamFile file, void *buffer, int32_t count) {
  Endpoint *side = static_cast<Endpoint *>(file);
  if (count <= 0 || run.cancelled || !side->source || side->failed || side->position >= side->end) return 0;
  const uint64_t left = side->end - side->position;
  const size_t want = static_cast<uint64_t>(count) < left ? static_cast<size_t>(count) : static_cast<size_t>(left);
  const int64_t got = side->source->read_at(side->position, buffer, want);
  if (got < 0) {
    side->failed = true;
    return 0;
  }
  side->position += static_cast<uint64_t>(got);
  side->transferred += static_cast<uint64_t>(got);
  return static_cast<int32_t>(got);
}

int32_t stream_file_write(StreamFile file, const void *buffer, int32_t count) {
  Endpoint *side = static_cast<Endpoint *>(file);
  if (count <= 0 || run.cancelled || side->failed) return 0;
  if (side->sink && !side->sink->write(buffer, static_cast<size_t>(count))) {
    side->failed = true;
    return 0;
  }
  side->transferred += static_cast<uint64_t>(count);
  return count;
}

void pump_messages(void) {
  if (++run.pumps % PUMPS_PER_CHECK == 0) check_progress();
}

void report_progress(int32_t) { check_progress(); }
