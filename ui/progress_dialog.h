// The progress dialog that a compressed install runs inside. It also provides
// the installer's dialog seam (end_progress_dialog, installer/dialog_seam.h)
// and the codec's report_progress (codec/stream_io.h).
#pragma once
#include <stdint.h>

#include "platform/win32.h"

// 1 until the progress dialog has started the install.
extern int32_t start_pending;

// Dialog procedure of IDD_PROGRESS. WM_INITDIALOG centres the dialog, sets
// its label to dialog_text and the bar's range to the payload's KiB, and
// starts a half-second timer; every WM_PAINT and WM_TIMER posts
// WM_START_INSTALL; the first WM_START_INSTALL stops the timer and runs
// install_payload (which ends the dialog). Returns FALSE except for
// WM_INITDIALOG.
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The dialog's process-wide values, as a new process finds them: no dialog
// open, nothing written yet, the bar in KiB.
struct ProgressDialogState {
  HWND window;             // the open progress dialog, or NULL
  uint64_t bytes_written;  // 64 bits: the five 32-bit sizes add up past 4 GiB
  uint32_t step_shift;     // the bar counts 2^step_shift bytes a step
};
enum { PROGRESS_KIB_SHIFT = 10 };
extern ProgressDialogState progress_dialog_state;
