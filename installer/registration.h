// Making the main file the active screen saver, and giving the foreground
// back to another program's window at the end of every run.
#pragma once
#include "platform/win32.h"

enum { HAND_BACK_CANDIDATES = 32, WINDOW_TITLE_SIZE = 128 };

// The path to register for name: Windows directory + name when name has the
// 8.3 shape, otherwise its 8.3 alternate name when the file system has one,
// otherwise the long path. Lives in windows_dir_path's buffer.
const char *short_install_path(const char *name);

// Writes SCRNSAVE.EXE under [boot] in system.ini, switches screen saving on,
// asks an open "Display Properties" window to quit and shows done_text.
void register_screen_saver(void);

// Makes the first suitable window in Z order, below start (or from the top
// when start is null), the foreground window: titled, a window, not
// minimised, visible, and either unowned or titled "Display Properties".
// Gives up after 32 candidates passed over.
void hand_back_foreground(HWND start);
