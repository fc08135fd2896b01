// The message pump the stream driver calls from its byte loop
// (pump_messages, declared by the codec's seam in codec/stream_io.h).
#pragma once

#ifndef _WIN32
// Host builds only: the pump's call counter as at process start.
void pump_reset_for_tests(void);
#endif
