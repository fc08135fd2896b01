// The message pump the stream driver calls from its byte loop
// (pump_messages, declared by the codec's seam in codec/stream_io.h).
#pragma once

#include <stdint.h>

// The number of pump_messages calls, for its cadence: 0 at process start.
extern uint32_t pump_counter;
