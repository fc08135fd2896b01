// Container streams held in memory: encode a byte range into one stream,
// decode the stream that starts at some offset of a byte image, walk a series
// of streams, and say in words what is wrong with one that fails.
//
// Every function here bounds-checks against the image it is given; offsets and
// sizes read from the data are never trusted.
#pragma once
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>
#include "codec/common/stream_io.h"

// The uncompressed size declared by the stream at image[offset], or 0 when its
// size block is not intact (for a progress bar's total).
uint64_t declared_stream_size(const uint8_t *image, size_t size, uint64_t offset);

// Appends the stream for data[0 .. size) to *out, with the stronger parse when
// best is set. Returns false only if the codec reports a failure or size
// exceeds the format's 0x7FFFFFFF limit. With a progress_label, long inputs
// draw a progress bar on a terminal (tools/tool_files.h).
bool compress_bytes(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best = false,
                    const char *progress_label = nullptr);

// compress_bytes without a progress bar, in the shape of the package
// builder's StreamEncoder.
bool encode_stream(const uint8_t *data, size_t size, std::vector<uint8_t> *out, bool best);

struct StreamCheck {
  bool ok = false;               // decoded cleanly: every block checked out and
                                 // exactly declared_size bytes were produced
  bool size_block_ok = false;    // the 10-byte size block is intact
  uint32_t declared_size = 0;    // from the size block (when size_block_ok)
  uint64_t consumed_length = 0;  // the stream's length in the image (when ok)
  uint64_t produced = 0;         // bytes handed to the output
  uint64_t problem_offset = 0;   // where the fault lies (when !ok)
  std::string problem;           // what is wrong (when !ok), e.g. "checksum mismatch in block at offset 30"
  int write_error = 0;           // system error code of a failed write to the output, else 0
};

// Decodes the stream starting at image[offset] into output (a ToolFile*; pass
// nullptr to only count). Never reads outside the image.
StreamCheck decode_stream_at(const uint8_t *image, size_t size, uint64_t offset, StreamFile output);

struct StreamListing {
  struct Entry {
    uint64_t offset;
    uint32_t size;
    uint64_t consumed_length;
  };
  std::vector<Entry> streams;  // consecutive streams from the start offset
  uint64_t end_offset = 0;     // offset of the first byte after the last stream
  StreamCheck stopped_by;      // why the walk stopped (ok == true: end of image)
};

// Lists the consecutive streams from offset on, stopping at the end of the
// image or at the first thing that does not decode as a stream.
StreamListing list_streams(const uint8_t *image, size_t size, uint64_t offset);
