// Resource and control ids shared by the dialog code and ui/resources/*.rc.
// Plain #defines so the resource compiler can read this header too.
#pragma once

#define IDD_PROGRESS 1010
#define IDI_PROGRESS 1020
#define IDC_PROGRESS_BAR 1000
#define IDC_PROGRESS_TEXT 1001

// Private message the dialog posts to itself on every paint; the first one
// starts the install.
#define WM_START_INSTALL (0x0400 + 3)

// A timer that starts the install too when no paint comes, because the
// dialog was started minimised or hidden.
#define START_TIMER_ID 1
#define START_TIMER_MS 500
