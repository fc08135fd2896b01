// The message pump the stream driver calls from its byte loop. Its common
// path is one increment and one test; every 128th call drains the queue, but
// never lets a run of paints hold the decode up.
#include "ui/pump.h"

#include "codec/common/stream_io.h"
#include "platform/win32.h"

namespace {

enum { DRAIN_EVERY_MASK = 127, PAINTS_THAT_END_A_DRAIN = 3 };

}  // namespace

uint32_t pump_counter;

void pump_messages(void) {
  if ((++pump_counter & DRAIN_EVERY_MASK) != 0) return;
  int paints = 0;
  MSG msg;
  while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_PAINT) {
      if (++paints == PAINTS_THAT_END_A_DRAIN) return;
    } else {
      // Paints came before this message: drain again on the very next call.
      if (paints > 0) pump_counter = DRAIN_EVERY_MASK;
      paints = 0;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}
