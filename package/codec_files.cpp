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

// The one run in progress, its two sides included: the heartbeat calls
// find it here.
struct Run {
  Endpoint input, output;
  Progress *progress = nullptr;
  bool progress_counts_input = false;  // else the bytes written
  bool cancelled = false;
  uint32_t pumps = 0;
};
Run run;

enum { PUMPS_PER_CHECK = 64 };  // about every 64 KiB of byte operations

void check_progress() {
  const Endpoint &counted = run.progress_counts_input ? run.input : run.output;
  if (!run.cancelled && run.progress && !run.progress->advance(counted.transferred, 0)) run.cancelled = true;
}

void start_run(Progress *progress, bool counts_input) {
  run = Run();
  run.progress = progress;
  run.progress_counts_input = counts_input;
}

StreamRun outcome(int ok) {
  StreamRun result;
  result.cancelled = run.cancelled;
  result.read_failed = run.input.failed;
  result.write_failed = run.output.failed;
  result.produced = run.output.transferred;
  result.ok = ok == 1 && !result.cancelled && !result.read_failed && !result.write_failed;
  return result;
}

class LibraryCodec : public StreamCodec {
 public:
  StreamRun encode(ByteSource &source, uint64_t offset, uint32_t count, ByteSink &sink, bool best,
                   Progress *progress) override {
    start_run(progress, true);
    run.input.source = &source;
    run.input.position = offset;
    run.input.end = offset + count;
    run.output.sink = &sink;
    const int ok = count > 0x7FFFFFFFu ? 0
                                       : (best ? compress_stream_best : compress_stream)(&run.input, &run.output,
                                                                                         static_cast<int32_t>(count));
    StreamRun result = outcome(ok);
    result.ok = result.ok && run.input.transferred == count;
    run = Run();
    return result;
  }

  StreamRun decode(ByteSource &source, uint64_t offset, ByteSink *sink, Progress *progress) override {
    start_run(progress, false);
    run.input.source = &source;
    run.input.position = offset;
    run.input.end = source.size();
    run.output.sink = sink;
    const int ok = offset <= run.input.end ? decompress_stream(&run.input, &run.output) : 0;
    StreamRun result = outcome(ok);
    if (result.ok) result.consumed_length = static_cast<uint64_t>(stream_state.consumed_length);
    run = Run();
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
