// Finding the installer's own file: by the running module's file name, or
// failing that by argv[0], with the extension added when it was started
// without it. Both results live in one 256-byte buffer that each call
// overwrites.
#pragma once

// The running module's file as the system names it; the empty text when the
// system cannot say or the name does not fit.
const char *own_module_path(void);

// The runtime's argv[0] with ".exe" appended when it is longer than four
// characters and does not already end in it (any case). Returns the empty
// text when the result would not fit its 256-byte buffer.
const char *own_path_with_exe(void);
