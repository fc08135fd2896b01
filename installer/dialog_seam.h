// What the install procedure needs of the progress dialog it may run inside.
// The program around the installer provides it: ui/progress_dialog.cpp in the
// stub and the host installer. The dialog's other half of the heartbeat,
// pump_messages and report_progress, is the codec's seam (codec/stream_io.h).
#pragma once

// Ends the open progress dialog (bringing it to the foreground first unless
// silent) and forgets it; does nothing when none is open. Safe to call any
// number of times.
void end_progress_dialog(void);
