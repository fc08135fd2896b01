// The progress dialog that a compressed install runs inside, and the
// heartbeat (pump_messages, report_progress; codec/stream_io.h) that keeps it
// painted and its bar moving while the one GUI thread decodes.
#pragma once
#include <stdint.h>
#include "platform/win32.h"

// Dialog procedure of IDD_PROGRESS. WM_INITDIALOG centres the dialog, sets
// its label to dialog_text and the bar's range to the payload's KiB; every
// WM_PAINT posts WM_START_INSTALL; the first WM_START_INSTALL runs
// install_payload (which ends the dialog). Returns FALSE except for
// WM_INITDIALOG.
INT_PTR CALLBACK progress_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Ends the open progress dialog (bringing it to the foreground first unless
// silent) and forgets it; does nothing when none is open. Safe to call any
// number of times.
void end_progress_dialog(void);

#ifndef _WIN32
// Host builds only: the dialog's process-wide values as at process start.
void progress_reset_for_tests(void);
#endif
