// The Win32 seam. Installer and UI sources include only this header: the real
// build gets the platform's own declarations, the host build gets the small
// simulation in win32sim/, which declares the same names and constants.
#pragma once
#ifdef _WIN32
#include <windows.h>

#include <commctrl.h>  // after windows.h, which it needs
#else
#include "win32sim/win32_api.h"
#endif

// argv[0] as the runtime start-up saw it: the program name as written on the
// command line, or the module's file name when the command line is empty.
// Provided by stub/ (real) and win32sim/ (host).
const char *startup_argv0(void);
