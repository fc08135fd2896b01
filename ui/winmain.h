// The program's entry (WinMain, declared by the platform) and what its result
// means.
#pragma once

// WinMain's result, which the start-up makes the process's exit code, so a
// script that runs a silent install can tell what happened.
enum {
  EXIT_INSTALLED = 0,      // every file written and the saver registered
  EXIT_NOT_INSTALLED = 1,  // the install failed, or was refused as damaged
  EXIT_DECLINED = 2,       // the question was answered No
};
