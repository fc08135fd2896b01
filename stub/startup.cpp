// Process start-up of kestrune.exe without the C runtime: the PE entry point
// finds argv[0] the way the runtime would, calls WinMain and ends the process
// with WinMain's result as its exit code. No runtime means no global
// constructors, no atexit, no heap: the installer needs none of them.
#include "platform/win32.h"

// Big enough for any path the ANSI file functions accept, with room to spare;
// a longer first token is cut (such a path could not be opened anyway).
enum { ARGV0_BUFFER_SIZE = 1024 };

namespace {

char argv0_buffer[ARGV0_BUFFER_SIZE];

// Copies the program name from the start of a command line into out, with the
// runtime's rules for argv[0]: double quotes switch quoting on and off and are
// dropped, and the name ends at the first space or tab outside quotes.
// Returns the number of characters stored (out is always zero-terminated).
int parse_program_name(const char *command_line, char *out, int out_size) {
  int length = 0;
  int quoted = 0;
  for (const char *p = command_line; *p != '\0'; ++p) {
    if (*p == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && (*p == ' ' || *p == '\t')) break;
    if (length < out_size - 1) out[length++] = *p;
  }
  out[length] = '\0';
  return length;
}

void find_argv0(void) {
  const char *command_line = GetCommandLineA();
  int length = 0;
  if (command_line != 0) length = parse_program_name(command_line, argv0_buffer, ARGV0_BUFFER_SIZE);
  if (length == 0) {
    // An empty command line (a parent that passed none): the runtime falls
    // back to the module's own file name.
    DWORD got = GetModuleFileNameA(0, argv0_buffer, ARGV0_BUFFER_SIZE);
    if (got >= ARGV0_BUFFER_SIZE) got = ARGV0_BUFFER_SIZE - 1;
    argv0_buffer[got] = '\0';
  }
}

}  // namespace

const char *startup_argv0(void) { return argv0_buffer; }

// The PE entry point (named on the link line). Windows gives a 32-bit entry
// point a stack aligned to 4 bytes only, which is all the stub's i486 code
// needs; nor does a dialog procedure get more from the dialog manager.
extern "C" __attribute__((used, noreturn)) void kestrune_start(void) {
  find_argv0();
  ExitProcess(static_cast<UINT>(WinMain(GetModuleHandleA(0), 0, GetCommandLineA(), SW_SHOWDEFAULT)));
}
