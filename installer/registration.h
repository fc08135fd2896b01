// Making the main file the active screen saver.
#pragma once

// The path to register for name: Windows directory + name when name has the
// 8.3 shape, otherwise its 8.3 alternate name when the file system has one,
// otherwise the long path. Lives in windows_dir_path's buffer.
const char *short_install_path(const char *name);

// Writes SCRNSAVE.EXE under [boot] in system.ini, switches screen saving on
// and asks an open "Display Properties" window to quit. Returns 1, or 0 when
// system.ini could not be written or screen saving not switched on (the steps
// after a failing one are not taken).
int register_screen_saver(void);
