// How the package library runs the codec over sources and sinks.
//
// The codec reaches files through a seam each program provides once, at link
// time (codec/common/stream_io.h). Programs whose only files are the
// library's sources and sinks (the command line, the window, the web page)
// link kestrune_package_codec, whose package_codec() is that provider. A
// program that provides the seam itself, such as the installer's host tests
// whose codec reads simulated Win32 files, passes its own StreamCodec.
#pragma once
#include <stdint.h>

#include "package/io.h"

// What one run of the codec did.
struct StreamRun {
  bool ok = false;               // the stream was written, or decoded cleanly to its declared size
  bool read_failed = false;      // the source failed (its error() says why)
  bool write_failed = false;     // the sink failed (its error() says why)
  bool cancelled = false;        // the progress said stop
  uint64_t consumed_length = 0;  // decode: the stream's length in the source (when ok)
  uint64_t produced = 0;         // bytes written to the sink
};

class StreamCodec {
 public:
  virtual ~StreamCodec() = default;
  // Appends the stream of source[offset, offset + count) to sink, with the
  // stronger parse when best. Progress counts the input bytes taken.
  virtual StreamRun encode(ByteSource &source, uint64_t offset, uint32_t count, ByteSink &sink, bool best,
                           Progress *progress) = 0;
  // Decodes the stream that starts at source[offset] into sink (nullptr:
  // only count). ok needs every block sound and exactly the declared size
  // produced. Progress counts the bytes produced.
  virtual StreamRun decode(ByteSource &source, uint64_t offset, ByteSink *sink, Progress *progress) = 0;
};

// The codec over the library's own sources and sinks (kestrune_package_codec).
// One stream runs at a time in a process.
StreamCodec &package_codec();
