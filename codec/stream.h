// Stream driver: turns files into the byte-at-a-time source and sink the
// LZHUF coder works on, in the checksummed block container described in
// docs/formats.md.
//
// Order of calls for one stream: the caller positions the input file at the
// stream's first byte, calls decompress_stream (or compress_stream), and,
// after a successful decode, reads stream_state.consumed_length to find where
// the next stream begins. Only one stream runs at a time; each entry point
// re-initialises everything a stream uses.
#pragma once
#include <stdint.h>
#include "codec/stream_io.h"

// Decodes the stream that starts at input's current position into output.
// Returns 1 when every block passed its checks, the decoder produced exactly
// the declared size from bits that were really there, and every write
// succeeded; 0 otherwise (what was decoded before the fault is written).
// On 1, stream_state.consumed_length is the stream's exact length in input.
int decompress_stream(StreamFile input, StreamFile output);

// Encodes count bytes from input's current position as one stream in output.
// Returns 1 on success; 0 when the input ended before count bytes or a write
// failed (the output is then not a valid stream).
int compress_stream(StreamFile input, StreamFile output, int32_t count);
