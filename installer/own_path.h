// Finding the installer's own file again when it was started without its
// extension.
#pragma once

// The runtime's argv[0] with ".exe" appended when it is longer than four
// characters and does not already end in it (any case). Returns the empty
// text when the result would not fit its 256-byte buffer.
const char *own_path_with_exe(void);
