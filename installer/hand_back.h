// Giving the foreground back to another program's window at the end of every
// run.
#pragma once
#include "platform/win32.h"

enum { HAND_BACK_CANDIDATES = 32, WINDOW_TITLE_SIZE = 128 };

// Makes the first suitable window in Z order, below start (or from the top
// when start is null), the foreground window: titled, a window, not
// minimised, visible, and either unowned or titled "Display Properties".
// Gives up after 32 candidates passed over.
void hand_back_foreground(HWND start);
